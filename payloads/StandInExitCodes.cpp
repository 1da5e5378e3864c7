#include "StandInExitCodes.h"

#include "StandInFiles.h"
#include "StandInText.h"

namespace {

// A list longer than this is not one a test wrote; it counts as missing.
constexpr LONGLONG LongestList = 1 << 20;

std::string Trimmed(const std::string& text)
{
    const char* blanks = " \t\r";
    const std::string::size_type first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A decimal exit code, negative ones as the two's complement Windows reports
// for them (-1 is 4294967295).
bool ParseExitCode(const std::string& text, DWORD& code)
{
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    long long magnitude = 0;
    for (const char digit : digits) {
        magnitude = magnitude * 10 + (digit - '0');
    }
    if (negative ? magnitude > 0x80000000LL : magnitude > 0xFFFFFFFFLL) {
        return false;
    }
    code = static_cast<DWORD>(negative ? -magnitude : magnitude);
    return true;
}

bool SameFileName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool ReadList(std::string& list)
{
    HANDLE file = OpenSharedFile(ExitCodesPath, GENERIC_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size{};
    bool read = GetFileSizeEx(file, &size) && size.QuadPart <= LongestList;
    if (read) {
        list.assign(static_cast<std::string::size_type>(size.QuadPart), '\0');
        DWORD got = 0;
        read = list.empty() || (ReadFile(file, &list[0], static_cast<DWORD>(list.size()), &got, nullptr) &&
                                got == list.size());
    }
    CloseHandle(file);
    return read;
}

// Whether one line of the list names this file name, and the code it chooses.
bool LineChooses(const std::string& line, const std::wstring& fileName, DWORD& code)
{
    const std::string::size_type equals = line.find('=');
    DWORD parsed = 0;
    if (equals == std::string::npos || !ParseExitCode(Trimmed(line.substr(equals + 1)), parsed) ||
        !SameFileName(FromUtf8(Trimmed(line.substr(0, equals))), fileName)) {
        return false;
    }
    code = parsed;
    return true;
}

DWORD ExitCodeFor(const std::wstring& fileName, const std::string& list)
{
    // Notepad and PowerShell start UTF-8 files with a byte-order mark.
    const std::string::size_type start = list.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    DWORD chosen = 0;
    for (std::string::size_type lineStart = start; lineStart < list.size();) {
        std::string::size_type lineEnd = list.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = list.size();
        }
        LineChooses(list.substr(lineStart, lineEnd - lineStart), fileName, chosen);
        lineStart = lineEnd + 1;
    }
    return chosen;
}

}  // namespace

DWORD ChosenExitCode(const std::wstring& fileName)
{
    std::string list;
    return ReadList(list) ? ExitCodeFor(fileName, list) : 0;
}
