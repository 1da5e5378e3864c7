#pragma once

#include "Interposer.h"

#include <string>
#include <vector>

// Where in an install run a call falls, for telling which step a failed call
// belonged to and so how the run must end.
enum class InstallStage {
    StartUp,                  // outside every step the sequence names
    Detection,                // whether Windows is 64-bit and 10 or later, which picks the package
    RunLock,                  // one run of the product at a time, taken before the log opens
    Prompt,                   // the confirmation prompt, its texts loaded and shown
    Prerequisite,             // each runtime prerequisite
    FirstLegacyUninstaller,   // "UNINST"
    SecondLegacyUninstaller,  // "UNINST2"
    Preparation,              // processes, earlier products, service, settings backup
    Package,                  // the driver package, written and installed
    BackupRelease,
    StagingCleanup,
};

// Within a stage that stages and runs a program.
enum class ChildPhase {
    PresenceCheck,  // is the payload carried at all
    Staging,        // written and started
    Waiting,        // waited for and its exit code read
    Ended,          // its handles let go
    StagingFolder,  // the staging folder's directory made, under a new name each try
    MovingAside,    // a package folder level others may write in moved aside, and what follows
    Logging,        // a line written to the support log, which never changes how a run ends
    InstallerBusy,  // whether another installation holds Windows Installer, up to the start
    OwnModule,      // the program's own module asked for, which a payload is looked up in
    Releasing,      // a library, environment block or machine key the child's environment was read with let go
};

struct StageMark {
    int FirstCall;  // the countdown's number of the first call in it
    InstallStage Stage;
    ChildPhase Phase;
};

const char* InstallStageName(InstallStage stage);
const char* ChildPhaseName(ChildPhase phase);

// Marks, while it lives, where each stage and phase of a run begins, with the
// numbers an OsCountdown plugged in just before it gives: the stage from the step the install sequence
// says has started (the second legacy uninstaller from its payload's lookup),
// the phase within it from the calls that open it (the program's own module
// asked for, a payload looked up, Windows Installer's mutex opened, a program
// started, waited for, its exit code read, a line written to the support
// log). Marks of a run whose call n failed agree with those of the unfailed
// run up to call n.
class InstallStages : public CallObserver {
public:
    InstallStages();
    ~InstallStages() override;
    std::optional<DWORD> Before(const ObservedCall& call) override;
    void After(const ObservedCall& call) override;

    const std::vector<StageMark>& Marks() const;
};

// The stage and phase that call number `call` falls in.
StageMark StageOfCall(const std::vector<StageMark>& marks, int call);
