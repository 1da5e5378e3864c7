#pragma once

#include <cstdint>

// Prints the one diagnostic line of a failed call, "<call> failed (<code>)",
// to standard output and flushes it, so that it survives the process ending.
void ReportFailure(const char* call, std::int32_t code);
