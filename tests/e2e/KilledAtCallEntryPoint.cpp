// The entry point of a test build of the launcher that ends itself, the way
// TerminateProcess from outside ends it (no unwinding, no cleanup, nothing
// flushed), just before its N-th call that changes the machine: a registry
// key created, a value written, a key deleted, a folder or file made, written,
// renamed or deleted, a program started or ended, a service notified. So a
// kill lands before any change of a run, not only between the steps an
// outside observer can see.
//
// LAUNCHER_KILL_AT_CALL=N picks the call (none when unset); every counted call
// is appended, "N name detail", to the file LAUNCHER_CALL_TRACE names, so an
// unfailed run tells how many there are and which is which. The detail is
// what the call acts on, and after a tab a log write's line or a started
// program's command line.
#include "framework/DllSearchHardening.h"
#include "framework/WinApp.h"
#include "platform/OsCalls.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// What the killed run's parent reads as its exit code.
constexpr UINT KilledExitCode = ERROR_PROCESS_ABORTED;

OsCallTable untouched;
int killAt = 0;
int counted = 0;
std::wstring tracePath;

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

// The file, folder or program a call acts on, where its arguments name one.
template <typename... Rest>
std::wstring Detail(LPCWSTR name, Rest...)
{
    return name != nullptr ? name : L"";
}
template <typename... Rest>
std::wstring Detail(HANDLE file, Rest...)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetFinalPathNameByHandleW(file, path, MAX_PATH, FILE_NAME_NORMALIZED);
    return length > 0 && length < MAX_PATH ? path : L"";
}
// A write to the log also tells its line, which names the step the run is in.
template <typename... Rest>
std::wstring Detail(HANDLE file, LPCVOID data, DWORD size, Rest...)
{
    const std::wstring path = Detail(file);
    if (path.size() < 4 || path.compare(path.size() - 4, 4, L".log") != 0) {
        return path;
    }
    const char* text = static_cast<const char*>(data);
    return path + L"\t" + std::wstring(text, std::find(text, text + size, '\r'));
}
// A program started also tells its command line, which names the product a
// removal is for.
template <typename... Rest>
std::wstring Detail(LPCWSTR program, LPWSTR commandLine, Rest...)
{
    return Detail(program) + L"\t" + (commandLine != nullptr ? commandLine : L"");
}
template <typename... Arguments>
std::wstring Detail(Arguments...)
{
    return L"";
}

void Trace(const char* name, const std::wstring& detail)
{
    if (tracePath.empty()) {
        return;
    }
    const std::wstring line = std::to_wstring(counted) + L" " + std::wstring(name, name + strlen(name)) + L" " +
        detail + L"\n";
    const HANDLE file = ::CreateFileW(tracePath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
}

// Counts the call and ends the process before it is made when its turn has come.
void Count(const char* name, const std::wstring& detail)
{
    ++counted;
    Trace(name, detail);
    if (counted == killAt) {
        ::TerminateProcess(::GetCurrentProcess(), KilledExitCode);
    }
}

template <auto Entry, const char* Name, typename Function>
struct CountedCall;

template <auto Entry, const char* Name, typename Result, typename... Arguments>
struct CountedCall<Entry, Name, Result(WINAPI*)(Arguments...)> {
    static Result WINAPI Call(Arguments... arguments)
    {
        Count(Name, Detail(arguments...));
        return (untouched.*Entry)(arguments...);
    }
};

#define COUNTED_CALLS(X)                                                                                       \
    X(RegCreateKeyExW) X(RegSetValueExW) X(CreateDirectoryW) X(CreateFileW) X(WriteFile) X(SetEndOfFile)       \
    X(SetFileInformationByHandle) X(DeleteFileW) X(RemoveDirectoryW) X(CreateProcessW) X(TerminateProcess)     \
    X(ControlService) X(NtDeleteKey)
#define CALL_NAME(name) constexpr char name##Name[] = #name;
COUNTED_CALLS(CALL_NAME)
#undef CALL_NAME

void ArmKillSwitch()
{
    untouched = Os;
    tracePath = Variable(L"LAUNCHER_CALL_TRACE");
    killAt = static_cast<int>(std::wcstol(Variable(L"LAUNCHER_KILL_AT_CALL").c_str(), nullptr, 10));
#define COUNT_CALL(name) Os.name = &CountedCall<&OsCallTable::name, name##Name, decltype(Os.name)>::Call;
    COUNTED_CALLS(COUNT_CALL)
#undef COUNT_CALL
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, LPWSTR /*commandLine*/, int showCommand)
{
    ArmKillSwitch();
    HardenDllSearch();
    return AfxWinMain(instance, showCommand);
}
