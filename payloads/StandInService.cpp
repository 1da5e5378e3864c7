// A stand-in for the driver's device-monitor service: it runs until stopped
// and records every control code it receives, one line each, in
// C:\StandIn\service-journal.txt, so a test can see what the launcher sent.
#include "StandInFiles.h"

#include <windows.h>

#include <string>

namespace {

constexpr const wchar_t* ServiceJournalPath = L"C:\\StandIn\\service-journal.txt";

SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status = {};
HANDLE stopped = nullptr;

void RecordControl(DWORD control)
{
    AppendLine(ServiceJournalPath, "control " + std::to_string(control) + "\n");
}

void Report(DWORD state)
{
    status.dwCurrentState = state;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*)
{
    RecordControl(control);
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(stopped);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    statusHandle = RegisterServiceCtrlHandlerExW(L"TAVRINAudioDevMon", &Handler, nullptr);
    if (statusHandle == nullptr) {
        return;
    }
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwControlsAccepted = SERVICE_ACCEPT_STOP;
    stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING);
    WaitForSingleObject(stopped, INFINITE);
    Report(SERVICE_STOPPED);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t name[] = L"TAVRINAudioDevMon";
    const SERVICE_TABLE_ENTRYW services[] = {{name, &ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(services) ? 0 : 1;
}
