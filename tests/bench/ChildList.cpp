#include "ChildList.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

std::wstring Widen(const std::string& utf8)
{
    std::wstring text(utf8.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0],
        static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

}  // namespace

std::vector<std::wstring> ReadLines(const wchar_t* path)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "cannot read %ls\n", path);
        std::exit(2);
    }
    std::vector<std::wstring> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(Widen(line));
        }
    }
    return lines;
}

std::vector<Child> ReadChildren(const wchar_t* path)
{
    std::vector<Child> children;
    for (const std::wstring& line : ReadLines(path)) {
        const size_t tab = line.find(L'\t');
        children.push_back({line.substr(0, tab), tab == std::wstring::npos ? L"" : line.substr(tab + 1)});
    }
    return children;
}

void RunAndWait(Child child)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const wchar_t* folder = child.WorkingFolder.empty() ? nullptr : child.WorkingFolder.c_str();
    if (!CreateProcessW(nullptr, &child.CommandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
            &process)) {
        std::fprintf(stderr, "CreateProcessW failed (%lu) for %ls\n", GetLastError(), child.CommandLine.c_str());
        std::exit(3);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
