#include "FailureReport.h"

#include "../DiagnosticLine.h"
#include "../ResultCodes.h"
#include "../platform/OsCalls.h"

#include <cstdio>

namespace {

// Room for the longest call name and a signed 32-bit code.
constexpr std::size_t LineLength = 160;

}  // namespace

std::int32_t ReportFailure(const char* call, std::int32_t code)
{
    // The system C runtime's formatter: the printf that the C++ runtime's
    // headers select is MinGW's own, a second formatter of some 25 KB that
    // the launcher would carry for this one line.
    char line[LineLength];
    const int length = _snprintf(line, LineLength - 1, "%s failed (%d)", call, static_cast<int>(code));
    line[length < 0 ? LineLength - 1 : length] = '\0';
    WriteDiagnosticLine(line, LogLevel::Error);
    return code;
}

std::int32_t ReportErrorCode(const char* call, DWORD error)
{
    return ReportFailure(call, FailureCode(error));
}

std::int32_t ReportLastError(const char* call)
{
    return ReportErrorCode(call, Os.GetLastError());
}
