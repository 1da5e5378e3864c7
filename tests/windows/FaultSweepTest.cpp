// Fails every operating-system call of a whole install run in turn. Whatever
// fails, the run ends: it never reports success without the package written
// in full and handed to Windows Installer, and it leaves no handle open.
#include "InstallerLauncher.h"
#include "staging/MainPackageSelection.h"
#include "support/OsCountdown.h"
#include "support/OsFailures.h"
#include "support/ScriptedChildren.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::set<HANDLE> openHandles;

HANDLE WINAPI TrackedCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
    DWORD disposition, DWORD flags, HANDLE templateFile)
{
    const HANDLE file = RealOs.CreateFileW(path, access, share, security, disposition, flags, templateFile);
    if (file != INVALID_HANDLE_VALUE) {
        openHandles.insert(file);
    }
    return file;
}

HANDLE WINAPI TrackedFindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATAW entry)
{
    const HANDLE search = RealOs.FindFirstFileW(pattern, entry);
    if (search != INVALID_HANDLE_VALUE) {
        openHandles.insert(search);
    }
    return search;
}

BOOL WINAPI TrackedCloseHandle(HANDLE handle)
{
    openHandles.erase(handle);
    return RealOs.CloseHandle(handle);
}

BOOL WINAPI TrackedFindClose(HANDLE search)
{
    openHandles.erase(search);
    return RealOs.FindClose(search);
}

std::wstring PackagePath()
{
    return ProductPackageFolderPath() + L"KesmoraInstaller.msi";
}

struct RunResult {
    int ExitCode;
    bool PackageHandedOn;
    std::string ExpectedPackage;
    std::string Failed;
    int Calls;
};

int WINAPI AgreeingMessageBox(HWND, LPCWSTR, LPCWSTR, UINT)
{
    return IDYES;
}

RunResult RunInstall(int failAt, const wchar_t* arguments)
{
    RealOs.DeleteFileW(PackagePath().c_str());
    ScriptedChildren children;
    OsOverride createFile(&OsCallTable::CreateFileW, &TrackedCreateFile);
    OsOverride findFirst(&OsCallTable::FindFirstFileW, &TrackedFindFirstFile);
    OsOverride closeHandle(&OsCallTable::CloseHandle, &TrackedCloseHandle);
    OsOverride findClose(&OsCallTable::FindClose, &TrackedFindClose);
    OsOverride messageBox(&OsCallTable::MessageBoxW, &AgreeingMessageBox);
    CInstallerLauncher launcher;
    launcher.m_lpCmdLine = arguments;
    RunResult result{};
    {
        OsCountdown countdown(failAt);
        testing::internal::CaptureStdout();
        launcher.InitInstance();
        testing::internal::GetCapturedStdout();
        result.Failed = countdown.FailedCall();
        result.Calls = countdown.Calls();
    }
    const std::wstring package = MainPackageResource(launcher.Is64BitWindows, launcher.IsWindows10OrLater);
    result.ExpectedPackage = "package " + std::string(package.begin(), package.end()) + "\n";
    result.ExitCode = launcher.ExitInstance();
    for (const ScriptedChildren::Request& request : children.Requests) {
        result.PackageHandedOn |= request.File == PackagePath() || request.Parameters.find(PackagePath()) != std::wstring::npos;
    }
    launcher.RemoveStagingDirectory();
    return result;
}

void SweepEveryCall(const wchar_t* arguments)
{
    const RunResult unfailed = RunInstall(0, arguments);
    ASSERT_EQ(0, unfailed.ExitCode);
    ASSERT_TRUE(unfailed.PackageHandedOn);
    const int calls = unfailed.Calls;
    ASSERT_GT(calls, 10);
    for (int failAt = 1; failAt <= calls; ++failAt) {
        openHandles.clear();
        const RunResult run = RunInstall(failAt, arguments);
        SCOPED_TRACE("failing call " + std::to_string(failAt) + ", " + run.Failed);
        if (run.Failed == "CloseHandle" || run.Failed == "FindClose") {
            // A close that failed leaves its handle open; nothing else can.
            for (const HANDLE handle : openHandles) {
                RealOs.CloseHandle(handle) || RealOs.FindClose(handle);
            }
            EXPECT_LE(openHandles.size(), 1u);
        } else {
            EXPECT_TRUE(openHandles.empty());
        }
        if (run.ExitCode == 0) {
            EXPECT_TRUE(run.PackageHandedOn);
            EXPECT_EQ(run.ExpectedPackage, ReadWholeFile(PackagePath()));
        }
    }
}

TEST(FaultSweep, ShellInstallOfThePackage)
{
    ScopedConfiguration configuration;
    SweepEveryCall(L"");
}

TEST(FaultSweep, QuietInstallThroughMsiexec)
{
    ScopedConfiguration configuration;
    SweepEveryCall(L"/quiet");
}

}  // namespace
