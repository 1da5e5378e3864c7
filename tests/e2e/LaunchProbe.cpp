// Runs one command line exactly as written in a file and writes the full
// 32-bit exit code to another: the Linux shell only sees the low 8 bits of a
// Windows program's exit code, and "wine program arguments" rebuilds the
// command line from Unix arguments.
//
// usage: LaunchProbe.exe <command-line file, UTF-8> <exit-code file>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::wstring ReadCommandLine(const wchar_t* path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    const std::string utf8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring text(utf8.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0],
        static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

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
