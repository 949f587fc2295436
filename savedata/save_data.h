// The game's save data: the reset of the old saves, the save folder and Install.ini.
#ifndef SAVEDATA_SAVE_DATA_H
#define SAVEDATA_SAVE_DATA_H

#include "platform.h"

// Deletes the old save files by name in installFolder's "save" subfolder. Reports nothing.
void resetSaveData(void);

// Chooses the save folder, creates it and leaves its path in saveFolder. 1 when the folder
// exists afterwards, 0 otherwise.
int prepareSaveFolder(const char* makerName, const char* titleFolderName);

// The file-system path of a shell special folder into out (MAX_PATH bytes). Non-zero on
// success.
int getSpecialFolderPath(int csidl, char* out);

// Replaces the file at path with the bytes of text (without its terminator). 1 on success.
int writeTextFile(const char* path, const char* text);

// Writes installFolder\Install.ini naming saveFolder. The result of writeTextFile.
int writeInstallIni(void);

#endif
