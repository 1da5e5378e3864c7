#pragma once

#include <cstdint>
#include <vector>

// Appends to entries (see EnvironmentEntries.h) the machine's own variables,
// as a process that runs for no user gets them, except those whose names the
// entries hold already: the values of the machine's environment key and the
// names Windows itself defines. Nothing comes from the user's environment or
// the launcher's own. Where userenv.dll cannot be loaded from the system
// folder alone (Windows 7 without KB2533623), appends nothing and prints a
// diagnostic line. Returns 0, or the failing call's code after printing its
// line.
std::int32_t AppendMachineVariables(std::vector<wchar_t>& entries);
