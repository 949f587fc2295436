// The save-data reset on real folders: what goes and what stays.
#include <gtest/gtest.h>

#include <string>

#include "save_data.h"
#include "savedata_state.h"
#include "test_files.h"

TEST(SaveReset, DeletesTheListedSaveFilesAndLeavesLookAlikes)
{
    TempFolder temp;
    const std::string game = temp / "Game";
    const std::string save = game + "\\save";
    makeFolder(game);
    makeFolder(save);
    makeFolder(save + "\\sub");

    const char* const listed[] = {
        "syssave.dat", "qsave.sav",   "qsave.gra",    "save000.sav",  "thumb000.gra",
        "save007.sav", "thumb070.gra", "save700.sav", "save999.sav",  "thumb999.gra",
    };
    // Names close to listed ones: the reset deletes by exact name and lists nothing.
    const char* const kept[] = {
        "save00.sav",   "save0000.sav", "save1000.sav", "savea00.sav",     "save000.gra",
        "thumb000.sav", "thumb00.gra",  "qsave.dat",    "syssave.sav",     "save000.sav.bak",
        "sub\\save000.sav", "sub\\syssave.dat",
    };
    for (const char* name : listed)
        writeFile(save + "\\" + name, name);
    for (const char* name : kept)
        writeFile(save + "\\" + name, name);
    // The same names outside the save subfolder are not the old saves either.
    writeFile(game + "\\syssave.dat", "game");
    writeFile(game + "\\save000.sav", "game");

    setInstallFolder(game);
    resetSaveData();

    for (const char* name : listed)
        EXPECT_FALSE(fileExists(save + "\\" + name)) << name << " should have been deleted";
    for (const char* name : kept)
        EXPECT_EQ(fileContents(save + "\\" + name), name) << name << " should have stayed";
    EXPECT_EQ(fileContents(game + "\\syssave.dat"), "game");
    EXPECT_EQ(fileContents(game + "\\save000.sav"), "game");
    EXPECT_TRUE(fileExists(save)) << "the save folder itself stays";
}

TEST(SaveReset, MissingSaveFolderIsPassedOverAndNotCreated)
{
    TempFolder temp;
    const std::string game = temp / "Game";
    makeFolder(game);

    setInstallFolder(game);
    resetSaveData();

    EXPECT_FALSE(fileExists(game + "\\save"));
    EXPECT_TRUE(fileExists(game));
}
