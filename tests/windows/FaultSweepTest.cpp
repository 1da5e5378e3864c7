// Fails every operating-system call of a whole install run in turn, then every
// call site reached only on an error path. Whatever fails, the run ends as
// the exit-code rules say for the step that failed: it never reports success
// without the package this Windows needs written in full and handed to
// Windows Installer, it leaves no handle of any kind open, no staging folder
// and no settings backup behind.
#include "InstallerLauncher.h"
#include "ResultCodes.h"
#include "staging/MainPackageSelection.h"
#include "support/AllocationCountdown.h"
#include "support/EveryMechanism.h"
#include "support/HandleLedger.h"
#include "support/InstallStages.h"
#include "support/OsCountdown.h"
#include "support/PrefixExpectations.h"
#include "support/RegistryTreeContents.h"
#include "support/ScriptedChildren.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

int WINAPI AgreeingMessageBox(HWND, LPCWSTR, LPCWSTR, UINT)
{
    return IDYES;
}

// The staging folders: GUID-named folders under the staging root.
std::set<std::wstring> StagingFolders()
{
    std::set<std::wstring> folders;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(StagingRoot(), error)) {
        const std::wstring name = entry.path().filename().wstring();
        if (entry.is_directory() && name.size() == 36 && name[8] == L'-' && name[13] == L'-' && name[23] == L'-') {
            folders.insert(entry.path().wstring());
        }
    }
    return folders;
}

// The package this Windows needs, from what the prefix is, never from the
// launcher's own detection.
std::string PackageForThisWindows()
{
    const std::wstring package = MainPackageResource(PrefixIs("EXPECT_64BIT_WINDOWS"), PrefixIs("EXPECT_WINDOWS_10"));
    return "package " + std::string(package.begin(), package.end()) + "\n";
}

// Whether a GUID-named folder begins at position: x a hexadecimal digit.
bool GuidFolderAt(const std::wstring& text, std::size_t position)
{
    const std::wstring shape = L"\\xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx";
    return text.size() >= position + shape.size() &&
           std::equal(shape.begin(), shape.end(), text.begin() + position,
               [](wchar_t s, wchar_t c) { return s == L'x' ? std::iswxdigit(c) != 0 : c == s; });
}

// The text with the staging folder's GUID name, new in each run, as "*",
// and without the package's log option, whose name holds the run's start
// time and which comes and goes with the run's own log.
std::wstring WithoutRunNames(std::wstring text)
{
    const std::size_t option = text.find(L" /l*v \"");
    const std::size_t end = option == std::wstring::npos ? option : text.find(L'"', option + 7);
    if (end != std::wstring::npos) {
        text.erase(option, end + 1 - option);
    }
    for (std::size_t at = text.find(L'\\'); at != std::wstring::npos; at = text.find(L'\\', at + 1)) {
        if (GuidFolderAt(text, at)) {
            text.replace(at + 1, 36, L"*");
        }
    }
    return text;
}

struct RunResult {
    int ExitCode;
    bool PackageHandedOn;
    CountedCalls Counted;
    std::vector<StageMark> Marks;
    std::map<HandleKind, int> OpenHandles;
    int OpenCount;
    std::map<HandleKind, int> Opened;
    std::vector<std::string> Mismatches;
    std::vector<std::wstring> Children;
    // Each program started, as "<file> <parameters>" from "<working folder>".
    std::vector<std::wstring> Started;
    bool StagingFolderLeft;
    bool BackupLeft;
    int Allocations;
    int AllocationFailedAfterCall;
    bool Escaped;
};

// Fails these calls and allocation failAllocationAt of the run (0: none).
RunResult RunInstall(const std::vector<FailurePoint>& failures, const wchar_t* arguments, int failAllocationAt = 0)
{
    RealOs.DeleteFileW(PackageFilePath().c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, SettingsBackupKeyPath());
    RemoveSupportLogs();
    const std::set<std::wstring> foldersBefore = StagingFolders();
    ScriptedChildren children;
    OsOverride<&OsCallTable::MessageBoxW> messageBox(&AgreeingMessageBox);
    CInstallerLauncher launcher;
    launcher.m_lpCmdLine = arguments;
    RunResult result{};
    {
        HandleLedger ledger;
        OsCountdown countdown(failures);
        InstallStages stages;
        testing::internal::CaptureStdout();
        {
            AllocationCountdown allocations(failAllocationAt);
            try {
                launcher.InitInstance();
            } catch (...) {
                result.Escaped = true;
            }
            result.Allocations = allocations.Allocations();
            result.AllocationFailedAfterCall = allocations.FailedAfterCall();
        }
        testing::internal::GetCapturedStdout();
        result.Counted = countdown.Counted();
        result.Marks = stages.Marks();
        result.OpenHandles = ledger.OpenByKind();
        result.OpenCount = ledger.OpenCount();
        result.Opened = ledger.OpenedByKind();
        result.Mismatches = ledger.Mismatches();
        ledger.CloseLeftovers();
    }
    result.ExitCode = launcher.ExitInstance();
    for (const ScriptedChildren::Request& request : children.Requests) {
        result.PackageHandedOn |= request.Parameters.find(PackageFilePath()) != std::wstring::npos;
        result.Started.push_back(
            WithoutRunNames(request.File + L" " + request.Parameters + L" from " + request.WorkingFolder));
    }
    result.Children = children.FileNames();
    std::error_code error;
    for (const std::wstring& folder : StagingFolders()) {
        if (foldersBefore.count(folder) == 0) {
            result.StagingFolderLeft = true;
            std::filesystem::remove_all(folder, error);
        }
    }
    result.BackupLeft = KeyExists(SettingsBackupKeyPath());
    return result;
}

// How a run ends when one call fails, by where the call falls: it goes on
// as if nothing had failed, it stops as declined, or the step's result is the
// failed call's own code.
enum class Outcome { GoesOn, Declined, FailureCode };

struct OutcomeRule {
    InstallStage Stage;
    Outcome AtPresenceCheck;
    Outcome WhileStaging;
    Outcome WhileWaiting;
    Outcome OnceEnded;
};

// A payload that cannot be found counts as not carried, and prompt texts
// that cannot be loaded as none; the handles of a program that has ended are
// let go silently; the first legacy uninstaller's result gives way to the
// second's; the steps from the preparation on, other than the package,
// report nothing that changes how the run ends.
const OutcomeRule OutcomeRules[] = {
    {InstallStage::StartUp, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn},
    {InstallStage::Detection, Outcome::FailureCode, Outcome::FailureCode, Outcome::FailureCode,
        Outcome::FailureCode},
    {InstallStage::RunLock, Outcome::FailureCode, Outcome::FailureCode, Outcome::FailureCode,
        Outcome::FailureCode},
    {InstallStage::Prompt, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn},
    {InstallStage::Prerequisite, Outcome::GoesOn, Outcome::FailureCode, Outcome::FailureCode, Outcome::GoesOn},
    {InstallStage::FirstLegacyUninstaller, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn},
    {InstallStage::SecondLegacyUninstaller, Outcome::GoesOn, Outcome::FailureCode, Outcome::FailureCode,
        Outcome::GoesOn},
    {InstallStage::Preparation, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn},
    {InstallStage::Package, Outcome::GoesOn, Outcome::FailureCode, Outcome::FailureCode, Outcome::GoesOn},
    {InstallStage::BackupRelease, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn},
    {InstallStage::StagingCleanup, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn, Outcome::GoesOn},
};

// Calls whose failure the staging folder's creation absorbs: a GUID that
// cannot be made or formatted, like a directory that cannot be made, is
// tried again under a new name, and a GUID text that cannot be freed is only
// memory.
bool AbsorbedWhileStaging(const std::string& failed)
{
    static const std::set<std::string> absorbed = {"UuidCreate", "UuidToStringW", "RpcStringFreeW"};
    return absorbed.count(failed) != 0;
}

// The code a step reports for a call failed with this code: the call's own,
// as the call's kind of failure hands it on.
std::int32_t FailedCallCode(OsFailureKind kind, DWORD error)
{
    switch (kind) {
    case OsFailureKind::Hresult:
        return HRESULT_FROM_WIN32(error);
    case OsFailureKind::WaitFailed:
        return WaitFailure;
    default:
        return static_cast<std::int32_t>(error);
    }
}

Outcome OutcomeOf(const StageMark& mark, const std::string& failed)
{
    // A prompt that cannot be shown is not agreed to.
    if (mark.Stage == InstallStage::Prompt && failed == "MessageBoxW") {
        return Outcome::Declined;
    }
    const OutcomeRule& rule = OutcomeRules[static_cast<int>(mark.Stage)];
    switch (mark.Phase) {
    case ChildPhase::PresenceCheck:
        return rule.AtPresenceCheck;
    case ChildPhase::Staging:
        return AbsorbedWhileStaging(failed) ? Outcome::GoesOn : rule.WhileStaging;
    case ChildPhase::StagingFolder:
    case ChildPhase::Logging:
    case ChildPhase::OwnModule:
    case ChildPhase::Releasing:
        return Outcome::GoesOn;
    case ChildPhase::MovingAside:
        // The name it gets is made new; only its text's memory can be lost.
        return failed == "RpcStringFreeW" ? Outcome::GoesOn : rule.WhileStaging;
    case ChildPhase::InstallerBusy:
        // Windows Installer is started all the same: when it is busy, it
        // answers so itself, and is started again.
        return Outcome::GoesOn;
    case ChildPhase::Waiting:
        return rule.WhileWaiting;
    case ChildPhase::Ended:
        break;
    }
    return rule.OnceEnded;
}

std::int32_t ExpectedExitCode(const RunResult& run, int failAt)
{
    const StageMark mark = StageOfCall(run.Marks, failAt);
    // Every call of the run lock, its wait included, ends the run with its
    // own last-error code: no child's wait has failed.
    if (mark.Stage == InstallStage::RunLock) {
        return static_cast<std::int32_t>(run.Counted.FirstFailedCode);
    }
    switch (OutcomeOf(mark, run.Counted.FirstFailed)) {
    case Outcome::GoesOn:
        return 0;
    case Outcome::Declined:
        return 1602;
    case Outcome::FailureCode:
        break;
    }
    return FailedCallCode(run.Counted.FailedKind, run.Counted.FirstFailedCode);
}

const std::set<std::string> CloseCalls = {
    "CloseHandle", "FindClose", "RegCloseKey", "CloseServiceHandle", "RpcStringFreeW"};

void ExpectEveryHandleClosed(const RunResult& run)
{
    EXPECT_TRUE(run.Mismatches.empty()) << run.Mismatches.front();
    // A close that failed leaves its own handle open; nothing else can.
    int allowed = 0;
    for (const int number : run.Counted.Failed) {
        allowed += static_cast<int>(CloseCalls.count(run.Counted.Sites[number - 1].Call));
    }
    EXPECT_LE(run.OpenCount, allowed) << "left open: " << DescribeHandles(run.OpenHandles);
}

// A failed call that leads to the wrong package would be a failure reported
// as success.
void ExpectNoSuccessWithoutThePackage(const RunResult& run)
{
    if (run.ExitCode == 0) {
        EXPECT_TRUE(run.PackageHandedOn);
        EXPECT_EQ(PackageForThisWindows(), ReadWholeFile(PackageFilePath()));
    }
}

void ExpectOutcome(const RunResult& run, int failAt)
{
    const StageMark mark = StageOfCall(run.Marks, failAt);
    SCOPED_TRACE(std::string("in ") + InstallStageName(mark.Stage) + ", " + ChildPhaseName(mark.Phase));
    // A close that failed leaves its folder open without delete sharing, so
    // the package step, which must move that folder aside, meets it (a
    // close never fails on a handle the run holds, outside this sweep).
    const bool heldByAFailedClose =
        run.Counted.FirstFailed == "CloseHandle" && run.ExitCode == ERROR_SHARING_VIOLATION;
    if (!heldByAFailedClose) {
        EXPECT_EQ(ExpectedExitCode(run, failAt), run.ExitCode);
    }
    ExpectNoSuccessWithoutThePackage(run);
    // A staged file whose close failed stays open, so it and its folder stay;
    // so does what the failing step itself could not remove.
    if (mark.Stage != InstallStage::StagingCleanup && CloseCalls.count(run.Counted.FirstFailed) == 0) {
        EXPECT_FALSE(run.StagingFolderLeft);
    }
    if (mark.Stage != InstallStage::BackupRelease) {
        EXPECT_FALSE(run.BackupLeft);
    }
}

// Whether every program of part was started, in this order, in whole.
bool StartedWithin(const std::vector<std::wstring>& part, const std::vector<std::wstring>& whole)
{
    auto next = whole.begin();
    for (const std::wstring& started : part) {
        next = std::find(next, whole.end(), started);
        if (next++ == whole.end()) {
            return false;
        }
    }
    return true;
}

// A run that ends with 0 did the unfailed run's work: it started the same
// programs with the same command lines in the same order. Where a step goes
// on from what failed in it, its program may be missing, nothing else: a
// payload whose presence check failed counts as not carried; the first legacy
// uninstaller gives way to the second; the preparation's steps report
// nothing that changes how the run ends.
bool GoesOnWithoutItsProgram(const StageMark& mark)
{
    return mark.Phase == ChildPhase::PresenceCheck || mark.Stage == InstallStage::FirstLegacyUninstaller ||
           mark.Stage == InstallStage::Preparation;
}

void ExpectTheUnfailedWork(const RunResult& run, const RunResult& unfailed, bool stepGoesOn)
{
    if (run.ExitCode != 0) {
        return;
    }
    if (stepGoesOn) {
        EXPECT_TRUE(StartedWithin(run.Started, unfailed.Started)) << "not started in the unfailed run";
    } else {
        EXPECT_EQ(unfailed.Started, run.Started);
    }
}

// The calls reached by the unfailed runs of every sweep in this program.
std::set<std::string> reachedCalls;
// Every call site the runs of these sweeps reached, and whether one failed it.
std::map<CallSite, bool> sitesFailed;

// How to reach and fail each site not failed yet: the failures of the run
// that reached it, and from its call on, every call of its entry.
using SitesToFail = std::map<CallSite, std::vector<FailurePoint>>;

void NoteSites(const RunResult& run, const std::vector<FailurePoint>& failures, SitesToFail& toFail)
{
    for (const int number : run.Counted.Failed) {
        sitesFailed[run.Counted.Sites[number - 1]] = true;
    }
    for (std::size_t index = 0; index < run.Counted.Sites.size(); ++index) {
        const CallSite& site = run.Counted.Sites[index];
        if (!sitesFailed[site] && toFail.count(site) == 0) {
            toFail[site] = failures;
            toFail[site].push_back({static_cast<int>(index) + 1, FailureSpan::FromThenOn});
        }
    }
}

// Sweeps every call of a run with these arguments; beforeEachRun puts back
// what a run may have used up on the machine. Returns the unfailed run.
template <typename BeforeEachRun>
RunResult SweepEveryCall(const wchar_t* arguments, BeforeEachRun beforeEachRun)
{
    beforeEachRun();
    const RunResult unfailed = RunInstall({}, arguments);
    EXPECT_EQ(0, unfailed.ExitCode);
    EXPECT_TRUE(unfailed.PackageHandedOn);
    ExpectEveryHandleClosed(unfailed);
    reachedCalls.insert(unfailed.Counted.Reached.begin(), unfailed.Counted.Reached.end());
    const int calls = unfailed.Counted.Count;
    EXPECT_GT(calls, 10);
    testing::Test::RecordProperty("SweptCalls", calls);
    SitesToFail toFail;
    for (int failAt = 1; failAt <= calls; ++failAt) {
        beforeEachRun();
        const std::vector<FailurePoint> failures = {{failAt, FailureSpan::Once}};
        const RunResult run = RunInstall(failures, arguments);
        SCOPED_TRACE("failing call " + std::to_string(failAt) + ", " + run.Counted.FirstFailed);
        ExpectEveryHandleClosed(run);
        ExpectOutcome(run, failAt);
        ExpectTheUnfailedWork(run, unfailed, GoesOnWithoutItsProgram(StageOfCall(run.Marks, failAt)));
        NoteSites(run, failures, toFail);
    }
    // The sites reached only on error paths, each tried once.
    std::set<CallSite> tried;
    while (!toFail.empty()) {
        const auto [site, failures] = *toFail.begin();
        toFail.erase(toFail.begin());
        if (sitesFailed[site] || !tried.insert(site).second) {
            continue;
        }
        beforeEachRun();
        const RunResult run = RunInstall(failures, arguments);
        SCOPED_TRACE("failing " + site.Call + " from call " + std::to_string(failures.back().Call) + " on");
        ExpectEveryHandleClosed(run);
        ExpectNoSuccessWithoutThePackage(run);
        NoteSites(run, failures, toFail);
    }
    std::cout << calls << " calls swept, then " << tried.size() << " sites reached only on error paths\n";
    return unfailed;
}

const wchar_t* const MsiArguments = L"-msiargs \"/i $MSIPATH /qn\"";

class EveryMechanismSweep : public testing::TestWithParam<const wchar_t*> {};

TEST_P(EveryMechanismSweep, EachFailedCallEndsTheRunAsItsStepSays)
{
    EveryMechanism machine;
    ASSERT_TRUE(machine.ServiceRunning());
    const RunResult unfailed = SweepEveryCall(GetParam(), [&] {
        ASSERT_TRUE(machine.KeepListedProcessRunning()) << "error " << GetLastError();
        machine.LeaveAUsersProductFolder();
    });
    // Every mechanism had work to do in the unfailed run.
    const bool is64 = PrefixIs("EXPECT_64BIT_WINDOWS");
    std::vector<std::wstring> expected = {L"vcredist_x86.exe"};
    if (is64) {
        expected.push_back(L"vcredist_x64.exe");
    }
    for (const wchar_t* child : {L"vq_isu.exe", L"vq_isu2.exe", L"msiexec.exe", L"msiexec.exe"}) {
        expected.push_back(child);
    }
    EXPECT_EQ(expected, unfailed.Children);
    for (const HandleKind kind : {HandleKind::RegistryKey, HandleKind::ServiceManager, HandleKind::Service,
             HandleKind::Snapshot, HandleKind::Process, HandleKind::Thread, HandleKind::File, HandleKind::Folder,
             HandleKind::Search, HandleKind::Mutex}) {
        EXPECT_GT(unfailed.Opened.count(kind), 0u) << HandleKindName(kind) << " never opened";
    }
    EXPECT_TRUE(machine.ServiceRunning());
}

INSTANTIATE_TEST_SUITE_P(Templates, EveryMechanismSweep, testing::Values(L"", MsiArguments),
    [](const testing::TestParamInfo<const wchar_t*>& info) {
        return info.index == 0 ? std::string("EmptyTemplate") : std::string("MsiArgs");
    });

TEST(FaultSweep, ShellInstallOfThePackage)
{
    ScopedConfiguration configuration;
    SweepEveryCall(L"", [] {});
}

TEST(FaultSweep, QuietInstallThroughMsiexec)
{
    ScopedConfiguration configuration;
    SweepEveryCall(L"/quiet", [] {});
}

// Fails each allocation of a run in turn on a machine where every mechanism
// has work to do. The run installs the package as if nothing had failed, or
// ends with the code of a step that ran out of memory; it leaves nothing open,
// and nothing behind but what the failing step itself could not remove.
TEST(AllocationSweep, EachFailedAllocationEndsTheRunAsItsStepSays)
{
    EveryMechanism machine;
    const auto beforeEachRun = [&] {
        ASSERT_TRUE(machine.KeepListedProcessRunning());
        machine.LeaveAUsersProductFolder();
    };
    beforeEachRun();
    const RunResult unfailed = RunInstall({}, L"");
    const int allocations = unfailed.Allocations;
    testing::Test::RecordProperty("SweptAllocations", allocations);
    std::printf("whole run: %d allocations swept\n", allocations);
    for (int failAt = 1; failAt <= allocations; ++failAt) {
        beforeEachRun();
        const RunResult run = RunInstall({}, L"", failAt);
        SCOPED_TRACE("failing allocation " + std::to_string(failAt));
        ASSERT_FALSE(run.Escaped);
        ExpectEveryHandleClosed(run);
        ExpectNoSuccessWithoutThePackage(run);
        if (run.ExitCode != 0) {
            EXPECT_EQ(OutOfMemory, run.ExitCode);
        }
        // The stage under way, or the next, whose first call it may precede.
        const int call = run.AllocationFailedAfterCall;
        const InstallStage current = StageOfCall(unfailed.Marks, call).Stage;
        std::set<InstallStage> stages = {current};
        const auto next = std::find_if(unfailed.Marks.begin(), unfailed.Marks.end(),
            [&](const StageMark& mark) { return mark.FirstCall > call && mark.Stage != current; });
        if (next != unfailed.Marks.end()) {
            stages.insert(next->Stage);
        }
        // The phase of the call before the allocation or of the one after.
        ExpectTheUnfailedWork(run, unfailed,
            GoesOnWithoutItsProgram(StageOfCall(unfailed.Marks, call)) ||
                GoesOnWithoutItsProgram(StageOfCall(unfailed.Marks, call + 1)));
        EXPECT_TRUE(!run.StagingFolderLeft || stages.count(InstallStage::StagingCleanup));
        EXPECT_TRUE(!run.BackupLeft || stages.count(InstallStage::BackupRelease));
    }
}

// Calls no swept run can reach here, each with its reason.
const std::set<std::string> UnreachableHere()
{
    // Made by the entry point before the application object runs, which a
    // test program does not go through.
    std::set<std::string> calls = {"SetDllDirectoryW", "SetDefaultDllDirectories"};
    // A value is read on its own only by RegistryKey::ReadValue and
    // ReadRawValue, which no install step uses: the settings copy reads every
    // value with the listing of its key.
    calls.insert("RegQueryValueExW");
    // Only a log named on the command line is made a full path and cut to
    // nothing; the support log's tests fail each call of its opening.
    calls.insert("GetFullPathNameW");
    calls.insert("SetEndOfFile");
    return calls;
}

// Parameterised like the sweep of every mechanism, so that it runs after
// every sweep of this program.
class SweptCalls : public testing::TestWithParam<int> {};

// Each site as "<call> at <code offset>:" and the source lines of its call,
// innermost first, read from this program's line tables by the toolchain's
// addr2line. Wine starts a Unix program without a process handle to wait on
// or a pipe it can write to, so its output appears under its final name once
// complete.
std::vector<std::string> SourceLines(const std::vector<CallSite>& sites)
{
    const std::wstring output = L"Z:" SWEPT_PROGRAM ".sites";
    DeleteFileW(output.c_str());
    std::wostringstream commandLine;
    commandLine << L"sh -c \"" LINE_LOOKUP_PROGRAM " -a -f -C -i -p -j .text -e " SWEPT_PROGRAM << std::hex;
    for (const CallSite& site : sites) {
        // A return address lies behind its call; one byte before is in it.
        commandLine << L" " << site.Offset - 1;
    }
    commandLine << L" >" SWEPT_PROGRAM ".part 2>&1; mv " SWEPT_PROGRAM ".part " SWEPT_PROGRAM ".sites\"";
    std::wstring command = commandLine.str();
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    if (CreateProcessW(L"Z:/bin/sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
        for (int wait = 0; wait < 600 && GetFileAttributesW(output.c_str()) == INVALID_FILE_ATTRIBUTES; ++wait) {
            Sleep(100);
        }
    }
    std::vector<std::string> lines;
    std::ifstream text{std::filesystem::path(output)};
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("0x", 0) == 0 && lines.size() < sites.size()) {
            const std::size_t colon = line.find(':');
            lines.push_back(sites[lines.size()].Call + " at " + line.substr(0, colon) + ":");
            line = line.substr(colon + 1);
        }
        if (!lines.empty()) {
            lines.back() += " " + line;
        }
    }
    for (std::size_t index = lines.size(); index < sites.size(); ++index) {
        lines.push_back(sites[index].Call + " at code offset " + std::to_string(sites[index].Offset));
    }
    return lines;
}

TEST_P(SweptCalls, EveryCallOfTheListIsReached)
{
    if (reachedCalls.empty()) {
        GTEST_SKIP() << "runs with the sweeps of this program";
    }
    std::string missing;
    for (const std::string& call : CountedCallNames()) {
        if (reachedCalls.count(call) == 0 && UnreachableHere().count(call) == 0) {
            missing += " " + call;
        }
    }
    EXPECT_EQ("", missing) << "calls no sweep reaches";
    // Every site is in the product, and every one reached, on any path,
    // failed at least once.
    std::vector<CallSite> sites;
    for (const auto& entry : sitesFailed) {
        sites.push_back(entry.first);
    }
    const std::vector<std::string> lines = SourceLines(sites);
    std::string testSites;
    std::string unfailedLines;
    int productSites = 0;
    int failedSites = 0;
    auto line = lines.begin();
    for (const auto& [site, failed] : sitesFailed) {
        // The innermost source line is where the call is made; one not found
        // cannot be shown to be the product's.
        const std::string innermost = line->substr(0, line->find(" (inlined by)"));
        const bool unknown = innermost.find(" at code offset ") != std::string::npos;
        // A product header's function whose one copy the linker took from a
        // test's object is named below that test's folder; it is still the
        // product's code.
        const bool testCode = innermost.find(" at " TESTS_SOURCE_DIR) != std::string::npos &&
            innermost.find("/Launcher/Common/") == std::string::npos;
        if (unknown || testCode) {
            testSites += *line++ + "\n";
            continue;
        }
        ++productSites;
        failedSites += failed ? 1 : 0;
        if (!failed) {
            unfailedLines += *line + "\n";
        }
        ++line;
    }
    std::cout << productSites << " call sites reached, " << failedSites << " failed\n";
    EXPECT_EQ("", testSites) << "call sites not in the product: a test layer's place was recorded for the product's";
    EXPECT_EQ("", unfailedLines) << "call sites no run failed";
}

INSTANTIATE_TEST_SUITE_P(AfterTheSweeps, SweptCalls, testing::Values(0));

}  // namespace
