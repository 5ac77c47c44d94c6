#include "app/batch.h"

#include "platform/platform.h"

bool runBatchScript(const char*) {
  plat::diagnostic("kinetor: batch builds are not available yet");
  return false;
}
