// Process-wide state shared by the subsystems. All of it is zero at process start.
#ifndef COMMON_STATE_H
#define COMMON_STATE_H

#include "platform.h"

// A version times 1000: 1000 is version 1.000, 1010 is version 1.010. Compared unsigned.
typedef DWORD VersionCode;

// The version taken when the installation record has none.
const VersionCode kVersionWhenUnrecorded = 1000;
// The version this update brings: the threshold of the re-apply question and the value
// recorded after a completed update.
const VersionCode kVersionOfThisUpdate = 1010;

// The game's install folder, from the installation record. Set at start-up, before the
// dialog runs, and read-only from then on.
extern char installFolder[MAX_PATH];

// The installed version, from the installation record or kVersionWhenUnrecorded. Set at
// start-up, before the dialog runs, and read-only from then on.
extern VersionCode installedVersion;

// The chosen save folder: written by prepareSaveFolder, read by writeInstallIni.
extern char saveFolder[MAX_PATH];

#endif
