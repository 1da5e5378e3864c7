#pragma once

#include <windows.h>

#include <string>

// The exit code a test chose for the program of this file name in
// C:\StandIn\exit-codes.txt, or 0. The list has UTF-8 lines
// "<file name>=<decimal exit code>"; names match whatever their case, the last
// line naming the program wins, so a test can append an override, and lines
// that do not parse are ignored. A missing or unreadable list chooses 0.
DWORD ChosenExitCode(const std::wstring& fileName);
