#include "SupportLog.h"

#include "LogRetention.h"
#include "SecretMasking.h"
#include "../DiagnosticLine.h"
#include "../platform/Handles.h"
#include "../staging/FailureReport.h"
#include "../staging/FolderSecurity.h"
#include "../staging/ProductPackageFolder.h"
#include "../staging/StagingFolder.h"
#include "../ResultCodes.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

constexpr std::size_t KeptLaunchers = 10;

struct OpenLog {
    FileHandle File;
    std::wstring Path;
    // The protected folder Windows Installer's logs go to, with its trailing
    // backslash; empty when there is none.
    std::wstring WindowsInstallerFolder;
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
void StartWriting(FileHandle file, const std::wstring& path, const std::wstring& windowsInstallerFolder)
{
    openLog.File = std::move(file);
    openLog.Path = path;
    openLog.WindowsInstallerFolder = windowsInstallerFolder;
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

// Starts writing to a new file in folder (with its trailing backslash).
std::int32_t CreateNewLog(const std::wstring& folder, const std::wstring& name)
{
    const std::wstring path = folder + name;
    FileHandle file(Os.CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, /*lpSecurityAttributes=*/nullptr,
        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, /*hTemplateFile=*/nullptr));
    if (!file.IsValid()) {
        return ReportLastError("CreateFile");
    }
    StartWriting(std::move(file), path, folder);
    return 0;
}

// Starts writing to a new file in a new folder of the run's own under
// Windows' temporary folder, which fallback makes and holds, and sets folder
// to it.
std::int32_t CreateLogApart(StagingFolder& fallback, const std::wstring& name, std::wstring& folder)
{
    if (const std::int32_t code = fallback.CreateForLogs(folder)) {
        return code;
    }
    if (const std::int32_t code = CreateNewLog(folder, name)) {
        fallback.Remove(folder);
        return code;
    }
    return 0;
}

// A log that cannot go where it should is never dropped without a word, on
// standard output, which a deployment agent keeps, and in the log itself.
void WarnOfFallback(const std::wstring& folder, std::int32_t reason)
{
    WriteDiagnosticLine(L"Logs written to " + folder + L" instead: the product's Logs folder could not be used (" +
            Decimal(reason) + L")",
        LogLevel::Warning);
}

// The folder of a full file path as the system's final path names it:
// without a trailing backslash, except at the root of a drive ("C:\\") or a
// share ("\\\\server\\share\\").
std::wstring FolderOf(const std::wstring& fullPath)
{
    const std::wstring folder = fullPath.substr(0, fullPath.find_last_of(L'\\'));
    const bool driveRoot = folder.size() == 2 && folder[1] == L':';
    const bool shareRoot =
        folder.compare(0, 2, L"\\\\") == 0 && std::count(folder.begin(), folder.end(), L'\\') == 3;
    return driveRoot || shareRoot ? folder + L"\\" : folder;
}

// Opens the named file as itself and empties it only once it is confirmed to
// be a file of its own, reached by its full path.
std::int32_t OpenNamedFile(const std::wstring& fullPath, FileHandle& log)
{
    FileHandle folder;
    // Held before the file is made: no file is made through a junction on
    // the way, not even an empty one.
    if (const std::int32_t code = HoldConfirmedFolder(FolderOf(fullPath), FILE_READ_ATTRIBUTES, "OpenLog", folder)) {
        return code;
    }
    FileHandle file(Os.CreateFileW(fullPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, /*lpSecurityAttributes=*/nullptr,
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
    if (const std::int32_t code = ConfirmFinalPath(file.Get(), fullPath, "OpenLog")) {
        return code;
    }
    if (!Os.SetEndOfFile(file.Get())) {
        return ReportLastError("SetEndOfFile");
    }
    log = std::move(file);
    return 0;
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

std::int32_t OpenDefaultSupportLog(ProductPackageFolder& folders, StagingFolder& fallback)
{
    const std::wstring name = DefaultLogName();
    std::wstring folder;
    std::int32_t reason = folders.OpenLogs(folder);
    if (reason == 0 && (reason = CreateNewLog(folder, name)) == 0) {
        KeepNewestLogs(folder);
        return 0;
    }
    std::wstring fallbackFolder;
    if (const std::int32_t code = CreateLogApart(fallback, name, fallbackFolder)) {
        return code;
    }
    WarnOfFallback(fallbackFolder, reason);
    return 0;
}

std::int32_t OpenSupportLogApart(StagingFolder& fallback)
{
    std::wstring folder;
    if (const std::int32_t code = CreateLogApart(fallback, DefaultLogName(), folder)) {
        return code;
    }
    WriteDiagnosticLine(L"Log written to " + folder + L": another run holds the run lock", LogLevel::Warning);
    return 0;
}

std::int32_t OpenSupportLogAt(const std::wstring& path, ProductPackageFolder& folders, StagingFolder& fallback)
{
    std::wstring fullPath;
    if (const std::int32_t code = MakeFullPath(path, fullPath)) {
        return code;
    }
    FileHandle file;
    if (const std::int32_t code = OpenNamedFile(fullPath, file)) {
        return code;
    }
    // The named folder may be one others can write in: Windows Installer,
    // which opens its logs by name, only ever gets a protected folder.
    std::wstring folder;
    if (const std::int32_t reason = folders.OpenLogs(folder)) {
        if (fallback.CreateForLogs(folder) == 0) {
            WarnOfFallback(folder, reason);
        }
    }
    StartWriting(std::move(file), fullPath, folder);
    return 0;
}

const std::wstring& SupportLogPath()
{
    return openLog.Path;
}

std::wstring WindowsInstallerLogPath(const std::wstring& suffix)
{
    if (!openLog.File.IsValid() || openLog.WindowsInstallerFolder.empty()) {
        return std::wstring();
    }
    const std::wstring name = openLog.Path.substr(openLog.Path.find_last_of(L"\\/") + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos) {
        return openLog.WindowsInstallerFolder + name + L"-" + suffix + L".log";
    }
    return openLog.WindowsInstallerFolder + name.substr(0, dot) + L"-" + suffix + name.substr(dot);
}

std::wstring WindowsInstallerLogArgument(const std::wstring& suffix)
{
    const std::wstring path = WindowsInstallerLogPath(suffix);
    if (path.empty()) {
        return path;
    }
    Log(LogLevel::Information, {L"Windows Installer log: ", path});
    return L" /l*v \"" + path + L"\"";
}

void CloseSupportLog()
{
    openLog.File.Close();
    openLog.Path.clear();
    openLog.WindowsInstallerFolder.clear();
    openLog.Pending.clear();
}
