#include "InstallStages.h"

#include "TestPaths.h"

#include <cwchar>
#include <string>

namespace {

struct Tracker {
    OsCallTable Saved;
    HANDLE SupportLog = INVALID_HANDLE_VALUE;
    const OsCountdown* Countdown = nullptr;
    std::vector<StageMark> Marks;
    std::wstring Payload;
};
Tracker tracker;

InstallStage CurrentStage()
{
    return tracker.Marks.back().Stage;
}

// The call about to be made is the first of this stage and phase.
void MarkNextCall(InstallStage stage, ChildPhase phase)
{
    tracker.Marks.push_back({tracker.Countdown->Calls() + 1, stage, phase});
}

// The stage a payload lookup opens: each program's first lookup asks whether
// it is carried, its second stages it.
void PayloadLookedUp(const std::wstring& name, const std::wstring& type)
{
    const bool sameAsBefore = name == tracker.Payload;
    tracker.Payload = name;
    if (type == L"MSI") {
        return MarkNextCall(InstallStage::Package, ChildPhase::Staging);
    }
    if (sameAsBefore) {
        return MarkNextCall(CurrentStage(), ChildPhase::Staging);
    }
    if (name == L"VC2005_REDIST_32" || name == L"VC2005_REDIST_64") {
        return MarkNextCall(InstallStage::Prerequisite, ChildPhase::PresenceCheck);
    }
    // The sequence asks for "UNINST" once before the prompt, to know whether
    // to show it.
    if (name == L"UNINST" && CurrentStage() >= InstallStage::Prerequisite) {
        return MarkNextCall(InstallStage::FirstLegacyUninstaller, ChildPhase::PresenceCheck);
    }
    if (name == L"UNINST2") {
        return MarkNextCall(InstallStage::SecondLegacyUninstaller, ChildPhase::PresenceCheck);
    }
}

HRSRC WINAPI MarkingFindResource(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    OsCountdown::NextCallFrom(__builtin_return_address(0));
    if (!IS_INTRESOURCE(name) && !IS_INTRESOURCE(type)) {
        PayloadLookedUp(name, type);
    }
    return tracker.Saved.FindResourceW(module, name, type);
}

int WINAPI MarkingMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    OsCountdown::NextCallFrom(__builtin_return_address(0));
    MarkNextCall(InstallStage::Prompt, ChildPhase::Staging);
    const int answer = tracker.Saved.MessageBoxW(owner, text, caption, style);
    MarkNextCall(InstallStage::StartUp, ChildPhase::Staging);
    return answer;
}

HANDLE WINAPI MarkingSnapshot(DWORD flags, DWORD processId)
{
    OsCountdown::NextCallFrom(__builtin_return_address(0));
    MarkNextCall(InstallStage::Preparation, ChildPhase::Staging);
    return tracker.Saved.CreateToolhelp32Snapshot(flags, processId);
}

// Every start of Windows Installer first looks whether another installation
// holds it; the check lasts until the program is started.
HANDLE WINAPI MarkingOpenMutex(DWORD access, BOOL inherit, LPCWSTR name)
{
    OsCountdown::NextCallFrom(__builtin_return_address(0));
    MarkNextCall(CurrentStage(), ChildPhase::InstallerBusy);
    return tracker.Saved.OpenMutexW(access, inherit, name);
}

BOOL WINAPI MarkingCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags, LPVOID environment,
    LPCWSTR workingFolder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION child)
{
    OsCountdown::NextCallFrom(__builtin_return_address(0));
    if (tracker.Marks.back().Phase == ChildPhase::InstallerBusy) {
        MarkNextCall(CurrentStage(), ChildPhase::Staging);
    }
    return tracker.Saved.CreateProcessW(application, commandLine, processAttributes, threadAttributes,
        inheritHandles, flags, environment, workingFolder, startup, child);
}

// A wait on Windows Installer's mutex belongs to the busy check.
DWORD WINAPI MarkingWait(HANDLE handle, DWORD milliseconds)
{
    OsCountdown::NextCallFrom(__builtin_return_address(0));
    if (tracker.Marks.back().Phase != ChildPhase::InstallerBusy) {
        MarkNextCall(CurrentStage(), ChildPhase::Waiting);
    }
    return tracker.Saved.WaitForSingleObject(handle, milliseconds);
}

BOOL WINAPI MarkingExitCode(HANDLE process, LPDWORD exitCode)
{
    OsCountdown::NextCallFrom(__builtin_return_address(0));
    const BOOL read = tracker.Saved.GetExitCodeProcess(process, exitCode);
    MarkNextCall(CurrentStage(), ChildPhase::Ended);
    return read;
}

// The staging folder is made under a new name until one can be made: a
// failed attempt is absorbed.
BOOL WINAPI MarkingCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES security)
{
    OsCountdown::NextCallFrom(__builtin_return_address(0));
    const std::wstring root = StagingRoot();
    if (std::wstring(path).compare(0, root.size(), root) != 0) {
        return tracker.Saved.CreateDirectoryW(path, security);
    }
    const StageMark before = tracker.Marks.back();
    MarkNextCall(before.Stage, ChildPhase::StagingFolder);
    const BOOL created = tracker.Saved.CreateDirectoryW(path, security);
    MarkNextCall(before.Stage, before.Phase);
    return created;
}

// The query whether Windows is 64-bit, with the lookup it makes, and the
// version query.
template <auto Entry, typename Function>
struct MarkingDetection;

template <auto Entry, typename... Arguments>
struct MarkingDetection<Entry, BOOL(WINAPI*)(Arguments...)> {
    static BOOL WINAPI Call(Arguments... arguments)
    {
        OsCountdown::NextCallFrom(__builtin_return_address(0));
        MarkNextCall(InstallStage::Detection, ChildPhase::Staging);
        const BOOL answered = (tracker.Saved.*Entry)(arguments...);
        MarkNextCall(InstallStage::StartUp, ChildPhase::Staging);
        return answered;
    }
};

template <auto Entry>
void MarkDetection()
{
    using Function = std::remove_reference_t<decltype(Os.*Entry)>;
    Os.*Entry = &MarkingDetection<Entry, Function>::Call;
}

// The cleanup's first counted call looks at the staging folder by name; a
// folder opened to be deleted or renamed is a package folder level about to
// be moved aside.
HANDLE WINAPI MarkingCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
    DWORD disposition, DWORD flags, HANDLE templateFile)
{
    OsCountdown::NextCallFrom(__builtin_return_address(0));
    if (CurrentStage() == InstallStage::BackupRelease) {
        MarkNextCall(InstallStage::StagingCleanup, ChildPhase::Staging);
    } else if ((access & DELETE) != 0 && (flags & FILE_FLAG_BACKUP_SEMANTICS) != 0) {
        MarkNextCall(CurrentStage(), ChildPhase::MovingAside);
    }
    const HANDLE file = tracker.Saved.CreateFileW(path, access, share, security, disposition, flags, templateFile);
    const std::wstring name = path;
    if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".log") == 0) {
        tracker.SupportLog = file;
    }
    return file;
}

BOOL WINAPI MarkingWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    OsCountdown::NextCallFrom(__builtin_return_address(0));
    if (file != tracker.SupportLog) {
        return tracker.Saved.WriteFile(file, data, size, written, overlapped);
    }
    // The release is the step the log says started, whatever its first call.
    static const std::string releaseStarted = "step ReleaseDriverSettingsBackup started";
    const bool releaseStarts =
        std::string(static_cast<const char*>(data), size).find(releaseStarted) != std::string::npos;
    const StageMark before = tracker.Marks.back();
    MarkNextCall(before.Stage, ChildPhase::Logging);
    const BOOL wrote = tracker.Saved.WriteFile(file, data, size, written, overlapped);
    if (releaseStarts) {
        MarkNextCall(InstallStage::BackupRelease, ChildPhase::Staging);
    } else {
        MarkNextCall(before.Stage, before.Phase);
    }
    return wrote;
}

}  // namespace

const char* InstallStageName(InstallStage stage)
{
    static const char* const names[] = {"start-up", "detection", "prompt", "prerequisite", "first legacy uninstaller",
        "second legacy uninstaller", "preparation", "package", "backup release", "staging cleanup"};
    return names[static_cast<int>(stage)];
}

const char* ChildPhaseName(ChildPhase phase)
{
    static const char* const names[] = {"presence check", "staging", "waiting", "ended", "staging folder",
        "moving aside", "logging", "Windows Installer busy check"};
    return names[static_cast<int>(phase)];
}

InstallStages::InstallStages(const OsCountdown& countdown)
{
    tracker = Tracker{Os, INVALID_HANDLE_VALUE, &countdown, {{1, InstallStage::StartUp, ChildPhase::Staging}}, {}};
    Os.FindResourceW = &MarkingFindResource;
    Os.MessageBoxW = &MarkingMessageBox;
    Os.CreateToolhelp32Snapshot = &MarkingSnapshot;
    Os.WaitForSingleObject = &MarkingWait;
    Os.OpenMutexW = &MarkingOpenMutex;
    Os.CreateProcessW = &MarkingCreateProcess;
    Os.GetExitCodeProcess = &MarkingExitCode;
    MarkDetection<&OsCallTable::IsWow64Process>();
    MarkDetection<&OsCallTable::GetVersionExW>();
    Os.CreateFileW = &MarkingCreateFile;
    Os.CreateDirectoryW = &MarkingCreateDirectory;
    Os.WriteFile = &MarkingWriteFile;
}

InstallStages::~InstallStages()
{
    Os = tracker.Saved;
}

const std::vector<StageMark>& InstallStages::Marks() const
{
    return tracker.Marks;
}

StageMark StageOfCall(const std::vector<StageMark>& marks, int call)
{
    StageMark found = marks.front();
    for (const StageMark& mark : marks) {
        if (mark.FirstCall <= call) {
            found = mark;
        }
    }
    return found;
}
