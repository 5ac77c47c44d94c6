// Resource and control ids shared by the .rc file and the code. Plain
// defines, because the resource compiler reads this file too.
#pragma once

#define kIconApp 1
#define kManifest 1
#define kDialogMain 1
#define kDialogColours 2
#define kMenuMain 101
