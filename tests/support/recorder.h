// Records the error boxes the program shows, through the platform layer.
#pragma once

#include <string>
#include <vector>

struct ShownError {
  std::string caption;
  std::string text;
  bool operator==(const ShownError&) const = default;
};

void installErrorRecorder();

// The boxes shown since the last call; clears the record.
std::vector<ShownError> takeShownErrors();
