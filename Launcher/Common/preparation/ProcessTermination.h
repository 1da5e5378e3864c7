#pragma once

#include <cstdint>

// Ends every running process whose image name is listed in the build
// configuration. Returns the number of processes whose termination succeeded.
std::int32_t TerminateListedProcesses();
