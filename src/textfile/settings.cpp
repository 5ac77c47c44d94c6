#include "textfile/settings.h"

#include "app/state.h"

const char settingsFileName[] = "kinetor.ini";

void loadSettings() { appState.frameCount = 0; }
bool saveSettings() { return false; }
