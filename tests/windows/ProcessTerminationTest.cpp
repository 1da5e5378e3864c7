// Ending listed processes: exact names, each process at most once, and every
// process left running named in the log.
#include "log/SupportLog.h"
#include "preparation/ProcessTermination.h"
#include "staging/ProductPackageFolder.h"
#include "staging/StagingFolder.h"
#include "support/CountedOsCall.h"
#include "support/HandleLedger.h"
#include "support/OsFailures.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"
#include "support/WaitingProcess.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool IsRunning(HANDLE process)
{
    return RealOs.WaitForSingleObject(process, 5000) == WAIT_TIMEOUT;
}

const wchar_t* const TwoNames[] = {L"TavrinTray.exe", L"C:\\Tools\\TavrinHelper.exe"};

TEST(ProcessTermination, EndsEveryProcessOfAListedNameExactly)
{
    ScopedConfiguration configuration;
    TestConfiguration.ProcessNames = TwoNames;
    TestConfiguration.ProcessNameCount = 2;
    const HANDLE first = StartWaitingProcess(L"TavrinTray.exe");
    const HANDLE second = StartWaitingProcess(L"TavrinTray.exe");
    const HANDLE otherCase = StartWaitingProcess(L"tavrintray.exe");
    const HANDLE withDirectory = StartWaitingProcess(L"TavrinHelper.exe");
    ASSERT_TRUE(first && second && otherCase && withDirectory);

    EXPECT_EQ(2, TerminateListedProcesses());

    EXPECT_EQ(WAIT_OBJECT_0, RealOs.WaitForSingleObject(first, 5000));
    EXPECT_EQ(WAIT_OBJECT_0, RealOs.WaitForSingleObject(second, 5000));
    EXPECT_TRUE(IsRunning(otherCase)) << "names differing in case do not match";
    EXPECT_TRUE(IsRunning(withDirectory)) << "a listed name with a directory never matches";
    for (const HANDLE process : {otherCase, withDirectory}) {
        RealOs.TerminateProcess(process, 0);
    }
    for (const HANDLE process : {first, second, otherCase, withDirectory}) {
        RealOs.CloseHandle(process);
    }
}

// A fake process list: names in order, with identifiers 1, 2, ...
std::vector<std::wstring> fakeProcesses;
size_t nextProcess = 0;
bool refuseOpen = false;
bool failTerminate = false;
// Image paths by identifier, where they no longer end in the listed name;
// an empty path fails the query.
std::map<DWORD, std::wstring> replacedImages;
std::vector<DWORD> terminatedIds;
const HANDLE FakeSnapshot = reinterpret_cast<HANDLE>(0x100);

BOOL FillEntry(LPPROCESSENTRY32W entry)
{
    if (nextProcess >= fakeProcesses.size()) {
        RealOs.SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    EXPECT_EQ(sizeof(PROCESSENTRY32W), entry->dwSize);
    wcscpy(entry->szExeFile, fakeProcesses[nextProcess].c_str());
    entry->th32ProcessID = static_cast<DWORD>(++nextProcess);
    return TRUE;
}

HANDLE WINAPI FakeSnapshotCall(DWORD flags, DWORD processId)
{
    EXPECT_EQ(static_cast<DWORD>(TH32CS_SNAPPROCESS), flags);
    EXPECT_EQ(0u, processId);
    return FakeSnapshot;
}
BOOL WINAPI FakeFirst(HANDLE, LPPROCESSENTRY32W entry)
{
    nextProcess = 0;
    return FillEntry(entry);
}
BOOL WINAPI FakeNext(HANDLE, LPPROCESSENTRY32W entry)
{
    return FillEntry(entry);
}
HANDLE WINAPI FakeOpenProcess(DWORD access, BOOL inherit, DWORD id)
{
    EXPECT_EQ(static_cast<DWORD>(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION), access);
    EXPECT_FALSE(inherit);
    if (refuseOpen) {
        RealOs.SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x1000 + id));
}
DWORD FakeId(HANDLE process)
{
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(process) - 0x1000);
}
BOOL WINAPI FakeImageName(HANDLE process, DWORD flags, LPWSTR path, PDWORD size)
{
    EXPECT_EQ(0u, flags);
    const DWORD id = FakeId(process);
    const auto replaced = replacedImages.find(id);
    const std::wstring image = replaced != replacedImages.end()
        ? replaced->second
        : L"C:\\Program Files\\Tavrin\\" + fakeProcesses[id - 1];
    if (image.empty() || image.size() >= *size) {
        RealOs.SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    wcscpy(path, image.c_str());
    *size = static_cast<DWORD>(image.size());
    return TRUE;
}
BOOL WINAPI FakeTerminate(HANDLE process, UINT exitCode)
{
    EXPECT_EQ(0u, exitCode);
    terminatedIds.push_back(FakeId(process));
    if (failTerminate) {
        RealOs.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}
BOOL WINAPI FakeClose(HANDLE)
{
    return TRUE;
}

class FakeProcessList : public testing::Test {
protected:
    void SetUp() override
    {
        fakeProcesses = {L"explorer.exe", L"TavrinTray.exe", L"svchost.exe", L"TavrinTray.exe"};
        refuseOpen = failTerminate = false;
        terminatedIds.clear();
        replacedImages.clear();
        TestConfiguration.ProcessNames = TwoNames;
        TestConfiguration.ProcessNameCount = 2;
    }
    void TearDown() override { EXPECT_EQ(0, ledger.OpenCount()) << "every handle opened is closed"; }

    ScopedConfiguration configuration;
    OsOverride<&OsCallTable::CreateToolhelp32Snapshot> snapshot{&FakeSnapshotCall};
    OsOverride<&OsCallTable::Process32FirstW> first{&FakeFirst};
    OsOverride<&OsCallTable::Process32NextW> next{&FakeNext};
    OsOverride<&OsCallTable::OpenProcess> open{&FakeOpenProcess};
    OsOverride<&OsCallTable::QueryFullProcessImageNameW> imageName{&FakeImageName};
    OsOverride<&OsCallTable::TerminateProcess> terminate{&FakeTerminate};
    OsOverride<&OsCallTable::CloseHandle> close{&FakeClose};
    // Made after the fakes, so that it counts what they open.
    HandleLedger ledger;
};

TEST_F(FakeProcessList, CountsEachSuccessfulTermination)
{
    EXPECT_EQ(2, TerminateListedProcesses());
    EXPECT_EQ(std::vector<DWORD>({2, 4}), terminatedIds);
}

TEST_F(FakeProcessList, ProcessMatchingTwoNamesIsEndedOnce)
{
    const wchar_t* const sameTwice[] = {L"TavrinTray.exe", L"TavrinTray.exe"};
    TestConfiguration.ProcessNames = sameTwice;
    fakeProcesses = {L"TavrinTray.exe"};
    EXPECT_EQ(1, TerminateListedProcesses());
    EXPECT_EQ(std::vector<DWORD>({1}), terminatedIds);
}

TEST_F(FakeProcessList, RefusedOrFailedTerminationIsNotCounted)
{
    refuseOpen = true;
    EXPECT_EQ(0, TerminateListedProcesses());
    EXPECT_TRUE(terminatedIds.empty());
    refuseOpen = false;
    failTerminate = true;
    EXPECT_EQ(0, TerminateListedProcesses());
    EXPECT_EQ(2u, terminatedIds.size());
}

TEST_F(FakeProcessList, AProcessRunningAnotherImageByNowIsLeftAlone)
{
    // The identifier the snapshot gave, opened later, may be another program's.
    for (const wchar_t* image : {L"C:\\Windows\\explorer.exe", L"C:\\Tools\\tavrintray.exe",
             L"C:\\TavrinTray.exe\\other.exe", L"TavrinTray.exe.old", L""}) {
        terminatedIds.clear();
        replacedImages = {{2, image}};
        EXPECT_EQ(1, TerminateListedProcesses()) << image;
        EXPECT_EQ(std::vector<DWORD>({4}), terminatedIds) << image;
    }
}

// A support log of the test's own, opened and closed past the fakes and the
// ledger.
class TestLog {
public:
    TestLog()
    {
        // Lines earlier tests logged with no log open are dropped first.
        CloseSupportLog();
        const OsOverride<&OsCallTable::CreateFileW> realOpen(RealOs.CreateFileW);
        const OsOverride<&OsCallTable::CloseHandle> realClose(RealOs.CloseHandle);
        EXPECT_EQ(0, OpenSupportLogAt(path_, folders_, fallback_));
    }

    // The whole log, once closed.
    std::string Close()
    {
        const OsOverride<&OsCallTable::CloseHandle> realClose(RealOs.CloseHandle);
        CloseSupportLog();
        folders_.Release();
        const std::string text = ReadWholeFile(path_);
        DeleteFileW(path_.c_str());
        return text;
    }

private:
    std::wstring path_ = TemporaryFolder() + L"process-termination.log";
    ProductPackageFolder folders_;
    StagingFolder fallback_;
};

// The log's lines that tell of a process, from their level on.
std::vector<std::string> ProcessLines(const std::string& log)
{
    std::vector<std::string> lines;
    std::istringstream text(log);
    for (std::string line; std::getline(text, line, '\r');) {
        const std::size_t level = line.find("] ");
        if (line.find("process id") != std::string::npos && level != std::string::npos) {
            lines.push_back(line.substr(level + 2));
        }
    }
    return lines;
}

TEST_F(FakeProcessList, EachListedProcessLeftRunningGetsAWarningWithItsIdAndError)
{
    struct Case {
        const char* description;
        bool refuseOpen;
        bool failTerminate;
        std::map<DWORD, std::wstring> images;
        std::vector<std::string> lines;
    };
    for (const Case& c : {
             Case{"cannot be opened", true, false, {},
                 {"W process TavrinTray.exe (process id 2) not ended: OpenProcess failed (5)",
                     "W process TavrinTray.exe (process id 4) not ended: OpenProcess failed (5)"}},
             Case{"cannot be ended", false, true, {},
                 {"W process TavrinTray.exe (process id 2) not ended: TerminateProcess failed (5)",
                     "W process TavrinTray.exe (process id 4) not ended: TerminateProcess failed (5)"}},
             Case{"image cannot be read", false, false, {{2, L""}},
                 {"W process TavrinTray.exe (process id 2) not ended: QueryFullProcessImageNameW failed (122)",
                     "I ended process TavrinTray.exe (process id 4)"}},
             Case{"identifier gone to another program", false, false, {{2, L"C:\\Windows\\explorer.exe"}},
                 {"I ended process TavrinTray.exe (process id 4)"}},
         }) {
        SCOPED_TRACE(c.description);
        refuseOpen = c.refuseOpen;
        failTerminate = c.failTerminate;
        replacedImages = c.images;
        TestLog log;
        TerminateListedProcesses();
        EXPECT_EQ(c.lines, ProcessLines(log.Close()));
    }
}

TEST_F(FakeProcessList, NoOrNegativeCountWalksTheListAndEndsNothing)
{
    for (const std::int32_t count : {0, -1}) {
        TestConfiguration.ProcessNameCount = count;
        EXPECT_EQ(0, TerminateListedProcesses());
        EXPECT_EQ(fakeProcesses.size(), nextProcess) << "every entry is enumerated";
    }
    EXPECT_TRUE(terminatedIds.empty());
}

BOOL WINAPI WideningNext(HANDLE snapshot, LPPROCESSENTRY32W entry)
{
    TestConfiguration.ProcessNameCount = 2;
    return FakeNext(snapshot, entry);
}

TEST_F(FakeProcessList, CountIsReadAfreshForEveryProcess)
{
    // The walk sees the second entry only once the count covers it.
    const wchar_t* const names[] = {L"svchost.exe", L"TavrinTray.exe"};
    TestConfiguration.ProcessNames = names;
    TestConfiguration.ProcessNameCount = 1;
    fakeProcesses = {L"TavrinTray.exe", L"svchost.exe", L"TavrinTray.exe"};
    OsOverride<&OsCallTable::Process32NextW> widening(&WideningNext);
    EXPECT_EQ(2, TerminateListedProcesses());
    EXPECT_EQ(std::vector<DWORD>({2, 3}), terminatedIds);
}

TEST(ProcessTermination, FailedSnapshotExaminesNothing)
{
    auto failing = FailOsCall<&OsCallTable::CreateToolhelp32Snapshot>(ERROR_NOT_ENOUGH_MEMORY);
    auto noOpen = FailOsCall<&OsCallTable::OpenProcess>(ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, TerminateListedProcesses());
}

}  // namespace
