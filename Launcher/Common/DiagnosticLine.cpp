#include "DiagnosticLine.h"

#include <cstdio>

void WriteDiagnosticLine(const char* line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
