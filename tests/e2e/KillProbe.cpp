// Starts one command line exactly as written in a file, waits for a moment of
// the run and ends the process from outside with TerminateProcess, the way a
// power cut, an impatient administrator or a deployment tool's time limit
// would. Then waits for the programs the ended process had started, so that
// the next run finds the machine quiet, and writes what happened to a file:
// "killed", or "ended <exit code>" when the process ended before the moment,
// followed by ", N hung" for started programs that never got going.
//
// usage: KillProbe.exe <command-line file, UTF-8> <moment> <delay ms> <result file>
// moments:
//   start            as soon as the process runs
//   journal:N        the stand-ins' journal holds N lines (N programs started)
//   file:PATH        PATH exists
//   process:NAME     a process of this image name runs
//   after:NAME       a process of this image name ran and has ended
#include "ProbeCommandLine.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<PROCESSENTRY32W> Processes()
{
    std::vector<PROCESSENTRY32W> found;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return found;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        found.push_back(entry);
    }
    CloseHandle(snapshot);
    return found;
}

bool ProcessRuns(const std::wstring& imageName)
{
    for (const PROCESSENTRY32W& entry : Processes()) {
        if (_wcsicmp(entry.szExeFile, imageName.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

std::string Journal()
{
    std::ifstream in("C:\\StandIn\\journal.txt", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t JournalLines()
{
    const std::string text = Journal();
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// A stand-in that starts and ends between two looks at the processes is
// still seen in the journal.
bool JournalNames(const std::wstring& imageName)
{
    return Journal().find(std::string(imageName.begin(), imageName.end())) != std::string::npos;
}

// Whether the moment has come; seen carries what "after:" has seen so far.
bool MomentReached(const std::wstring& moment, bool& seen)
{
    const size_t colon = moment.find(L':');
    const std::wstring kind = moment.substr(0, colon);
    const std::wstring value = colon == std::wstring::npos ? L"" : moment.substr(colon + 1);
    if (kind == L"journal") {
        return JournalLines() >= std::stoul(value);
    }
    if (kind == L"file") {
        return GetFileAttributesW(value.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    if (kind == L"process") {
        return ProcessRuns(value);
    }
    if (kind == L"after") {
        const bool runs = ProcessRuns(value);
        seen |= runs || JournalNames(value);
        return seen && !runs;
    }
    return true;
}

// The programs the ended process started go on by themselves; wait for them,
// so that the next run finds the machine quiet. Under Wine a program being
// started when its parent was ended can hang for good: one that has not
// ended after 20 s (a stand-in takes well under one, Windows Installer a few)
// is ended too. Returns how many were ended so.
int WaitForChildren(DWORD parentId)
{
    int hung = 0;
    for (const PROCESSENTRY32W& entry : Processes()) {
        if (entry.th32ParentProcessID != parentId) {
            continue;
        }
        const HANDLE child = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (child == nullptr) {
            continue;
        }
        if (WaitForSingleObject(child, 20000) == WAIT_TIMEOUT) {
            TerminateProcess(child, 1);
            ++hung;
        }
        CloseHandle(child);
    }
    return hung;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: KillProbe.exe COMMAND-LINE-FILE MOMENT DELAY-MS RESULT-FILE\n");
        return 2;
    }
    std::wstring commandLine = ReadCommandLine(argv[1]);
    const std::wstring moment = argv[2];
    const DWORD delay = std::wcstoul(argv[3], nullptr, 10);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "CreateProcessW failed (%lu)\n", GetLastError());
        return 3;
    }
    bool seen = false;
    bool ended = false;
    while (!MomentReached(moment, seen) && !ended) {
        ended = WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0;
    }
    if (!ended && delay != 0) {
        ended = WaitForSingleObject(process.hProcess, delay) == WAIT_OBJECT_0;
    }
    std::string result = "killed";
    if (ended || !TerminateProcess(process.hProcess, 1)) {
        DWORD exitCode = 0;
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &exitCode);
        result = "ended " + std::to_string(static_cast<long>(static_cast<LONG>(exitCode)));
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    if (const int hung = WaitForChildren(process.dwProcessId)) {
        result += ", " + std::to_string(hung) + " hung";
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ofstream(std::filesystem::path(argv[4])) << result << "\n";
    return 0;
}
