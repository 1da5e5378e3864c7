#include "InstallStages.h"

#include "InstallerLauncher.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <optional>
#include <string_view>

namespace {

struct Tracker {
    int Start = 0;
    // The call being looked at before it is made, if one is.
    const ObservedCall* Current = nullptr;
    HANDLE SupportLog = INVALID_HANDLE_VALUE;
    HKEY MachineEnvironment = nullptr;
    std::vector<StageMark> Marks;
    std::wstring Payload;
    // The mark a phase of its own interrupted, and the call that did: the
    // calls a looked-up entry makes while serving it are inside that phase.
    std::optional<StageMark> Interrupted;
    const ObservedCall* InterruptedBy = nullptr;
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
    const int next = tracker.Current != nullptr ? tracker.Current->Number : CallsCounted() + 1;
    const StageMark mark{next - tracker.Start, stage, phase};
    if (tracker.Marks.back().FirstCall == mark.FirstCall) {
        tracker.Marks.back() = mark;
    } else {
        tracker.Marks.push_back(mark);
    }
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

bool EndsWith(std::wstring_view text, std::wstring_view end)
{
    return text.size() >= end.size() && _wcsicmp(text.data() + text.size() - end.size(), end.data()) == 0;
}

// Whether the call about to be made is a phase of its own, after which the
// stage goes on where it was: the program's own module asked for, where every
// payload lies; the staging folder made under a new name until one can be,
// a failed attempt absorbed; a line written to the support log; what a step
// lets go of once it has read what it needed, a failure only leaving it held.
std::optional<ChildPhase> PhaseOfItsOwn(const ObservedCall& call)
{
    using T = OsCallTable;
    switch (call.Id) {
    case OsCallId::GetModuleHandleW:
        return std::get<0>(ArgumentsOf<&T::GetModuleHandleW>(call)) == nullptr ? ChildPhase::OwnModule
                                                                                : std::optional<ChildPhase>();
    case OsCallId::CreateDirectoryW:
        return std::wstring(std::get<0>(ArgumentsOf<&T::CreateDirectoryW>(call))).rfind(StagingRoot(), 0) == 0
                   ? ChildPhase::StagingFolder
                   : std::optional<ChildPhase>();
    case OsCallId::WriteFile:
        return std::get<0>(ArgumentsOf<&T::WriteFile>(call)) == tracker.SupportLog ? ChildPhase::Logging
                                                                                  : std::optional<ChildPhase>();
    case OsCallId::RegCloseKey:
        return std::get<0>(ArgumentsOf<&T::RegCloseKey>(call)) == tracker.MachineEnvironment
                   ? ChildPhase::Releasing
                   : std::optional<ChildPhase>();
    case OsCallId::FreeLibrary:
    case OsCallId::DestroyEnvironmentBlock:
        return ChildPhase::Releasing;
    default:
        return std::nullopt;
    }
}

// Marks what a call opens: a payload looked up; Windows Installer's mutex
// opened, which every start of it first looks at, the check lasting until
// the program is started; a wait, unless on that mutex; a folder opened to be
// deleted or renamed, a package folder level about to be moved aside.
void MarkOpenedBy(const ObservedCall& call)
{
    using T = OsCallTable;
    const ChildPhase phase = tracker.Marks.back().Phase;
    switch (call.Id) {
    case OsCallId::FindResourceW: {
        const auto& [module, name, type] = ArgumentsOf<&T::FindResourceW>(call);
        if (!IS_INTRESOURCE(name) && !IS_INTRESOURCE(type)) {
            PayloadLookedUp(name, type);
        }
        break;
    }
    case OsCallId::OpenMutexW:
        return MarkNextCall(CurrentStage(), ChildPhase::InstallerBusy);
    case OsCallId::CreateProcessW:
        return phase == ChildPhase::InstallerBusy ? MarkNextCall(CurrentStage(), ChildPhase::Staging) : void();
    case OsCallId::WaitForSingleObject:
        return phase != ChildPhase::InstallerBusy ? MarkNextCall(CurrentStage(), ChildPhase::Waiting) : void();
    case OsCallId::CreateFileW: {
        const auto& arguments = ArgumentsOf<&T::CreateFileW>(call);
        if ((std::get<1>(arguments) & DELETE) != 0 && (std::get<5>(arguments) & FILE_FLAG_BACKUP_SEMANTICS) != 0) {
            MarkNextCall(CurrentStage(), ChildPhase::MovingAside);
        }
        break;
    }
    default:
        break;
    }
}

// What a call leaves behind: a program's exit code read ends it; the support
// log and the machine environment's key are known by their handles.
void NoteAfter(const ObservedCall& call)
{
    using T = OsCallTable;
    if (call.Id == OsCallId::GetExitCodeProcess) {
        MarkNextCall(CurrentStage(), ChildPhase::Ended);
    } else if (call.Id == OsCallId::CreateFileW && EndsWith(std::get<0>(ArgumentsOf<&T::CreateFileW>(call)), L".log")) {
        tracker.SupportLog = ResultOf<&T::CreateFileW>(call);
    } else if (call.Id == OsCallId::RegOpenKeyExW && !call.Injected &&
               ResultOf<&T::RegOpenKeyExW>(call) == ERROR_SUCCESS) {
        const auto& [parent, path, options, access, key] = ArgumentsOf<&T::RegOpenKeyExW>(call);
        if (path != nullptr && EndsWith(path, L"Session Manager\\Environment")) {
            tracker.MachineEnvironment = *key;
        }
    }
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

InstallStages::InstallStages()
{
    tracker = Tracker{CallsCounted(), nullptr, INVALID_HANDLE_VALUE, nullptr, {{1, InstallStage::StartUp, ChildPhase::Staging}}, {}, {}, nullptr};
    // The sequence tells a step outside any call through the table, where an
    // allocation sweep counts allocations: with room for every mark of a run,
    // marking one allocates nothing.
    tracker.Marks.reserve(1 << 16);
    InstallStepObserver = &StepObserved;
}

InstallStages::~InstallStages()
{
    InstallStepObserver = nullptr;
}

std::optional<DWORD> InstallStages::Before(const ObservedCall& call)
{
    tracker.Current = &call;
    if (const std::optional<ChildPhase> phase = PhaseOfItsOwn(call); phase && !tracker.InterruptedBy) {
        tracker.Interrupted = tracker.Marks.back();
        tracker.InterruptedBy = &call;
        MarkNextCall(tracker.Interrupted->Stage, *phase);
    } else {
        MarkOpenedBy(call);
    }
    tracker.Current = nullptr;
    return std::nullopt;
}

void InstallStages::After(const ObservedCall& call)
{
    if (tracker.InterruptedBy == &call) {
        MarkNextCall(tracker.Interrupted->Stage, tracker.Interrupted->Phase);
        tracker.InterruptedBy = nullptr;
    }
    NoteAfter(call);
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
