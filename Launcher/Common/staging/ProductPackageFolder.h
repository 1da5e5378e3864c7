#pragma once

#include <cstdint>
#include <string>

// Creates, with every missing level, the persistent folder for the driver
// package below the common application data folder, and sets folder to its
// path with a trailing backslash. Returns 0, or the failing call's code after
// printing its diagnostic line; folder is then left empty.
std::int32_t OpenProductPackageFolder(std::wstring& folder);
