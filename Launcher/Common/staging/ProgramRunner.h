#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Starts the program at this full path directly, never through the shell and
// its per-user associations and never found by a search: its command line is
// the quoted path and the parameters, it runs in workingFolder with the
// environment block (see BuildChildEnvironment), and it inherits no handle.
// Waits without a time limit for it to end. Returns the process's exit code
// unchanged; WaitFailure when the wait fails; the failing call's code when it cannot
// be started or its exit code cannot be read. A failure that leaves no error
// code gives a nonzero code all the same.
std::int32_t LaunchAndWait(const std::wstring& program, const std::wstring& parameters,
    const std::wstring& workingFolder, const std::vector<wchar_t>& environment);
