#include "DiagnosticLine.h"

#include "log/SupportLog.h"

#include <cstdio>
#include <string>

void WriteDiagnosticLine(const char* line, LogLevel level)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    const std::string text(line);
    Log(level, std::wstring(text.begin(), text.end()));
}
