// Setting the process-wide paths that the save-data operations read.
#ifndef TESTS_SAVEDATA_SAVEDATA_STATE_H
#define TESTS_SAVEDATA_SAVEDATA_STATE_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "state.h"

// installFolder as start-up leaves it; saveFolder empty, as before prepareSaveFolder runs.
inline void setInstallFolder(const std::string& path)
{
    ASSERT_LT(path.size(), (size_t)MAX_PATH) << path;
    std::memcpy(installFolder, path.c_str(), path.size() + 1);
    saveFolder[0] = '\0';
}

// The title folder the update dialog passes, in code page 932 like every text of the system.
#define TITLE_FOLDER_NAME "ぴこぺこらんど！"

#endif
