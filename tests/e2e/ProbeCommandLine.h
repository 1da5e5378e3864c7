#pragma once

#include <string>

// The command line a probe runs, read from a UTF-8 file exactly as written,
// without the line ends that follow it.
std::wstring ReadCommandLine(const wchar_t* path);
