#include "SupportLog.h"

#include "LogRetention.h"
#include "SecretMasking.h"
#include "../platform/Handles.h"
#include "../staging/FailureReport.h"
#include "../staging/ProductPackageFolder.h"
#include "../ResultCodes.h"

#include <vector>

namespace {

constexpr std::size_t KeptLaunchers = 10;

struct OpenLog {
    FileHandle File;
    std::wstring Path;
    // What was logged before the file opened, written first.
    std::vector<std::string> Pending;
};
OpenLog openLog;

void WriteLine(const std::string& line)
{
    DWORD written = 0;
    Os.WriteFile(openLog.File.Get(), line.data(), static_cast<DWORD>(line.size()), &written, /*lpOverlapped=*/nullptr);
}

// The file is the log from now on; what was kept in memory goes first.
void StartWriting(FileHandle file, const std::wstring& path)
{
    openLog.File = std::move(file);
    openLog.Path = path;
    for (const std::string& line : openLog.Pending) {
        WriteLine(line);
    }
    openLog.Pending.clear();
}

std::wstring DefaultLogName()
{
    SYSTEMTIME now;
    Os.GetLocalTime(&now);
    return L"InstallerLauncher-" + Decimal(now.wYear, 4) + Decimal(now.wMonth, 2) + Decimal(now.wDay, 2) + L"-" +
        Decimal(now.wHour, 2) + Decimal(now.wMinute, 2) + Decimal(now.wSecond, 2) + L"-" +
        Decimal(Os.GetCurrentProcessId()) + L".log";
}

// The folder is held and only administrators write in it: its names can be
// trusted to be what they say.
void KeepNewestLogs(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    FindHandle search(Os.FindFirstFileW((folder + L"InstallerLauncher-*.log").c_str(), &entry));
    if (!search.IsValid()) {
        return;
    }
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names.emplace_back(entry.cFileName);
        }
    } while (Os.FindNextFileW(search.Get(), &entry));
    search.Close();
    for (const std::wstring& name : LogsToDelete(names, KeptLaunchers)) {
        Os.DeleteFileW((folder + name).c_str());
    }
}

}  // namespace

void Log(LogLevel level, const std::wstring& message)
{
    SYSTEMTIME now;
    Os.GetLocalTime(&now);
    const LogTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    const std::string line =
        FormatLogLine(time, Os.GetCurrentProcessId(), Os.GetCurrentThreadId(), level, MaskSecrets(message));
    if (openLog.File.IsValid()) {
        WriteLine(line);
    } else {
        openLog.Pending.push_back(line);
    }
}

void Log(LogLevel level, std::initializer_list<std::wstring_view> pieces)
{
    std::wstring message;
    for (const std::wstring_view piece : pieces) {
        message.append(piece);
    }
    Log(level, message);
}

std::int32_t OpenDefaultSupportLog(ProductPackageFolder& folders)
{
    std::wstring folder;
    if (const std::int32_t code = folders.OpenLogs(folder)) {
        return code;
    }
    const std::wstring path = folder + DefaultLogName();
    FileHandle file(Os.CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, /*lpSecurityAttributes=*/nullptr,
        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, /*hTemplateFile=*/nullptr));
    if (!file.IsValid()) {
        return ReportLastError("CreateFile");
    }
    StartWriting(std::move(file), path);
    KeepNewestLogs(folder);
    return 0;
}

std::int32_t OpenSupportLogAt(const std::wstring& path)
{
    // Opened as itself: a link is seen, not followed, and nothing is
    // changed before the checks.
    FileHandle file(Os.CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, /*lpSecurityAttributes=*/nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr));
    if (!file.IsValid()) {
        return ReportLastError("CreateFile");
    }
    BY_HANDLE_FILE_INFORMATION opened;
    if (!Os.GetFileInformationByHandle(file.Get(), &opened)) {
        return ReportLastError("GetFileInformationByHandle");
    }
    if ((opened.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return ReportFailure("OpenLog", ReparsePointRefused);
    }
    if (opened.nNumberOfLinks != 1) {
        return ReportFailure("OpenLog", ERROR_FILE_INVALID);
    }
    if (!Os.SetEndOfFile(file.Get())) {
        return ReportLastError("SetEndOfFile");
    }
    StartWriting(std::move(file), path);
    return 0;
}

const std::wstring& SupportLogPath()
{
    return openLog.Path;
}

std::wstring WindowsInstallerLogPath(const std::wstring& suffix)
{
    if (!openLog.File.IsValid()) {
        return std::wstring();
    }
    const std::wstring& path = openLog.Path;
    const size_t dot = path.find_last_of(L'.');
    const size_t separator = path.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (separator != std::wstring::npos && dot < separator)) {
        return path + L"-" + suffix + L".log";
    }
    return path.substr(0, dot) + L"-" + suffix + path.substr(dot);
}

std::wstring WindowsInstallerLogArgument(const std::wstring& suffix)
{
    const std::wstring path = WindowsInstallerLogPath(suffix);
    return path.empty() ? path : L" /l*v \"" + path + L"\"";
}

void CloseSupportLog()
{
    openLog.File.Close();
    openLog.Path.clear();
    openLog.Pending.clear();
}
