#pragma once

#include <cstdint>

// Prints the one diagnostic line of a failed call, "<call> failed (<code>)",
// to standard output and flushes it, so that it survives the process ending.
void ReportFailure(const char* call, std::int32_t code);

// Reports the call that just failed with its last-error value (a fixed
// nonzero code when that is 0) and returns that code.
std::int32_t ReportLastError(const char* call);
