#pragma once

#include "log/LogLine.h"

// Writes one diagnostic line, given without its line feed, to standard output
// and flushes it, so that it survives the process ending, and logs it at this
// level. Every line the launcher prints goes through here.
void WriteDiagnosticLine(const char* line, LogLevel level);
