#include "FailureReport.h"

#include "../ResultCodes.h"
#include "../platform/OsCalls.h"

#include <cstdio>

void ReportFailure(const char* call, std::int32_t code)
{
    std::printf("%s failed (%d)\n", call, static_cast<int>(code));
    std::fflush(stdout);
}

std::int32_t ReportLastError(const char* call)
{
    const std::int32_t code = FailureCode(Os.GetLastError());
    ReportFailure(call, code);
    return code;
}
