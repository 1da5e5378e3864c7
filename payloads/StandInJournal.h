#pragma once

#include <string>

// Appends one line for this run to C:\StandIn\journal.txt, creating the folder
// and the file when missing: the program's file name, its parameters, its
// working directory, the TEMP and PATH it was given, and the .NET profiler,
// compatibility and PowerShell module variables it was given (NAME=value,
// separated by '|'), UTF-8, separated by tabs and ended by a line feed. A run that cannot write its line still ends
// normally; the test sees it missing.
void AppendToJournal(const std::wstring& fileName, const std::wstring& parameters,
                     const std::wstring& workingDirectory);
