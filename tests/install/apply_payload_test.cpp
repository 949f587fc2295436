// applyPayloadFiles on both builds: payloads from the archive and from loose files, and the
// failures a player's machine can produce, each reported once with its target left whole.
#include <gtest/gtest.h>

#include <functional>

#include "payload_fixture.h"

TEST(ApplyPayload, WritesEveryTargetFromTheArchive)
{
    UpdateScene scene;
    writeFile(scene.game + "\\Instdata.pak", "");          // shorter than its payload
    DeleteFileA((scene.game + "\\Archive.dat").c_str());  // not there yet
    applyExpecting(scene.game, 1, nullptr);
    scene.expectTargets(scene.game, "nnn");
    scene.expectNoStagingFiles(scene.game);
}

TEST(ApplyPayload, LooseFilesTakeThePlaceOfArchiveMembers)
{
    UpdateScene scene;
    scene.payload[1] = "loose Archive.dat";
    writeFile("Archive.dat", scene.payload[1]);
    scene.payload[2] = "";
    writeFile("Instdata.pak", scene.payload[2]);
    applyExpecting(scene.game, 1, nullptr);
    scene.expectTargets(scene.game, "nnn");
}

TEST(ApplyPayload, CurrentDirectoryBeingTheInstallFolderWritesItsFilesBackUnchanged)
{
    UpdateScene scene;
    DeleteFileA((scene.game + "\\Instdata.pak").c_str());
    CurrentDirectory inGame(scene.game);
    writeFile("UpdateData.dat", fileContents(scene.delivery + "\\UpdateData.dat"));
    applyExpecting(scene.game, 1, nullptr);
    scene.payload[0] = scene.old[0];
    scene.payload[1] = scene.old[1];
    scene.expectTargets(scene.game, "nnn");
}

// An install folder path of exactly `length` bytes, holding the old files.
static std::string installFolderOfLength(const UpdateScene& scene, size_t length)
{
    std::string folder = scene.root / std::string(length - scene.root.path().size() - 1, 'g');
    EXPECT_EQ(folder.size(), length);
    makeFolder(folder);
    for (int i = 0; i < 3; ++i)
        writeFile(folder + "\\" + UpdateScene::kNames[i], scene.old[i]);
    return folder;
}

TEST(ApplyPayload, InstallFolderOf246BytesFitsEveryTarget)
{
    UpdateScene scene;
    std::string folder = installFolderOfLength(scene, 246);
    applyExpecting(folder, 1, nullptr);
    scene.expectTargets(folder, "nnn");
}

TEST(ApplyPayload, StopsAtTheFirstEntryThatCannotBeCompleted)
{
    struct Case {
        const char* label;
        // Prepares the failure; returns the install folder to use.
        std::function<std::string(UpdateScene&, HANDLE*)> arrange;
        const char* failingName;
        const char* targetsAfter;
    } cases[] = {
        {"program file held by the running game without sharing",
         [](UpdateScene& s, HANDLE* held) {
             *held = CreateFileA((s.game + "\\pkadv.exe").c_str(), GENERIC_READ, 0, NULL,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
             EXPECT_NE(*held, INVALID_HANDLE_VALUE);
             return s.game;
         },
         "pkadv.exe", "ooo"},
        {"install folder no longer exists",
         [](UpdateScene& s, HANDLE*) { return s.game + "\\gone"; }, "pkadv.exe", "---"},
        {"second target is a folder",
         [](UpdateScene& s, HANDLE*) {
             DeleteFileA((s.game + "\\Archive.dat").c_str());
             makeFolder(s.game + "\\Archive.dat");
             return s.game;
         },
         "Archive.dat", "n-o"},
        {"second payload neither loose nor in the archive",
         [](UpdateScene& s, HANDLE*) {
             s.packDelivery({{UpdateScene::kNames[0], s.payload[0]},
                             {UpdateScene::kNames[2], s.payload[2]}});
             return s.game;
         },
         "Archive.dat", "noo"},
        {"third member cut short in the archive",
         [](UpdateScene& s, HANDLE*) {
             std::string archive = fileContents(s.delivery + "\\UpdateData.dat");
             writeFile(s.delivery + "\\UpdateData.dat", archive.substr(0, archive.size() - 1));
             return s.game;
         },
         "Instdata.pak", "nno"},
        {"third target path does not fit in MAX_PATH",
         [](UpdateScene& s, HANDLE*) { return installFolderOfLength(s, 247); }, "Instdata.pak",
         "nno"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        UpdateScene scene;
        HANDLE held = INVALID_HANDLE_VALUE;
        std::string folder = c.arrange(scene, &held);
        applyExpecting(folder, 0, c.failingName);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        scene.expectTargets(folder, c.targetsAfter);
        scene.expectNoStagingFiles(folder);
        EXPECT_FALSE(fileExists(folder + "\\Instdata.pa")) << "a cut path was used";
    }
}
