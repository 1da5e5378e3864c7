#pragma once

#include <string>

// What the stand-in knows about how it was started.

// The bare file name of this program's module, e.g. vcredist_x86.exe.
std::wstring OwnFileName();

// The command line after the program name and the blanks that follow it,
// exactly as the starting program wrote it.
std::wstring Parameters();

// The process's current working directory.
std::wstring WorkingDirectory();

// The value of the environment variable this program was given, or empty.
std::wstring EnvironmentValue(const wchar_t* name);
