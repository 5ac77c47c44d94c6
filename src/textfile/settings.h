// The settings file beside the executable: four switches and two colour lists.
#pragma once

extern const char settingsFileName[];

// Computes programDir, reads the settings if present, and sets frameCount to 0.
void loadSettings();

// Rewrites the settings file whole; false when it could not be written.
bool saveSettings();
