#include "ui/state.h"

#include <cstring>

AppState appState;

Settings currentSettings() {
  auto used = [](int32_t count) {
    return count <= 0 ? 0 : (count > kMaxEntries ? kMaxEntries : count);
  };
  Settings s;
  s.transparent = appState.optTransparent != 0;
  s.replace = appState.optReplace != 0;
  s.merge = appState.optMerge != 0;
  s.optimize = appState.optOptimize != 0;
  s.transColors.assign(appState.transColors, appState.transColors + used(appState.transCount));
  s.replaceColors.assign(appState.replaceColors,
                         appState.replaceColors + used(appState.replaceCount));
  return s;
}

void resetAppState() { std::memset(&appState, 0, sizeof appState); }
