#pragma once

#include <windows.h>

#include <string>

// Where the stand-in and the tests meet: a fixed folder on the system drive,
// the same whichever prefix, user or working directory a run has.
inline constexpr const wchar_t* StandInFolder = L"C:\\StandIn";
inline constexpr const wchar_t* JournalPath = L"C:\\StandIn\\journal.txt";
inline constexpr const wchar_t* ExitCodesPath = L"C:\\StandIn\\exit-codes.txt";

// Opens a file that other runs and the test may have open at the same time,
// waiting briefly while it is locked. INVALID_HANDLE_VALUE when it cannot.
HANDLE OpenSharedFile(const wchar_t* path, DWORD access, DWORD disposition);

// Writes all of the bytes, waiting briefly while a range is locked.
bool WriteAll(HANDLE file, const void* bytes, DWORD size);

// Appends the line, its line feed included, to a file in the stand-in folder,
// creating both when missing. A file that stays locked loses the line.
void AppendLine(const wchar_t* path, const std::string& line);
