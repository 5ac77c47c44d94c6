#include "ui/state.h"

#include <cstring>

AppState appState;

void resetAppState() { std::memset(&appState, 0, sizeof appState); }
