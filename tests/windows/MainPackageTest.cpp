// Installing the driver package: which package, where it is written, and
// what Windows Installer is given.
#include "InstallerLauncher.h"
#include "support/OsFailures.h"
#include "support/ScriptedShell.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class MainPackage : public testing::Test {
protected:
    std::int32_t Install(const wchar_t* msiArgumentTemplate)
    {
        launcher.MsiArgumentTemplate = msiArgumentTemplate;
        return launcher.InstallMainPackage();
    }

    std::wstring Package() const { return ProductPackageFolderPath(TestConfiguration.ProductFolderName) + L"KesmoraInstaller.msi"; }

    ScopedConfiguration configuration;
    ScriptedShell shell;
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

TEST_F(MainPackage, EmptyTemplateOpensThePackageItselfWithoutParameters)
{
    shell.ExitCodes[L"KesmoraInstaller.msi"] = 1603;
    EXPECT_EQ(1603, Install(L""));
    ASSERT_EQ(1u, shell.Requests.size());
    EXPECT_EQ(Package(), shell.Requests[0].File);
    EXPECT_EQ(L"", shell.Requests[0].Parameters);
}

TEST_F(MainPackage, QuietTemplateRunsTheSystemsMsiexecWithTheQuotedPath)
{
    TestConfiguration.ProductFolderName = L"TAVRIN Test Folder";
    shell.ExitCodes[L"msiexec.exe"] = 3010;
    EXPECT_EQ(3010, Install(L"/i $MSIPATH /quiet"));
    ASSERT_EQ(1u, shell.Requests.size());
    EXPECT_EQ(SystemProgram(L"msiexec.exe"), shell.Requests[0].File);
    EXPECT_EQ(L"/i \"" + Package() + L"\" /quiet", shell.Requests[0].Parameters);
}

TEST_F(MainPackage, ReplacesEveryPlaceholderSpelledExactly)
{
    struct Case {
        const wchar_t* msiArgumentTemplate;
        std::wstring expected;
    };
    const std::wstring quoted = L"\"" + Package() + L"\"";
    for (const Case& c : {Case{L"/i $MSIPATH /l*v $MSIPATH.log", L"/i " + quoted + L" /l*v " + quoted + L".log"},
             Case{L"/i $msipath /quiet", L"/i $msipath /quiet"}, Case{L"/x {CODE} /passive", L"/x {CODE} /passive"}}) {
        shell.Requests.clear();
        ASSERT_EQ(0, Install(c.msiArgumentTemplate));
        ASSERT_EQ(1u, shell.Requests.size());
        EXPECT_EQ(c.expected, shell.Requests[0].Parameters);
    }
}

TEST_F(MainPackage, MissingPackageResourceStartsNothing)
{
    auto missing = FailOsCall<&OsCallTable::FindResourceW>(ERROR_RESOURCE_NAME_NOT_FOUND);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ERROR_RESOURCE_NAME_NOT_FOUND, Install(L"/i $MSIPATH /quiet"));
    EXPECT_EQ("LocateResource failed (1814)\n", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(shell.Requests.empty());
}

}  // namespace
