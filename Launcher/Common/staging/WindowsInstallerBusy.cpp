#include "WindowsInstallerBusy.h"

#include "../DiagnosticLine.h"
#include "../ResultCodes.h"
#include "../platform/Handles.h"

#include <algorithm>

namespace {

// Held by Windows Installer for as long as an installation runs.
constexpr const wchar_t* ExecuteMutexName = L"Global\\_MSIExecute";
constexpr ULONGLONG MillisecondsPerSecond = 1000;
constexpr DWORD RetryPauseMilliseconds = 1000;
// The longest finite wait a single call can be given.
constexpr ULONGLONG LongestWait = INFINITE - 1;

}  // namespace

BusyWaitDeadline::BusyWaitDeadline(std::int32_t seconds)
    : end_(Os.GetTickCount64() + static_cast<ULONGLONG>(std::max(seconds, 0)) * MillisecondsPerSecond)
{
}

DWORD BusyWaitDeadline::RemainingMilliseconds() const
{
    const ULONGLONG now = Os.GetTickCount64();
    return now >= end_ ? 0 : static_cast<DWORD>(std::min(end_ - now, LongestWait));
}

bool WaitUntilWindowsInstallerIsFree(const BusyWaitDeadline& deadline)
{
    const MutexHandle mutex(Os.OpenMutexW(SYNCHRONIZE, FALSE, ExecuteMutexName));
    if (!mutex.IsValid()) {
        return true;
    }
    DWORD wait = Os.WaitForSingleObject(mutex.Get(), 0);
    if (wait == WAIT_TIMEOUT) {
        WriteDiagnosticLine("Windows Installer is busy: waiting", LogLevel::Warning);
        wait = Os.WaitForSingleObject(mutex.Get(), deadline.RemainingMilliseconds());
        if (wait == WAIT_TIMEOUT) {
            return false;
        }
        WriteDiagnosticLine("Windows Installer is free: going on", LogLevel::Information);
    }
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        Os.ReleaseMutex(mutex.Get());
    }
    return true;
}

bool PauseBeforeRetry(const BusyWaitDeadline& deadline)
{
    const DWORD remaining = deadline.RemainingMilliseconds();
    if (remaining == 0) {
        return false;
    }
    Os.Sleep(std::min(remaining, RetryPauseMilliseconds));
    return true;
}

std::int32_t ReportStillBusy()
{
    WriteDiagnosticLine("Windows Installer is still busy: giving up", LogLevel::Error);
    return InstallerBusy;
}
