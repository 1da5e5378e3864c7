// Stands for a run of the launcher that holds the run lock: owns the named
// mutex for a number of seconds, recording in C:\StandIn\lock-held.txt that
// it does, then lets it go.
//
// usage: RunLockHolder.exe NAME SECONDS
#include <windows.h>

#include <cwchar>
#include <fstream>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        return 2;
    }
    const HANDLE lock = CreateMutexW(nullptr, TRUE, argv[1]);
    if (lock == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        return 1;
    }
    std::ofstream(L"C:\\StandIn\\lock-held.txt") << "held\n";
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000);
    ReleaseMutex(lock);
    CloseHandle(lock);
    return 0;
}
