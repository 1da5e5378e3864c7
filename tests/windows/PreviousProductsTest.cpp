// Removing earlier products: only registered ones, in table order, each by
// Windows Installer's passive uninstall, with failures counted.
#include "InstallerLauncher.h"
#include "log/SupportLog.h"
#include "support/HandleLedger.h"
#include "support/OsFailures.h"
#include "support/ScriptedChildren.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

const std::wstring UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t* const Codes[] = {
    L"{8B3F4D21-6C9E-4A17-B0E5-D27A19C36F58}", L"{00000000-0000-0000-0000-000000000000}",
    L"{4E7C28B5-A91D-4F63-8D2E-B05F7C3A914E}"};

void Register(const wchar_t* code, REGSAM view = 0)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (UninstallKey + code).c_str(), 0, nullptr, 0,
                                 KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
    RegCloseKey(key);
}

void Unregister(const wchar_t* code, REGSAM view = 0)
{
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (UninstallKey + code).c_str(), view, 0);
}

std::vector<REGSAM> accessAsked;

// The access asked for each product's Uninstall key; the children's
// environment reads a key of its own.
LSTATUS WINAPI RecordingOpenKey(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key)
{
    if (std::wstring_view(path).find(L"\\Uninstall\\") != std::wstring_view::npos) {
        accessAsked.push_back(access);
    }
    return RealOs.RegOpenKeyExW(root, path, options, access, key);
}

class PreviousProducts : public testing::Test {
protected:
    void SetUp() override
    {
        accessAsked.clear();
        TestConfiguration.ProductCodes32 = Codes;
        TestConfiguration.ProductCodes64 = Codes;
        TestConfiguration.ProductCodeCount = 3;
        Register(Codes[0]);
        Register(Codes[2]);
    }
    void TearDown() override
    {
        Unregister(Codes[0]);
        Unregister(Codes[2]);
        EXPECT_EQ(0, ledger.OpenByKind()[HandleKind::RegistryKey]) << "every key opened is closed";
    }

    ScopedConfiguration configuration;
    ScriptedChildren children;
    OsOverride<&OsCallTable::RegOpenKeyExW> openKey{&RecordingOpenKey};
    // Made after the recorder, so that it counts what it opens.
    HandleLedger ledger;
    CInstallerLauncher launcher;
};

TEST_F(PreviousProducts, UninstallsTheRegisteredOnesInTableOrder)
{
    EXPECT_EQ(0, launcher.RemovePreviousProducts());
    ASSERT_EQ(2u, children.Requests.size());
    EXPECT_EQ(SystemProgram(L"msiexec.exe"), children.Requests[0].File);
    EXPECT_EQ(SystemProgram(L"msiexec.exe"), children.Requests[0].WorkingFolder + L"\\msiexec.exe");
    EXPECT_EQ(std::wstring(L"/passive /X ") + Codes[0], children.Requests[0].Parameters);
    EXPECT_EQ(std::wstring(L"/passive /X ") + Codes[2], children.Requests[1].Parameters);
    EXPECT_EQ(std::vector<REGSAM>(3, KEY_READ), accessAsked);
}

TEST_F(PreviousProducts, EachRemovalLogsInTheLogsFolder)
{
    const std::wstring log = TemporaryFolder() + L"previous-products-test.log";
    ProductPackageFolder logFolder;
    StagingFolder fallback;
    ASSERT_EQ(0, OpenSupportLogAt(log, logFolder, fallback));
    EXPECT_EQ(0, launcher.RemovePreviousProducts());
    CloseSupportLog();
    logFolder.Release();
    RealOs.DeleteFileW(log.c_str());
    ASSERT_EQ(2u, children.Requests.size());
    EXPECT_EQ(std::wstring(L"/passive /X ") + Codes[2] + L" /l*v \"" + SupportLogFolderPath() +
            L"previous-products-test-remove-" + Codes[2] + L".log\"",
        children.Requests[1].Parameters);
}

TEST_F(PreviousProducts, NoRestartEndsEveryRemoval)
{
    launcher.NoRestart = true;
    EXPECT_EQ(0, launcher.RemovePreviousProducts());
    ASSERT_EQ(2u, children.Requests.size());
    EXPECT_EQ(std::wstring(L"/passive /X ") + Codes[0] + L" /norestart", children.Requests[0].Parameters);
    EXPECT_EQ(std::wstring(L"/passive /X ") + Codes[2] + L" /norestart", children.Requests[1].Parameters);
}

TEST_F(PreviousProducts, EveryNonzeroResultIsAFailureAndTheNextIsStillVisited)
{
    children.ExitCodes[L"msiexec.exe"] = 3010;
    EXPECT_EQ(2, launcher.RemovePreviousProducts());
    EXPECT_EQ(2u, children.Requests.size());
}

TEST_F(PreviousProducts, NoCountTouchesNeitherRegistryNorShell)
{
    for (const std::int32_t count : {0, -3}) {
        TestConfiguration.ProductCodeCount = count;
        EXPECT_EQ(0, launcher.RemovePreviousProducts());
    }
    EXPECT_TRUE(accessAsked.empty());
    EXPECT_TRUE(children.Requests.empty());
}

TEST_F(PreviousProducts, SixtyFourBitWindowsLooksOnlyInTheSixtyFourBitView)
{
    launcher.Is64BitWindows = true;
    launcher.RemovePreviousProducts();
    EXPECT_EQ(std::vector<REGSAM>(3, KEY_READ | KEY_WOW64_64KEY), accessAsked);
}

TEST_F(PreviousProducts, CodesComeFromTheTableOfThisWindows)
{
    const wchar_t* const other[] = {L"{11111111-1111-1111-1111-111111111111}", L"", L""};
    TestConfiguration.ProductCodes64 = other;
    EXPECT_EQ(0, launcher.RemovePreviousProducts());
    EXPECT_EQ(2u, children.Requests.size()) << "32-bit Windows reads the 32-bit table";
}

}  // namespace
