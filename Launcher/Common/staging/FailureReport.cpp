#include "FailureReport.h"

#include <cstdio>

void ReportFailure(const char* call, std::int32_t code)
{
    std::printf("%s failed (%d)\n", call, static_cast<int>(code));
    std::fflush(stdout);
}
