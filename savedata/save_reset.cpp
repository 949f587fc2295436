#include <cstdlib>

#include "path_join.h"
#include "save_data.h"
#include "state.h"

// The numbered names are paths relative to the install folder, "save\save000.sav" and
// "save\thumb000.gra"; only their three digit bytes change from one number to the next.
static const int kSaveDigits = 9;   // "save\" is 5 bytes, then "save"
static const int kThumbDigits = 10; // "save\" is 5 bytes, then "thumb"

static const char* const kFixedNames[] = {
    "save\\syssave.dat",
    "save\\qsave.sav",
    "save\\qsave.gra",
};

// A path that does not fit is not requested at all: a cut path could name another file.
static void deleteInInstallFolder(char* path, const char* relativeName)
{
    if (joinPath(path, MAX_PATH, installFolder, relativeName))
        DeleteFileA(path);
}

static void writeDigits(char* name, int firstDigit, int hundreds, int tens, int units)
{
    name[firstDigit] = (char)('0' + hundreds);
    name[firstDigit + 1] = (char)('0' + tens);
    name[firstDigit + 2] = (char)('0' + units);
}

void resetSaveData(void)
{
    // Working memory from the general allocator; without it nothing is deleted.
    char* path = (char*)malloc(MAX_PATH);
    if (path == NULL)
        return;

    char saveName[] = "save\\save000.sav";
    char thumbName[] = "save\\thumb000.gra";

    for (const char* name : kFixedNames)
        deleteInInstallFolder(path, name);

    for (int hundreds = 0; hundreds <= 9; ++hundreds)
        for (int tens = 0; tens <= 9; ++tens)
            for (int units = 0; units <= 9; ++units) {
                writeDigits(saveName, kSaveDigits, hundreds, tens, units);
                writeDigits(thumbName, kThumbDigits, hundreds, tens, units);
                deleteInInstallFolder(path, saveName);
                deleteInInstallFolder(path, thumbName);
            }

    free(path);
}
