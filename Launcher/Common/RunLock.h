#pragma once

#include "platform/Handles.h"
#include "staging/WindowsInstallerBusy.h"

#include <cstdint>
#include <string>

// The machine-wide lock that lets one run of this product's launcher at a
// time stage, back up and install: "Global\InstallerLauncher_" followed by
// the settings GUID with its braces. The GUID names the product's settings
// and their backup key, the state two runs would fight over, and stays the
// same from build to build.
std::wstring RunLockName();

// Takes the lock into held, waiting at most until the deadline while another
// run holds it, with a diagnostic line when the wait starts and one when it
// ends. A lock a killed run left behind (abandoned) is taken, with a warning
// line. Returns 0 with the lock held; InstallerBusy, after printing its line,
// when another run still holds it at the deadline or another account holds
// its name; otherwise the failing call's code after printing its line.
std::int32_t TakeRunLock(const BusyWaitDeadline& deadline, HeldMutex& held);
