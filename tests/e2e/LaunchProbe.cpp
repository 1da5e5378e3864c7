// Runs one command line exactly as written in a file and writes the full
// 32-bit exit code to another: the Linux shell only sees the low 8 bits of a
// Windows program's exit code, and "wine program arguments" rebuilds the
// command line from Unix arguments.
//
// usage: LaunchProbe.exe <command-line file, UTF-8> <exit-code file>
#include "ProbeCommandLine.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: LaunchProbe.exe COMMAND-LINE-FILE EXIT-CODE-FILE\n");
        return 2;
    }
    std::wstring commandLine = ReadCommandLine(argv[1]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "CreateProcessW failed (%lu)\n", GetLastError());
        return 3;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ofstream(std::filesystem::path(argv[2])) << static_cast<long>(static_cast<LONG>(exitCode)) << "\n";
    return 0;
}
