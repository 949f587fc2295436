// A whole updater run through WinMain on the host layer, set up so that the apply sequence
// makes every kind of platform call it can make: the game installed under the program-files
// folder of an NT 6 system (so the save folder is the per-user one, through the shell and the
// registry), the first payload delivered loose and the other two only in UpdateData.dat, old
// game files, old save data and an old Install.ini in the install folder.
//
// After a run, checkApplyOutcome() holds the run to what must be true whatever failed on the
// way: every game file old or new whole, nothing of the updater's staging left, nothing held,
// the messages one of the sequences the updater can show and matching what was written, and
// version 1010 recorded only over a complete update.
#ifndef TESTS_FAULTS_APPLY_SCENE_H
#define TESTS_FAULTS_APPLY_SCENE_H

#include <string>
#include <vector>

#include "host_control.h"
#include "test_files.h"

extern const char* const kGameFiles[3];

struct ApplyScene {
    // Resets the host layer and lays out the scene. installFolder: the install folder to use
    // instead of the one under the program-files folder, created here level by level; it is
    // relative to the delivery folder when it has no leading backslash.
    explicit ApplyScene(const std::string& installFolder = "");

    // Runs WinMain with Apply clicked; returns the calls it made. The exit code must be 0.
    std::vector<HostTrace> runApply();

    std::string payloadOf(int file) const;
    std::string oldContentsOf(int file) const;
    std::string perUserSaveFolder() const;

    TempFolder root;
    std::string delivery;
    std::string programFiles;
    std::string localAppData;
    std::string game;  // the install folder as recorded
    unsigned handlesBefore = 0;  // open before the run (an earlier run's failed close)
};

// What a run left, as the checks found it.
struct ApplyOutcome {
    int newFiles;            // game files holding the payload, counted from the first
    bool completed;          // the completion message was shown
    bool versionRecorded;    // Version holds 1010
};

// Checks the invariants after a run whose faults are cleared; `faulted` names the call that
// was made to fail, when one was (its own message, or its own write, may then be missing).
ApplyOutcome checkApplyOutcome(const ApplyScene& scene, HostCall faulted, bool anyFault);

#endif
