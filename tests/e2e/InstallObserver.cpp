// Runs a command while Windows Installer installs: waits until a process named
// msiexec.exe runs, holds that process still (its threads suspended), runs the
// rest of its own command line, waits for it, and lets Windows Installer go
// on. The launcher starts Windows Installer directly, so this is how a
// scenario looks at the machine in the middle of the install (the settings
// backup exists from before Windows Installer starts until after it ends);
// holding it still keeps a slow command from looking after the install ended.
// It records in C:\StandIn\observer-ready.txt that it watches.
//
// usage: InstallObserver.exe PROGRAM [ARGUMENTS...]
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <fstream>
#include <string>

namespace {

// The process id of a running msiexec.exe, or 0.
DWORD WindowsInstallerProcess()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && found == 0; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"msiexec.exe") == 0) {
            found = entry.th32ProcessID;
        }
    }
    CloseHandle(snapshot);
    return found;
}

// Suspends (or resumes) every thread of the process.
void HoldStill(DWORD processId, bool hold)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) {
            continue;
        }
        const HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (thread != nullptr) {
            hold ? SuspendThread(thread) : ResumeThread(thread);
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
}

// The observer's own command line after its program name.
std::wstring CommandToRun()
{
    const wchar_t* line = GetCommandLineW();
    const wchar_t end = *line == L'"' ? L'"' : L' ';
    line += *line == L'"' ? 1 : 0;
    while (*line != L'\0' && *line != end) {
        ++line;
    }
    line += *line == L'"' ? 1 : 0;
    while (*line == L' ') {
        ++line;
    }
    return line;
}

}  // namespace

int wmain()
{
    std::wstring command = CommandToRun();
    std::ofstream(L"C:\\StandIn\\observer-ready.txt") << "watching\n";
    const DWORD deadline = GetTickCount() + 300000;
    DWORD installer = 0;
    while ((installer = WindowsInstallerProcess()) == 0) {
        if (GetTickCount() > deadline) {
            return 1;
        }
        Sleep(5);
    }
    HoldStill(installer, true);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const bool started =
        CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    HoldStill(installer, false);
    return started ? 0 : 2;
}
