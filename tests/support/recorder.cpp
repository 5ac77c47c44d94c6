#include "support/recorder.h"

#include "base/runtime.h"
#include "platform/platform.h"

namespace {
std::vector<ShownError> g_shown;

void record(const char* caption, const char* text) {
  g_shown.push_back({caption ? caption : "", text ? text : ""});
}
}  // namespace

void installErrorRecorder() { setErrorSink(record); }

std::vector<ShownError> takeShownErrors() {
  std::vector<ShownError> out;
  out.swap(g_shown);
  return out;
}
