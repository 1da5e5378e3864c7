#include "WaitingProcess.h"

#include "TestPaths.h"

HANDLE StartWaitingProcess(const std::wstring& imageName)
{
    static int copies = 0;
    // A folder of its own for each start: a copy an earlier test program
    // left running, or still mapped, is never overwritten.
    const std::wstring copyFolder =
        TemporaryFolder() + L"waiting-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++copies);
    RealOs.CreateDirectoryW(copyFolder.c_str(), nullptr);
    const std::wstring copy = copyFolder + L"\\" + imageName;
    CopyFileW(BuiltPayloadProgram(L"StandInWaitingProgram.exe").c_str(), copy.c_str(), FALSE);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    std::wstring commandLine = L"\"" + copy + L"\"";
    // Under load Wine now and then fails a start that works a moment later.
    for (int attempt = 0; !CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
             nullptr, &startup, &started);
         ++attempt) {
        if (attempt == 4) {
            return nullptr;
        }
        Sleep(250);
    }
    RealOs.CloseHandle(started.hThread);
    return started.hProcess;
}
