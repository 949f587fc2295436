// A delivery folder (made the current directory, with UpdateData.dat packed from three
// payloads) and a game's install folder holding older, longer versions of the game's files.
// Every test case makes its own.
#ifndef TESTS_INSTALL_PAYLOAD_FIXTURE_H
#define TESTS_INSTALL_PAYLOAD_FIXTURE_H

#include <string>
#include <utility>
#include <vector>

#include "test_files.h"

struct UpdateScene {
    UpdateScene();

    // Replaces the delivery folder's UpdateData.dat with one holding these members.
    void packDelivery(const std::vector<std::pair<std::string, std::string>>& members);

    // Checks what each of the three targets in `folder` holds: 'n' the new payload, 'o' its
    // old bytes, '-' no file.
    void expectTargets(const std::string& folder, const char* states) const;

    // Checks that file replacement left no staging file in `folder`.
    void expectNoStagingFiles(const std::string& folder) const;

    static const char* const kNames[3];
    std::string payload[3];
    std::string old[3];
    TempFolder root;
    std::string delivery;
    std::string game;
    CurrentDirectory current;
};

// Runs applyPayloadFiles(NULL, folder) and checks its result and the reports it showed: none
// when failingName is null, otherwise exactly the write-error report naming it.
void applyExpecting(const std::string& folder, int result, const char* failingName);

#endif
