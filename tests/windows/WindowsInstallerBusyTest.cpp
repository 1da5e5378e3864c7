// Windows Installer runs one installation at a time: the launcher waits while
// another one holds its mutex, and starts it again after a busy answer, for
// as long as the build allows.
#include "staging/WindowsInstaller.h"
#include "support/MutexHolder.h"
#include "support/OsOverride.h"
#include "support/ScriptedChildren.h"
#include "support/TestConfiguration.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t* const ExecuteMutexName = L"Global\\_MSIExecute";
const std::wstring Parameters = L"/i \"C:\\p.msi\" /quiet";
const std::vector<wchar_t> Environment = {L'\0', L'\0'};

class WindowsInstallerBusy : public testing::Test {
protected:
    std::int32_t Run()
    {
        testing::internal::CaptureStdout();
        const std::int32_t result = RunWindowsInstaller(Parameters, Environment);
        output = testing::internal::GetCapturedStdout();
        return result;
    }

    ScopedConfiguration configuration;
    ScriptedChildren children;
    std::string output;
};

TEST_F(WindowsInstallerBusy, WaitsWhileAnotherInstallationHoldsTheMutex)
{
    struct Case {
        const char* description;
        Ending endsAs;
        std::int32_t waitSeconds;
        std::int32_t result;
        size_t starts;
        const char* output;
    };
    for (const Case& c : {
             Case{"released while waiting", Ending::Released, 600, 0, 1,
                 "Windows Installer is busy: waiting\nWindows Installer is free: going on\n"},
             Case{"abandoned while waiting", Ending::Abandoned, 600, 0, 1,
                 "Windows Installer is busy: waiting\nWindows Installer is free: going on\n"},
             Case{"held past the bound", Ending::Kept, 1, 1618, 0,
                 "Windows Installer is busy: waiting\nWindows Installer is still busy: giving up\n"},
         }) {
        SCOPED_TRACE(c.description);
        children.Requests.clear();
        TestConfiguration.MsiBusyWaitSeconds = c.waitSeconds;
        // Another installation, which ends as the case says once the
        // launcher waits for it.
        MutexHolder other(ExecuteMutexName);
        size_t startedBeforeWait = 0;
        const BoundedWaitWatch watch([&] {
            startedBeforeWait = children.Requests.size();
            other.End(c.endsAs);
        });
        EXPECT_EQ(c.result, Run());
        EXPECT_EQ(1, watch.Waits());
        EXPECT_EQ(0u, startedBeforeWait) << "Windows Installer started while it was busy";
        EXPECT_EQ(c.starts, children.Requests.size());
        EXPECT_EQ(c.output, output);
    }
}

TEST_F(WindowsInstallerBusy, FreeMutexIsLetGoBeforeWindowsInstallerStarts)
{
    const HANDLE free = CreateMutexW(nullptr, FALSE, ExecuteMutexName);
    ASSERT_NE(nullptr, free);
    EXPECT_EQ(0, Run());
    EXPECT_EQ(1u, children.Requests.size());
    EXPECT_EQ("", output);
    // Owned by nobody: another thread takes it at once.
    DWORD taken = WAIT_FAILED;
    std::thread([&] {
        taken = WaitForSingleObject(free, 0);
        ReleaseMutex(free);
    }).join();
    EXPECT_EQ(WAIT_OBJECT_0, taken);
    CloseHandle(free);
}

TEST_F(WindowsInstallerBusy, BusyAnswerStartsWindowsInstallerAgain)
{
    children.FirstExitCodes[L"msiexec.exe"] = {1618};
    children.ExitCodes[L"msiexec.exe"] = 3010;
    EXPECT_EQ(3010, Run());
    ASSERT_EQ(2u, children.Requests.size());
    EXPECT_EQ(Parameters, children.Requests[1].Parameters);
}

TEST_F(WindowsInstallerBusy, BusyAnswersUntilTheBoundEndWithBusy)
{
    TestConfiguration.MsiBusyWaitSeconds = 1;
    children.ExitCodes[L"msiexec.exe"] = 1618;
    EXPECT_EQ(1618, Run());
    // Started again after a pause, not in a tight loop.
    EXPECT_GE(children.Requests.size(), 1u);
    EXPECT_LE(children.Requests.size(), 3u);
    EXPECT_EQ("Windows Installer is still busy: giving up\n", output);
}

}  // namespace
