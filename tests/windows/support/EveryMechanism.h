#pragma once

#include "OsOverride.h"
#include "TestConfiguration.h"

#include <windows.h>

// A machine on which every step of the launcher has work to do, for as long
// as it lives: two listed process names, one of them running; two earlier
// products, one registered in the view the launcher examines and one not,
// both named as the prerequisites' product codes, which Windows Installer does
// not know; the device-monitor service installed and running; Windows
// Installer's mutex, free, so that each start of Windows Installer takes it
// and lets it go; a settings key with values and two levels of sub-keys;
// before each run, a product folder that users may write in, which the run
// moves aside. The test configuration names them all and is put back
// afterwards, with the machine as it was.
class EveryMechanism {
public:
    EveryMechanism();
    ~EveryMechanism();
    EveryMechanism(const EveryMechanism&) = delete;
    EveryMechanism& operator=(const EveryMechanism&) = delete;

    // Starts the listed process again if a run has ended it. False when it
    // could not be started.
    bool KeepListedProcessRunning();
    bool ListedProcessEnded() const;
    void WaitForListedProcessEnd() const;
    bool ServiceRunning() const;
    // Leaves a product folder users may write in, and removes those earlier
    // runs moved aside.
    void LeaveAUsersProductFolder() const;

private:
    ScopedConfiguration configuration_;
    // The launcher only starts a termination; the machine lets it go on
    // once the process has ended, so that every run finds the same
    // processes.
    OsOverride<&OsCallTable::TerminateProcess> termination_;
    OsOverride<&OsCallTable::GetSecurityInfo> productFolderSecurity_;

    void RemoveMovedAsideFolders() const;
    HANDLE listedProcess_ = nullptr;
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
    HANDLE installerMutex_ = nullptr;
};

// The settings backup key's path below HKEY_LOCAL_MACHINE, default view.
const wchar_t* SettingsBackupKeyPath();
