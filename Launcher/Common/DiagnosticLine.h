#pragma once

#include "log/LogLine.h"

#include <string_view>

// Writes one diagnostic line, given without its line feed, to standard output
// and flushes it, so that it survives the process ending, and logs it at this
// level. Every line the launcher prints goes through here.
void WriteDiagnosticLine(const char* line, LogLevel level);
// The same for a line of UTF-16 text (a path), printed as UTF-8.
void WriteDiagnosticLine(std::wstring_view line, LogLevel level);
