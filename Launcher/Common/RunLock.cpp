#include "RunLock.h"

#include "DiagnosticLine.h"
#include "LauncherConfig.h"
#include "ResultCodes.h"
#include "platform/ProtectedDescriptor.h"
#include "staging/FailureReport.h"

namespace {

// Owned by Administrators, full access for SYSTEM and Administrators, nobody
// else anything: no other account can open the lock to hold or release it.
// The rights are spelled as the mutex's own (MUTEX_ALL_ACCESS), which Windows
// keeps as given, rather than a generic right it would map.
constexpr const wchar_t* RunLockDescriptor = L"O:BAD:P(A;;0x1f0001;;;SY)(A;;0x1f0001;;;BA)";

// Only what waiting and letting go need.
constexpr DWORD RunLockAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// A standard user can make an object of any name in Global\ before a run
// does, with an access list that shuts the administrator out. A private
// namespace, whose boundary only Administrators can claim, would stop that
// outright, but Wine has none (CreatePrivateNamespaceW is not implemented),
// so the name stays in Global\ and the squatter's lock reads as a busy
// machine: the run ends with "retry later", saying who holds the name.
std::int32_t ReportHeldByAnotherAccount(const std::wstring& name)
{
    const std::string line = "The run lock " + ToUtf8(name) + " is held by another account: giving up";
    WriteDiagnosticLine(line.c_str(), LogLevel::Error);
    return InstallerBusy;
}

// WAIT_OBJECT_0 or WAIT_ABANDONED once the lock is this run's, WAIT_TIMEOUT
// when another run kept it to the deadline, or WAIT_FAILED.
DWORD WaitForTheOtherRun(HANDLE lock, const BusyWaitDeadline& deadline)
{
    const DWORD wait = Os.WaitForSingleObject(lock, 0);
    if (wait != WAIT_TIMEOUT) {
        return wait;
    }
    WriteDiagnosticLine("Another run of the launcher is in progress: waiting", LogLevel::Warning);
    const DWORD waited = Os.WaitForSingleObject(lock, deadline.RemainingMilliseconds());
    if (waited == WAIT_OBJECT_0) {
        WriteDiagnosticLine("Another run of the launcher has ended: going on", LogLevel::Information);
    } else if (waited == WAIT_TIMEOUT) {
        WriteDiagnosticLine("Another run of the launcher is still in progress: giving up", LogLevel::Error);
    }
    return waited;
}

}  // namespace

std::wstring RunLockName()
{
    return std::wstring(L"Global\\InstallerLauncher_") + LauncherConfig.SettingsGuid;
}

std::int32_t TakeRunLock(const BusyWaitDeadline& deadline, HeldMutex& held)
{
    ProtectedDescriptor descriptor;
    if (const std::int32_t parsed = descriptor.Parse(RunLockDescriptor)) {
        return parsed;
    }
    const std::wstring name = RunLockName();
    // Made by the first run, opened by later ones; the descriptor is used
    // only by the run that makes it.
    MutexHandle lock(Os.CreateMutexExW(descriptor.Attributes(), name.c_str(), /*dwFlags=*/0, RunLockAccess));
    if (!lock.IsValid()) {
        return Os.GetLastError() == ERROR_ACCESS_DENIED ? ReportHeldByAnotherAccount(name)
                                                         : ReportLastError("CreateMutexExW");
    }
    switch (WaitForTheOtherRun(lock.Get(), deadline)) {
    case WAIT_OBJECT_0:
        break;
    case WAIT_ABANDONED:
        // What that run left half done is the next steps' to meet, as after
        // any run that was killed.
        WriteDiagnosticLine("An earlier run of the launcher ended without letting go of its lock: going on",
            LogLevel::Warning);
        break;
    case WAIT_TIMEOUT:
        return InstallerBusy;
    default:
        return ReportLastError("WaitForSingleObject");
    }
    held = HeldMutex(lock.Release());
    return 0;
}
