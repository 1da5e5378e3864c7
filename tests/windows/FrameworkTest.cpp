// Our application framework: what start-up records, the error mode, the one
// call of InitInstance, the exit code, string loading and the window owner.
#include "framework/WinApp.h"
#include "support/OsFailures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class CountingApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        ++initInstanceCalls;
        return FALSE;
    }
    int ExitInstance() override
    {
        ++exitInstanceCalls;
        return CWinApp::ExitInstance() + 42;
    }
    int initInstanceCalls = 0;
    int exitInstanceCalls = 0;
};

std::vector<UINT> errorModesSet;
constexpr UINT PreviousErrorMode = SEM_NOGPFAULTERRORBOX;

UINT WINAPI SetErrorModeFake(UINT mode)
{
    errorModesSet.push_back(mode);
    return PreviousErrorMode;
}

LPWSTR WINAPI GetCommandLineFake()
{
    static wchar_t commandLine[] = L"\"C:\\My Downloads\\InstallerLauncher.exe\" \t -quiet";
    return commandLine;
}

TEST(Framework, StartUpRecordsTheProcessAndCallsInitInstanceOnceThenExitInstance)
{
    OsOverride<&OsCallTable::SetErrorMode> errorMode(&SetErrorModeFake);
    OsOverride<&OsCallTable::GetCommandLineW> commandLine(&GetCommandLineFake);
    errorModesSet.clear();
    CountingApp app;
    const HINSTANCE instance = RealOs.GetModuleHandleW(nullptr);

    EXPECT_EQ(42, AfxWinMain(instance, SW_SHOWMINIMIZED));

    EXPECT_EQ(1, app.initInstanceCalls);
    EXPECT_EQ(1, app.exitInstanceCalls);
    EXPECT_EQ(instance, app.m_hInstance);
    EXPECT_EQ(SW_SHOWMINIMIZED, app.m_nCmdShow);
    EXPECT_EQ(std::wstring(L"-quiet"), app.m_lpCmdLine);
    ASSERT_EQ(2u, errorModesSet.size());
    EXPECT_EQ(PreviousErrorMode | 0x8001u, errorModesSet[1]);
}

TEST(Framework, BaseExitInstanceGivesZero)
{
    CWinApp app;
    EXPECT_EQ(0, app.ExitInstance());
}

TEST(Framework, TheApplicationObjectIsTheOneConstructedLast)
{
    CWinApp first;
    EXPECT_EQ(&first, AfxGetApp());
    {
        CountingApp second;
        EXPECT_EQ(&second, AfxGetApp());
    }
    EXPECT_EQ(nullptr, AfxGetApp());
}

// The test program carries string 500 with text and string 501 empty.
TEST(Framework, LoadsStringResourcesOfTheApplicationModule)
{
    CWinApp app;
    app.m_hInstance = RealOs.GetModuleHandleW(nullptr);
    std::wstring text = L"old";
    EXPECT_TRUE(app.LoadStringResource(500, text));
    EXPECT_EQ(L"Install the TAVRIN driver now?", text);
    EXPECT_FALSE(app.LoadStringResource(501, text)) << "an empty string counts as not loaded";
    EXPECT_EQ(L"", text);
    EXPECT_FALSE(app.LoadStringResource(502, text)) << "a missing string is not loaded";
}

HWND WINAPI GetActiveWindowFake()
{
    return reinterpret_cast<HWND>(0x4321);
}

TEST(Framework, WindowOwnerIsTheActiveWindow)
{
    OsOverride<&OsCallTable::GetActiveWindow> activeWindow(&GetActiveWindowFake);
    CWinApp app;
    EXPECT_EQ(reinterpret_cast<HWND>(0x4321), app.GetMainWindowHandle());
}

}  // namespace
