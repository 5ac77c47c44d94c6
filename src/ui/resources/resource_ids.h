// Resource and control ids shared by the .rc file and the code. Plain
// defines, because the resource compiler reads this file too.
#pragma once

#define kIconApp 1
#define kManifest 1
#define kDialogMain 1
#define kDialogColours 2
#define kDialogInfo 3
#define kMenuMain 101
#define kVersionInfo 1

// Main dialog: buttons, the size label and the two list boxes made at run time.
#define kIdOk 1
#define kIdCancel 2
#define kIdAdd 100
#define kIdDelete 101
#define kIdUp 102
#define kIdDown 103
#define kIdSizeLabel 20
#define kIdHotspotLabel 21
#define kIdTimeLabel 22
#define kIdTimeEdit 104
#define kIdTimeSet 105
#define kIdTimeSetAll 106
#define kIdPathList 0x314
#define kIdFrameList 0x315

// Menu 101 ("Exit" is kIdCancel).
#define kCmdPlay 201
#define kCmdStop 202
#define kCmdTestCursor 203
#define kCmdColours 300
#define kCmdTransparent 301
#define kCmdReplace 302
#define kCmdMerge 303
#define kCmdOptimize 304
#define kCmdNew 500
#define kCmdSave 501
#define kCmdOpenScript 502
#define kCmdSaveScript 503
#define kCmdImport 504
#define kCmdInfo 305
// Options > Sizes: one item per side a frame's pictures may have.
#define kCmdSize32 310
#define kCmdSize48 311
#define kCmdSize64 312
#define kCmdSize96 313
#define kCmdSize128 314

// Title and author dialog (OK and Cancel are kIdOk and kIdCancel).
#define kIdTitleEdit 110
#define kIdAuthorEdit 111

// Colours dialog ("Close" is kIdCancel). The "->" label of replace pair p
// has the id kIdFirstPairLabel + p.
#define kIdTransAdd 101
#define kIdTransDelete 102
#define kIdTransEdit 103
#define kIdReplaceAdd 201
#define kIdReplaceDelete 202
#define kIdReplaceEdit 203
#define kIdFirstPairLabel 10
