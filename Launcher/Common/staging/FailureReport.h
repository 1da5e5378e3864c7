#pragma once

#include <cstdint>

#include <windows.h>

// Prints the one diagnostic line of a failed call, "<call> failed (<code>)",
// as a diagnostic line (see WriteDiagnosticLine). Returns code.
std::int32_t ReportFailure(const char* call, std::int32_t code);

// Reports a call that failed with the error code it returned (a fixed nonzero
// code when that is 0) and returns that code.
std::int32_t ReportErrorCode(const char* call, DWORD error);

// Reports the call that just failed with its last-error value, the same way.
std::int32_t ReportLastError(const char* call);
