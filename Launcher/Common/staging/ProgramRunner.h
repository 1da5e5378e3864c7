#pragma once

#include <cstdint>
#include <string>

// Has the shell open the file (a program, or a file the shell hands to its
// program) with these parameters, and waits without a time limit for the
// process it started. Returns the process's exit code unchanged; -1 when there
// is no process to wait for or the wait fails; the shell's error code when it
// refuses the request. A failure that leaves no error code gives a nonzero
// code all the same.
std::int32_t LaunchAndWait(const std::wstring& file, const std::wstring& parameters);
