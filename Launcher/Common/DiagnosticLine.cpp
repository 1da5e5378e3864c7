#include "DiagnosticLine.h"

#include "log/SupportLog.h"

#include <cstdio>
#include <string>

namespace {

void PrintLine(const char* line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

void WriteDiagnosticLine(const char* line, LogLevel level)
{
    PrintLine(line);
    const std::string text(line);
    Log(level, std::wstring(text.begin(), text.end()));
}

void WriteDiagnosticLine(std::wstring_view line, LogLevel level)
{
    PrintLine(ToUtf8(line).c_str());
    Log(level, std::wstring(line));
}
