// Runs a command while Windows Installer installs: waits until a process named
// msiexec.exe runs, then runs the rest of its own command line and waits for
// it. The launcher starts Windows Installer directly, so this is how a
// scenario looks at the machine in the middle of the install (the settings
// backup exists from before Windows Installer starts until after it ends).
// It records in C:\StandIn\observer-ready.txt that it watches.
//
// usage: InstallObserver.exe PROGRAM [ARGUMENTS...]
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <fstream>
#include <string>

namespace {

bool WindowsInstallerRuns()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry)) {
        found = _wcsicmp(entry.szExeFile, L"msiexec.exe") == 0;
    }
    CloseHandle(snapshot);
    return found;
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
    while (!WindowsInstallerRuns()) {
        if (GetTickCount() > deadline) {
            return 1;
        }
        Sleep(5);
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
