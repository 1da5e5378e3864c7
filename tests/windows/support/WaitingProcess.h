#pragma once

#include <windows.h>

#include <string>

// Copies the stand-in waiting program (built beside the tests, in the build's
// payloads folder) under this image name into a folder of its own, since file
// names are not case-sensitive, and starts it. Returns its process handle,
// which the caller closes, or null when it could not be started.
HANDLE StartWaitingProcess(const std::wstring& imageName);
