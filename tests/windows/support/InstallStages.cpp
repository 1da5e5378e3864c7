#include "InstallStages.h"

#include "InstallerLauncher.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <string_view>

namespace {

struct Tracker {
    OsCallTable Saved;
    HANDLE SupportLog = INVALID_HANDLE_VALUE;
    HKEY MachineEnvironment = nullptr;
    const OsCountdown* Countdown = nullptr;
    std::vector<StageMark> Marks;
    std::wstring Payload;
};
Tracker tracker;

InstallStage CurrentStage()
{
    return tracker.Marks.back().Stage;
}

// The call about to be made is the first of this stage and phase; a mark no
// call fell in gives way to it.
void MarkNextCall(InstallStage stage, ChildPhase phase)
{
    const StageMark mark{tracker.Countdown->Counted().Count + 1, stage, phase};
    if (tracker.Marks.back().FirstCall == mark.FirstCall) {
        tracker.Marks.back() = mark;
    } else {
        tracker.Marks.push_back(mark);
    }
}

// The call made inside is a phase of its own, after which the stage goes on
// where it was.
template <typename Call>
auto InPhase(ChildPhase phase, Call call)
{
    const StageMark before = tracker.Marks.back();
    MarkNextCall(before.Stage, phase);
    const auto result = call();
    MarkNextCall(before.Stage, before.Phase);
    return result;
}

InstallStage StageOfStep(const wchar_t* step)
{
    using Stage = InstallStage;
    static const std::pair<const wchar_t*, InstallStage> stages[] = {{L"DetectWow64", Stage::Detection},
        {L"DetectWindows10", Stage::Detection}, {L"TakeRunLock", Stage::RunLock},
        {L"ConfirmInstallation", Stage::Prompt},
        {L"InstallPrerequisites", Stage::Prerequisite}, {L"RunLegacyUninstallers", Stage::FirstLegacyUninstaller},
        {L"TerminateListedProcesses", Stage::Preparation}, {L"RemovePreviousProducts", Stage::Preparation},
        {L"NotifyDeviceMonitorService", Stage::Preparation}, {L"BackupDriverSettings", Stage::Preparation},
        {L"InstallMainPackage", Stage::Package}, {L"ReleaseDriverSettingsBackup", Stage::BackupRelease},
        {L"RemoveStagingDirectory", Stage::StagingCleanup}};
    for (const auto& [name, stage] : stages) {
        if (std::wcscmp(name, step) == 0) {
            return stage;
        }
    }
    ADD_FAILURE() << "no stage for the step " << std::wstring(step);
    return InstallStage::StartUp;
}

// Outside every step the run is starting up or ending.
void StepObserved(const wchar_t* step)
{
    tracker.Payload.clear();
    MarkNextCall(step != nullptr ? StageOfStep(step) : InstallStage::StartUp, ChildPhase::Staging);
}

// The phase a payload lookup opens: each program's first lookup in a step
// asks whether it is carried, its second stages it; a package is only
// staged. The second legacy uninstaller is a stage of its own.
void PayloadLookedUp(const std::wstring& name, const std::wstring& type)
{
    const bool sameAsBefore = name == tracker.Payload;
    tracker.Payload = name;
    if (type == L"MSI" || sameAsBefore) {
        return MarkNextCall(CurrentStage(), ChildPhase::Staging);
    }
    const InstallStage stage = name == L"UNINST2" ? InstallStage::SecondLegacyUninstaller : CurrentStage();
    MarkNextCall(stage, ChildPhase::PresenceCheck);
}

// The program's own module, where every payload lies: a failure leaves it
// null, which names the program all the same.
HMODULE WINAPI MarkingModuleHandle(LPCWSTR name)
{
    const InterposedCall call(__builtin_return_address(0));
    if (name != nullptr) {
        return tracker.Saved.GetModuleHandleW(name);
    }
    return InPhase(ChildPhase::OwnModule, [&] { return tracker.Saved.GetModuleHandleW(name); });
}

HRSRC WINAPI MarkingFindResource(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    const InterposedCall call(__builtin_return_address(0));
    if (!IS_INTRESOURCE(name) && !IS_INTRESOURCE(type)) {
        PayloadLookedUp(name, type);
    }
    return tracker.Saved.FindResourceW(module, name, type);
}

// Every start of Windows Installer first looks whether another installation
// holds it; the check lasts until the program is started.
HANDLE WINAPI MarkingOpenMutex(DWORD access, BOOL inherit, LPCWSTR name)
{
    const InterposedCall call(__builtin_return_address(0));
    MarkNextCall(CurrentStage(), ChildPhase::InstallerBusy);
    return tracker.Saved.OpenMutexW(access, inherit, name);
}

BOOL WINAPI MarkingCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags, LPVOID environment,
    LPCWSTR workingFolder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION child)
{
    const InterposedCall call(__builtin_return_address(0));
    if (tracker.Marks.back().Phase == ChildPhase::InstallerBusy) {
        MarkNextCall(CurrentStage(), ChildPhase::Staging);
    }
    return tracker.Saved.CreateProcessW(application, commandLine, processAttributes, threadAttributes,
        inheritHandles, flags, environment, workingFolder, startup, child);
}

// A wait on Windows Installer's mutex belongs to the busy check.
DWORD WINAPI MarkingWait(HANDLE handle, DWORD milliseconds)
{
    const InterposedCall call(__builtin_return_address(0));
    if (tracker.Marks.back().Phase != ChildPhase::InstallerBusy) {
        MarkNextCall(CurrentStage(), ChildPhase::Waiting);
    }
    return tracker.Saved.WaitForSingleObject(handle, milliseconds);
}

BOOL WINAPI MarkingExitCode(HANDLE process, LPDWORD exitCode)
{
    const InterposedCall call(__builtin_return_address(0));
    const BOOL read = tracker.Saved.GetExitCodeProcess(process, exitCode);
    MarkNextCall(CurrentStage(), ChildPhase::Ended);
    return read;
}

// The staging folder is made under a new name until one can be made: a
// failed attempt is absorbed.
BOOL WINAPI MarkingCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES security)
{
    const InterposedCall call(__builtin_return_address(0));
    const std::wstring root = StagingRoot();
    if (std::wstring(path).compare(0, root.size(), root) != 0) {
        return tracker.Saved.CreateDirectoryW(path, security);
    }
    return InPhase(ChildPhase::StagingFolder, [&] { return tracker.Saved.CreateDirectoryW(path, security); });
}

// A folder opened to be deleted or renamed is a package folder level about
// to be moved aside.
HANDLE WINAPI MarkingCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
    DWORD disposition, DWORD flags, HANDLE templateFile)
{
    const InterposedCall call(__builtin_return_address(0));
    if ((access & DELETE) != 0 && (flags & FILE_FLAG_BACKUP_SEMANTICS) != 0) {
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
    const InterposedCall call(__builtin_return_address(0));
    if (file != tracker.SupportLog) {
        return tracker.Saved.WriteFile(file, data, size, written, overlapped);
    }
    return InPhase(ChildPhase::Logging, [&] { return tracker.Saved.WriteFile(file, data, size, written, overlapped); });
}

// What a step let go of once it has read what it needed: a failure only
// leaves it held.
BOOL WINAPI MarkingFreeLibrary(HMODULE module)
{
    const InterposedCall call(__builtin_return_address(0));
    return InPhase(ChildPhase::Releasing, [&] { return tracker.Saved.FreeLibrary(module); });
}

BOOL WINAPI MarkingDestroyEnvironmentBlock(LPVOID block)
{
    const InterposedCall call(__builtin_return_address(0));
    return InPhase(ChildPhase::Releasing, [&] { return tracker.Saved.DestroyEnvironmentBlock(block); });
}

LSTATUS WINAPI MarkingRegOpenKey(HKEY parent, LPCWSTR path, DWORD options, REGSAM access, PHKEY key)
{
    const InterposedCall call(__builtin_return_address(0));
    const LSTATUS opened = tracker.Saved.RegOpenKeyExW(parent, path, options, access, key);
    constexpr std::wstring_view environment = L"Session Manager\\Environment";
    const std::wstring_view name = path != nullptr ? path : L"";
    if (opened == ERROR_SUCCESS && name.size() >= environment.size() &&
        name.substr(name.size() - environment.size()) == environment) {
        tracker.MachineEnvironment = *key;
    }
    return opened;
}

LSTATUS WINAPI MarkingRegCloseKey(HKEY key)
{
    const InterposedCall call(__builtin_return_address(0));
    if (key != tracker.MachineEnvironment) {
        return tracker.Saved.RegCloseKey(key);
    }
    return InPhase(ChildPhase::Releasing, [&] { return tracker.Saved.RegCloseKey(key); });
}

}  // namespace

const char* InstallStageName(InstallStage stage)
{
    static const char* const names[] = {"start-up", "detection", "run lock", "prompt", "prerequisite", "first legacy uninstaller",
        "second legacy uninstaller", "preparation", "package", "backup release", "staging cleanup"};
    return names[static_cast<int>(stage)];
}

const char* ChildPhaseName(ChildPhase phase)
{
    static const char* const names[] = {"presence check", "staging", "waiting", "ended", "staging folder",
        "moving aside", "logging", "Windows Installer busy check", "own module", "releasing"};
    return names[static_cast<int>(phase)];
}

InstallStages::InstallStages(const OsCountdown& countdown)
{
    tracker = Tracker{Os, INVALID_HANDLE_VALUE, nullptr, &countdown, {{1, InstallStage::StartUp, ChildPhase::Staging}}, {}};
    // The sequence tells a step outside any call through the table, where an
    // allocation sweep counts allocations: with room for every mark of a run,
    // marking one allocates nothing.
    tracker.Marks.reserve(1 << 16);
    InstallStepObserver = &StepObserved;
    Os.GetModuleHandleW = &MarkingModuleHandle;
    Os.FindResourceW = &MarkingFindResource;
    Os.WaitForSingleObject = &MarkingWait;
    Os.OpenMutexW = &MarkingOpenMutex;
    Os.CreateProcessW = &MarkingCreateProcess;
    Os.GetExitCodeProcess = &MarkingExitCode;
    Os.CreateFileW = &MarkingCreateFile;
    Os.CreateDirectoryW = &MarkingCreateDirectory;
    Os.WriteFile = &MarkingWriteFile;
    Os.FreeLibrary = &MarkingFreeLibrary;
    Os.DestroyEnvironmentBlock = &MarkingDestroyEnvironmentBlock;
    Os.RegOpenKeyExW = &MarkingRegOpenKey;
    Os.RegCloseKey = &MarkingRegCloseKey;
}

InstallStages::~InstallStages()
{
    InstallStepObserver = nullptr;
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
