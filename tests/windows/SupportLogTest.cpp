// The support log of a whole run (the steps replaced by recorders): where it
// is, what it holds, how many are kept, and a log the command line names.
#include "InstallerLauncher.h"
#include "support/DescriptorText.h"
#include "support/OsFailures.h"
#include "support/RecordedSteps.h"
#include "support/ShownAsLink.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string LogsFolderSddl = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

std::vector<std::string> LinesOf(const std::wstring& path)
{
    std::vector<std::string> lines;
    std::istringstream text(ReadWholeFile(path));
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::wstring> LogFolderNames()
{
    std::vector<std::wstring> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(SupportLogFolderPath(), ignored)) {
        names.push_back(entry.path().filename().wstring());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring commandLine;

LPWSTR WINAPI LaunchersCommandLine()
{
    return &commandLine[0];
}

int boxesShown = 0;

int WINAPI CountingMessageBox(HWND, LPCWSTR, LPCWSTR, UINT)
{
    ++boxesShown;
    return IDOK;
}

class SupportLog : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::remove_all(std::filesystem::path(SupportLogFolderPath()));
        Steps = RecordedSteps{};
        boxesShown = 0;
    }

    int Run(const std::wstring& arguments)
    {
        arguments_ = arguments;
        commandLine = L"\"C:\\Downloads\\InstallerLauncher.exe\" " + arguments;
        CInstallerLauncher launcher;
        launcher.m_lpCmdLine = arguments_.c_str();
        testing::internal::CaptureStdout();
        launcher.InitInstance();
        printed = testing::internal::GetCapturedStdout();
        return launcher.ExitInstance();
    }

    ScopedConfiguration configuration;
    OsOverride<&OsCallTable::MessageBoxW> messageBox{&CountingMessageBox};
    OsOverride<&OsCallTable::GetCommandLineW> launchersCommandLine{&LaunchersCommandLine};
    std::wstring arguments_;
    std::string printed;
};

TEST_F(SupportLog, EveryRunLeavesALogOfItsStepsInTheProductsLogFolder)
{
    ASSERT_EQ(0, Run(L"-msiargs \"/i $MSIPATH /qn ADMINPASSWORD=hunter2 USER=me\""));
    const std::vector<std::wstring> names = LogFolderNames();
    ASSERT_EQ(1u, names.size()) << printed;
    const std::wregex name(L"InstallerLauncher-\\d{8}-\\d{6}-" + std::to_wstring(GetCurrentProcessId()) + L"\\.log");
    EXPECT_TRUE(std::regex_match(names[0], name));
    const std::vector<std::string> lines = LinesOf(SupportLogFolderPath() + names[0]);
    ASSERT_GT(lines.size(), 8u);
    const std::regex form(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+:\d+\] [IWE] .+\r)");
    std::string all;
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, form)) << line;
        all += line + "\n";
    }
    for (const char* expected : {"] I InstallerLauncher ", "command line: ", "ADMINPASSWORD=***** USER=me",
             "] I Windows ", "64-bit Windows (WOW64): ", "elevated: ", "step InstallPrerequisites started",
             "step InstallMainPackage ended with result 0", "step RemoveStagingDirectory ended"}) {
        EXPECT_NE(std::string::npos, all.find(expected)) << expected;
    }
    EXPECT_EQ(std::string::npos, all.find("hunter2")) << "a password never reaches the log";
    EXPECT_NE(std::string::npos, lines.back().find("] I exit code 0 (every step ran and the driver package installed)"));
}

TEST_F(SupportLog, TheNewestTenLauncherLogsStayWithTheirWindowsInstallerLogs)
{
    // Made as a run makes it: one every user may read would be moved aside.
    ProductPackageFolder folders;
    std::wstring logs;
    ASSERT_EQ(0, folders.OpenLogs(logs));
    folders.Release();
    for (int old = 10; old < 22; ++old) {
        const std::wstring stem = SupportLogFolderPath() + L"InstallerLauncher-20200101-0000" + std::to_wstring(old) + L"-1";
        std::ofstream(std::filesystem::path(stem + L".log")) << "old";
        std::ofstream(std::filesystem::path(stem + L"-msi.log")) << "old";
    }
    std::ofstream(std::filesystem::path(SupportLogFolderPath() + L"notes.txt")) << "kept";
    ASSERT_EQ(0, Run(L""));
    const std::vector<std::wstring> names = LogFolderNames();
    // Nine old logs with their Windows Installer logs, this run's, the notes.
    ASSERT_EQ(20u, names.size());
    EXPECT_EQ(L"InstallerLauncher-20200101-000013-1-msi.log", names[0]);
    EXPECT_EQ(L"notes.txt", names.back());
}

BOOL WINAPI InformationOfALink(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information)
{
    const BOOL read = RealOs.GetFileInformationByHandle(file, information);
    information->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return read;
}

// A log the administrator names that cannot be opened, or only through a
// link, ends the run before anything is staged or run.
TEST_F(SupportLog, NamedLogThatCannotBeOpenedSafelyEndsTheRunWith1622)
{
    const std::wstring log = TemporaryFolder() + L"named.log";
    const std::wstring victim = TemporaryFolder() + L"victim.txt";
    std::ofstream(std::filesystem::path(victim)) << "victim";
    DeleteFileW(log.c_str());
    ASSERT_TRUE(CreateHardLinkW(log.c_str(), victim.c_str(), nullptr));
    for (const bool quiet : {false, true}) {
        for (const auto& [path, line] : {std::pair<std::wstring, std::string>{L"C:\\no\\such\\folder\\a.log",
                                              "CreateFile failed (3)\n"},
                 {log, "OpenLog failed (1006)\n"}}) {
            Steps = RecordedSteps{};
            boxesShown = 0;
            EXPECT_EQ(1622, Run(L"-log \"" + path + L"\"" + (quiet ? L" -quiet" : L"")));
            EXPECT_EQ(line, printed);
            EXPECT_TRUE(Steps.Calls.empty());
            EXPECT_EQ(quiet ? 0 : 1, boxesShown);
        }
    }
    EXPECT_EQ("victim", ReadWholeFile(victim));
    DeleteFileW(log.c_str());
    {
        OsOverride<&OsCallTable::GetFileInformationByHandle> link(&InformationOfALink);
        EXPECT_EQ(1622, Run(L"-quiet -log \"" + log + L"\""));
        EXPECT_EQ("OpenLog failed (4395)\n", printed);
    }
    {
        auto failing = FailOsCall<&OsCallTable::SetEndOfFile>(ERROR_DISK_FULL);
        EXPECT_EQ(1622, Run(L"-quiet -log \"" + log + L"\""));
        EXPECT_EQ("SetEndOfFile failed (112)\n", printed);
    }
    DeleteFileW(log.c_str());
    DeleteFileW(victim.c_str());
}

TEST_F(SupportLog, NamedLogIsReplacedAndTellsTheRun)
{
    const std::wstring log = TemporaryFolder() + L"named.log";
    std::ofstream(std::filesystem::path(log)) << std::string(4096, 'x');
    ASSERT_EQ(0, Run(L"-log \"" + log + L"\""));
    const std::string text = ReadWholeFile(log);
    EXPECT_EQ(std::string::npos, text.find("xxxx"));
    EXPECT_NE(std::string::npos, text.find("log: " + std::string(log.begin(), log.end())));
    EXPECT_NE(std::string::npos, text.find("exit code 0 ("));
    EXPECT_TRUE(LogFolderNames().empty()) << "no default log beside a named one";
    DeleteFileW(log.c_str());
}

std::string logsDescriptor;

BOOL WINAPI RecordingLogsFolder(LPCWSTR path, LPSECURITY_ATTRIBUTES security)
{
    if (path + std::wstring(L"\\") == SupportLogFolderPath()) {
        const std::wstring sddl = OwnerAndAccessSddl(security);
        logsDescriptor = std::string(sddl.begin(), sddl.end());
    }
    return RealOs.CreateDirectoryW(path, security);
}

// The log folder is one more level of the package folder, made and checked
// like the others but for SYSTEM and Administrators alone; a link there is
// never written through, and the run goes on without a log.
TEST_F(SupportLog, LogFolderIsMadeLikeThePackageFolderAndALinkThereIsRefused)
{
    {
        OsOverride<&OsCallTable::CreateDirectoryW> recording(&RecordingLogsFolder);
        ASSERT_EQ(0, Run(L""));
    }
    EXPECT_EQ(LogsFolderSddl, logsDescriptor);
    const std::wstring logs = SupportLogFolderPath();
    const ShownAsLink link(logs.substr(0, logs.size() - 1));
    const size_t before = LogFolderNames().size();
    EXPECT_EQ(0, Run(L""));
    EXPECT_EQ("SecureFolder failed (4395)\n", printed);
    EXPECT_EQ(before, LogFolderNames().size());
}

}  // namespace
