#include "ProgramArguments.h"

namespace {

bool IsSeparator(wchar_t c)
{
    return c >= 1 && c <= 32;
}

}  // namespace

const wchar_t* SkipProgramName(const wchar_t* commandLine)
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
        while (*p != L'\0' && !IsSeparator(*p)) {
            ++p;
        }
    }
    while (IsSeparator(*p)) {
        ++p;
    }
    return p;
}
