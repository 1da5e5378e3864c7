#include "StandInRun.h"

#include <windows.h>

namespace {

// The longest path Windows can hand back, in characters.
constexpr DWORD LongestPath = 32768;

std::wstring ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        // A full buffer means the path was cut short; try again with more room.
        if (length < path.size() || path.size() >= LongestPath) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// The parameters part of a command line: the program name ends at its closing
// quote when it starts with one, else at the first blank. The launcher has
// its own such scan; the stand-in keeps a separate one so that it cannot
// share a fault with the program it observes.
std::wstring ParametersOf(const wchar_t* commandLine)
{
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        ++p;
        while (*p != L'\0' && *p != L'"') {
            ++p;
        }
        if (*p == L'"') {
            ++p;
        }
    } else {
        while (*p != L'\0' && !IsBlank(*p)) {
            ++p;
        }
    }
    while (IsBlank(*p)) {
        ++p;
    }
    return p;
}

}  // namespace

std::wstring OwnFileName()
{
    const std::wstring path = ModulePath();
    const std::wstring::size_type separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

std::wstring Parameters()
{
    return ParametersOf(GetCommandLineW());
}

std::wstring WorkingDirectory()
{
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) {
        return std::wstring();
    }
    std::wstring folder(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, &folder[0]);
    folder.resize(length < needed ? length : 0);
    return folder;
}

std::wstring EnvironmentValue(const wchar_t* name)
{
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0) {
        return std::wstring();
    }
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, &value[0], needed);
    value.resize(length < needed ? length : 0);
    return value;
}
