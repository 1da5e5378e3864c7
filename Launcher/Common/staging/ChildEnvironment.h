#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Fills block with the environment every child program gets, in the form
// CreateProcessW takes with CREATE_UNICODE_ENVIRONMENT: the machine's own
// variables (see AppendMachineVariables), with TMP and TEMP naming
// temporaryFolder (a folder of the run's that only administrators may write
// in), PATH holding only the system folders, and SystemRoot and windir naming
// the Windows folder. An elevated launcher inherits its user's environment,
// whose profiler, compatibility and module-path variables would make an
// elevated .NET or PowerShell child load the user's code; nothing of it is
// passed on. The variables set here come first, and a machine variable the
// system would take for one of theirs is left out. Returns 0, or the failing
// call's code after printing its line.
std::int32_t BuildChildEnvironment(const std::wstring& temporaryFolder, std::vector<wchar_t>& block);
