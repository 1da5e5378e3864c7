// Installing the driver package: which package, where it is written, and
// what Windows Installer is given.
#include "InstallerLauncher.h"
#include "log/SupportLog.h"
#include "support/CountedOsCall.h"
#include "support/ScriptedChildren.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

class MainPackage : public testing::Test {
protected:
    std::int32_t Install(const wchar_t* msiArgumentTemplate)
    {
        launcher.MsiArgumentTemplate = msiArgumentTemplate;
        return launcher.InstallMainPackage();
    }

    // Installs with each template in turn: Windows Installer is started once,
    // with these parameters.
    void ExpectParameters(const std::vector<std::pair<const wchar_t*, std::wstring>>& cases)
    {
        for (const auto& [msiArgumentTemplate, expected] : cases) {
            children.Requests.clear();
            ASSERT_EQ(0, Install(msiArgumentTemplate));
            ASSERT_EQ(1u, children.Requests.size());
            EXPECT_EQ(expected, children.Requests[0].Parameters);
        }
    }

    std::wstring Package() const
    {
        return ProductPackageFolderPath(TestConfiguration.ProductFolderName) + Shipped::PackageFileName;
    }

    ScopedConfiguration configuration;
    ScriptedChildren children;
    CInstallerLauncher launcher;
};

TEST_F(MainPackage, WritesThePackageThatFitsThisWindowsUnderOneName)
{
    struct Case {
        bool is64Bit;
        bool isWindows10;
        const char* package;
    };
    for (const Case& c : {Case{true, true, "MSI_WIN10_64"}, Case{true, false, "MSI64"},
             Case{false, true, "MSI_WIN10_32"}, Case{false, false, "MSI32"}}) {
        launcher.Is64BitWindows = c.is64Bit;
        launcher.IsWindows10OrLater = c.isWindows10;
        ASSERT_EQ(0, Install(L""));
        EXPECT_EQ("package " + std::string(c.package) + "\n", ReadWholeFile(Package())) << c.package;
    }
}

TEST_F(MainPackage, EmptyTemplateInstallsThroughTheSystemsMsiexecAsTheShellWould)
{
    children.ExitCodes[L"msiexec.exe"] = 1603;
    EXPECT_EQ(1603, Install(L""));
    ASSERT_EQ(1u, children.Requests.size());
    EXPECT_EQ(SystemProgram(L"msiexec.exe"), children.Requests[0].File);
    EXPECT_TRUE(children.Requests[0].QuotedProgramFirst);
    EXPECT_EQ(L"/i \"" + Package() + L"\"", children.Requests[0].Parameters);
    const std::wstring msiexec = SystemProgram(L"msiexec.exe");
    EXPECT_EQ(msiexec.substr(0, msiexec.find_last_of(L'\\')), children.Requests[0].WorkingFolder);
}

struct PackageAccess {
    DWORD Write = 0;
    DWORD Delete = 0;
    bool Read = false;
};
PackageAccess duringInstall;
std::wstring heldPackage;

// What other programs can do with the package while Windows Installer runs.
BOOL WINAPI ProbingCreateProcess(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
    LPCWSTR, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION child)
{
    const HANDLE writer =
        RealOs.CreateFileW(heldPackage.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, 0, nullptr);
    duringInstall.Write = writer == INVALID_HANDLE_VALUE ? RealOs.GetLastError() : 0;
    const HANDLE reader = RealOs.CreateFileW(heldPackage.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
        OPEN_EXISTING, 0, nullptr);
    duringInstall.Read = reader != INVALID_HANDLE_VALUE;
    duringInstall.Delete = RealOs.DeleteFileW(heldPackage.c_str()) ? 0 : RealOs.GetLastError();
    for (const HANDLE opened : {writer, reader}) {
        if (opened != INVALID_HANDLE_VALUE) {
            RealOs.CloseHandle(opened);
        }
    }
    const std::wstring interpreter = SystemProgram(L"cmd.exe");
    std::wstring line = L"\"" + interpreter + L"\" /c exit 0";
    return RealOs.CreateProcessW(
        interpreter.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, startup, child);
}

TEST_F(MainPackage, PackageIsHeldReadOnlyUntilWindowsInstallerHasEnded)
{
    heldPackage = Package();
    duringInstall = {};
    {
        OsOverride<&OsCallTable::CreateProcessW> probing(&ProbingCreateProcess);
        ASSERT_EQ(0, Install(L""));
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), duringInstall.Write);
    EXPECT_NE(0u, duringInstall.Delete);
    EXPECT_TRUE(duringInstall.Read) << "Windows Installer must still be able to read it";
    const HANDLE afterwards = RealOs.CreateFileW(heldPackage.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, afterwards) << "released once the install has ended";
    RealOs.CloseHandle(afterwards);
}

TEST_F(MainPackage, QuietTemplateRunsTheSystemsMsiexecWithTheQuotedPath)
{
    TestConfiguration.ProductFolderName = L"TAVRIN Test Folder";
    children.ExitCodes[L"msiexec.exe"] = 3010;
    EXPECT_EQ(3010, Install(L"/i $MSIPATH /quiet"));
    ASSERT_EQ(1u, children.Requests.size());
    EXPECT_EQ(SystemProgram(L"msiexec.exe"), children.Requests[0].File);
    EXPECT_EQ(L"/i \"" + Package() + L"\" /quiet", children.Requests[0].Parameters);
}

// The folder the help names is the one the package goes to.
TEST_F(MainPackage, FolderBelowCommonAppDataIsThePackagesFolder)
{
    TestConfiguration.ProductFolderName = L"TAVRIN Test Folder";
    wchar_t commonAppData[MAX_PATH];
    RealOs.SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, commonAppData);
    EXPECT_EQ(ProductPackageFolderPath(L"TAVRIN Test Folder"),
        std::wstring(commonAppData) + L"\\" + ProductFolderBelowCommonAppData() + L"\\");
}

TEST_F(MainPackage, NoRestartEndsTheLaunchersOwnCommandLineOnly)
{
    launcher.NoRestart = true;
    const std::wstring quoted = L"\"" + Package() + L"\"";
    ExpectParameters({{L"", L"/i " + quoted + L" /norestart"}, {L"/i $MSIPATH /qn", L"/i " + quoted + L" /qn"}});
}

TEST_F(MainPackage, ReplacesEveryPlaceholderSpelledExactly)
{
    const std::wstring quoted = L"\"" + Package() + L"\"";
    ExpectParameters({{L"/i $MSIPATH /l*v $MSIPATH.log", L"/i " + quoted + L" /l*v " + quoted + L".log"},
        {L"/i $msipath /quiet", L"/i $msipath /quiet"}, {L"/x {CODE} /passive", L"/x {CODE} /passive"}});
}

TEST_F(MainPackage, MissingPackageResourceStartsNothing)
{
    auto missing = FailOsCall<&OsCallTable::FindResourceW>(ERROR_RESOURCE_NAME_NOT_FOUND);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ERROR_RESOURCE_NAME_NOT_FOUND, Install(L"/i $MSIPATH /quiet"));
    EXPECT_EQ("LocateResource failed (1814)\n", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(children.Requests.empty());
}

// With a support log open, the command lines the launcher builds give
// Windows Installer a verbose log in the protected Logs folder, never beside
// a log the administrator named; an administrator's own template is passed
// on as written.
TEST_F(MainPackage, WindowsInstallerLogsInTheLogsFolderUnlessTheTemplateIsOwn)
{
    const std::wstring log = TemporaryFolder() + L"main-package-test.log";
    ProductPackageFolder logFolder;
    StagingFolder fallback;
    ASSERT_EQ(0, OpenSupportLogAt(log, logFolder, fallback));
    const std::wstring quoted = L"\"" + Package() + L"\"";
    const std::wstring msiLog = L" /l*v \"" + SupportLogFolderPath() + L"main-package-test-msi.log\"";
    ExpectParameters({{L"", L"/i " + quoted + msiLog}, {L"/i $MSIPATH /quiet", L"/i " + quoted + L" /quiet" + msiLog},
        {L"/i $MSIPATH /qn", L"/i " + quoted + L" /qn"}});
    CloseSupportLog();
    logFolder.Release();
    RealOs.DeleteFileW(log.c_str());
}

}  // namespace
