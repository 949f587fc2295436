#include "payload_fixture.h"

#include <gtest/gtest.h>

#include "apply_payload.h"
#include "archive_format.h"
#include "message_box_watch.h"

const char* const UpdateScene::kNames[3] = {"pkadv.exe", "Archive.dat", "Instdata.pak"};

static std::string makeFolderIn(const TempFolder& root, const char* name)
{
    makeFolder(root / name);
    return root / name;
}

UpdateScene::UpdateScene()
    : delivery(makeFolderIn(root, "delivery")), game(makeFolderIn(root, "game")), current(delivery)
{
    for (int i = 0; i < 3; ++i) {
        payload[i] = patternBytes(1000 + 700 * i, 10 + i);
        old[i] = patternBytes(3000 + 100 * i, 20 + i);
        writeFile(game + "\\" + kNames[i], old[i]);
    }
    packDelivery({{kNames[0], payload[0]}, {kNames[1], payload[1]}, {kNames[2], payload[2]}});
}

void UpdateScene::packDelivery(const std::vector<std::pair<std::string, std::string>>& members)
{
    std::vector<PackMember> packed;
    for (const auto& member : members)
        packed.push_back({member.first, member.second});
    std::string archive, error;
    ASSERT_TRUE(packArchive(packed, 32, &archive, &error)) << error;
    writeFile(delivery + "\\UpdateData.dat", archive);
}

void UpdateScene::expectTargets(const std::string& folder, const char* states) const
{
    for (int i = 0; i < 3; ++i) {
        std::string contents = fileContents(folder + "\\" + kNames[i]);
        std::string expected = states[i] == 'n'   ? payload[i]
                               : states[i] == 'o' ? old[i]
                                                  : std::string("<missing>");
        const char* meant = states[i] == 'n'   ? "the payload"
                            : states[i] == 'o' ? "its old bytes"
                                               : "missing";
        EXPECT_TRUE(contents == expected)
            << kNames[i] << " should be " << meant << "; holds " << contents.size() << " bytes";
    }
}

void UpdateScene::expectNoStagingFiles(const std::string& folder) const
{
    for (const char* staging : {"pkadv.ex~", "Archive.da~", "Instdata.pa~"})
        EXPECT_FALSE(fileExists(folder + "\\" + staging)) << staging << " left behind";
}

void applyExpecting(const std::string& folder, int result, const char* failingName)
{
    MessageBoxWatch watch;
    EXPECT_EQ(applyPayloadFiles(NULL, folder.c_str()), result);
    std::vector<ShownMessageBox> shown = watch.shown();
    if (!failingName) {
        EXPECT_EQ(shown.size(), 0u);
        return;
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "エラー");
    EXPECT_EQ(shown[0].text, std::string("ファイルが書き込めません。[") + failingName + "]");
}
