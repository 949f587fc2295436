// The game's save data: the reset of the old saves, the save folder and Install.ini.
#ifndef SAVEDATA_SAVE_DATA_H
#define SAVEDATA_SAVE_DATA_H

#include "platform.h"

// Deletes the old save files by name in installFolder's "save" subfolder: syssave.dat,
// qsave.sav, qsave.gra, then save000.sav, thumb000.gra, save001.sav, ... thumb999.gra, 2,003
// requests in that order, whatever the folder holds. Nothing is listed or tested first and
// no failure is reported. A name whose whole path does not fit in MAX_PATH bytes is not
// requested; the others still are. Nothing at all is deleted when the path buffer cannot be
// had.
void resetSaveData(void);

// Chooses the save folder, creates it and leaves its path in saveFolder.
//   Per-user: on an NT-family Windows of major version 6 or later, when installFolder begins
//   with HKLM "Software\Microsoft\Windows\CurrentVersion" ProgramFilesDir (ASCII letters
//   compared without case, no separator required after it) and the local application-data
//   folder is known: <local app data>\makerName\titleFolderName\save, creating the three
//   levels in that order.
//   Fallback, when any of that fails (also a failed version query, or a per-user path that
//   does not fit in MAX_PATH bytes): installFolder\save, creating that level only.
// Folder creations are not checked: returns 1 when an entry of exactly that path (folder or
// file) exists afterwards, 0 otherwise; saveFolder holds the chosen path in both cases.
// When even the fallback path does not fit, returns 0 with saveFolder empty and nothing
// created: saveFolder never holds a cut path.
int prepareSaveFolder(const char* makerName, const char* titleFolderName);

// The file-system path of a shell special folder (CSIDL_...) into out (MAX_PATH bytes), as
// the shell has it; the folder is not created. Non-zero on success.
int getSpecialFolderPath(int csidl, char* out);

// Replaces the file at path with the bytes of text (without its terminator), through
// replaceFileContents: the file holds either its old contents or the new ones whole, never
// an empty or cut file. 1 on success, 0 with the file unchanged otherwise. path must end in
// an ASCII byte.
int writeTextFile(const char* path, const char* text);

// Writes installFolder\Install.ini holding exactly "save=" and saveFolder: no line end, no
// terminator. Call only after prepareSaveFolder returned 1. The result of writeTextFile; 0
// when storage for the path or the text cannot be had.
int writeInstallIni(void);

#endif
