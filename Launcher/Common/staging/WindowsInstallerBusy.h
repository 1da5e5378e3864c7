#pragma once

#include <cstdint>

#include <windows.h>

// How long one start of Windows Installer may wait for other installations,
// from the moment it is made, on GetTickCount64's clock.
class BusyWaitDeadline {
public:
    explicit BusyWaitDeadline(std::int32_t seconds);
    // Milliseconds left; 0 once it has passed.
    DWORD RemainingMilliseconds() const;

private:
    ULONGLONG end_;
};

// Waits while another installation holds Windows Installer's machine-wide
// mutex, at most until the deadline, with a diagnostic line when the wait
// starts and one when it ends. The mutex is taken only to be let go at once,
// so that the Windows Installer started next finds it free; an abandoned one
// counts as free. Returns false when the deadline passed with the mutex
// still held. A mutex that cannot be opened (none exists, or it cannot be
// seen) or waited for returns true: Windows Installer then answers InstallerBusy itself
// when it is busy.
bool WaitUntilWindowsInstallerIsFree(const BusyWaitDeadline& deadline);

// Pauses before Windows Installer is started again after it answered busy,
// so that a busy answer without a visible mutex does not start it in a tight
// loop. Returns false, without pausing, when the deadline has passed.
bool PauseBeforeRetry(const BusyWaitDeadline& deadline);

// Prints that the launcher gives up waiting, and returns InstallerBusy.
std::int32_t ReportStillBusy();
