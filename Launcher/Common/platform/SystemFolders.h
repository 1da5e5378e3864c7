#pragma once

#include <string>

// The system folder (system32) and the Windows folder, as the system names
// them, never as the user's environment does. Each returns false when the
// folder cannot be had; the last-error value is then the call's.
bool SystemFolder(std::wstring& folder);
bool WindowsFolder(std::wstring& folder);
