// The support log of a whole run (the steps replaced by recorders): where it
// is, what it holds, how many are kept, and a log the command line names.
#include "InstallerLauncher.h"
#include "support/CountedOsCall.h"
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

std::vector<std::wstring> LogFolderNamesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        names.push_back(entry.path().filename().wstring());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> LogFolderNames()
{
    return LogFolderNamesIn(SupportLogFolderPath());
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
        RemoveSupportLogs();
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
    EXPECT_NE(std::string::npos, lines.back().find("] I exit code 0 (every step ran and succeeded)"));
}

// Deployment tools read a restart as installed: never an error line.
TEST_F(SupportLog, ExitCodeLineIsAnErrorOnlyForAFailure)
{
    for (const auto& [result, level] : {std::pair<int, const char*>{3010, "W"}, {1641, "W"}, {1603, "E"}}) {
        SetUp();
        Steps.Results["InstallMainPackage"] = result;
        ASSERT_EQ(result, Run(L"-quiet"));
        const std::vector<std::wstring> names = LogFolderNames();
        ASSERT_EQ(1u, names.size()) << printed;
        const std::string expected = std::string("] ") + level + " exit code " + std::to_string(result) + " (";
        EXPECT_NE(std::string::npos, LinesOf(SupportLogFolderPath() + names[0]).back().find(expected)) << expected;
    }
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

// A junction opened as itself, as Windows shows it: its final path is its own.
BOOL WINAPI InformationOfAFolderLink(HANDLE object, LPBY_HANDLE_FILE_INFORMATION information)
{
    const BOOL read = RealOs.GetFileInformationByHandle(object, information);
    if ((information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        information->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
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
        OsOverride<&OsCallTable::GetFileInformationByHandle> junction(&InformationOfAFolderLink);
        EXPECT_EQ(1622, Run(L"-quiet -log \"" + log + L"\""));
        EXPECT_EQ("OpenLog failed (4395)\n", printed);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(log.c_str()));
    }
    {
        auto failing = FailOsCall<&OsCallTable::GetFullPathNameW>(ERROR_INVALID_NAME);
        EXPECT_EQ(1622, Run(L"-quiet -log \"" + log + L"\""));
        EXPECT_EQ("GetFullPathName failed (123)\n", printed);
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

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// A relative path is made absolute before anything, so the log lies where
// the administrator meant and its header names it in full.
TEST_F(SupportLog, RelativeNamedLogIsMadeAbsolute)
{
    wchar_t current[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, current));
    ASSERT_TRUE(SetCurrentDirectoryW(TemporaryFolder().c_str()));
    const int exitCode = Run(L"-log relative.log");
    SetCurrentDirectoryW(current);
    const std::wstring log = TemporaryFolder() + L"relative.log";
    EXPECT_EQ(0, exitCode) << printed;
    EXPECT_NE(std::string::npos, ReadWholeFile(log).find("] I log: " + Narrow(log) + "\r\n"));
    DeleteFileW(log.c_str());
}

// What a link on the way shows when held: the final path names another
// place. Every final path holding shownAt names shownAs there instead.
std::wstring shownAt;
std::wstring shownAs;

DWORD WINAPI FinalPathThroughLink(HANDLE object, LPWSTR path, DWORD size, DWORD flags)
{
    const DWORD length = RealOs.GetFinalPathNameByHandleW(object, path, size, flags);
    std::wstring finalPath(path, length);
    const size_t at = finalPath.find(shownAt);
    if (length == 0 || at == std::wstring::npos) {
        return length;
    }
    finalPath.replace(at, shownAt.size(), shownAs);
    finalPath.copy(path, finalPath.size());
    path[finalPath.size()] = L'\0';
    return static_cast<DWORD>(finalPath.size());
}

// A folder link (junction) on the way to the named log, or a file that is a
// link itself, is refused by final path with 1622: nothing is made through
// the junction, and an existing file keeps its bytes.
TEST_F(SupportLog, NamedLogBehindALinkIsRefusedAndLeftAsItWas)
{
    const std::wstring folder = TemporaryFolder() + L"log-behind-link\\";
    std::filesystem::create_directories(std::filesystem::path(folder));
    const struct {
        const wchar_t* fileName;
        bool exists;
        const wchar_t* shownAt;
        const wchar_t* shownAs;
    } cases[] = {
        {L"new.log", false, L"\\log-behind-link", L"\\victim-folder"},
        {L"kept.log", true, L"\\log-behind-link", L"\\victim-folder"},
        {L"kept.log", true, L"\\kept.log", L"\\victim.txt"},
    };
    for (const auto& c : cases) {
        const std::wstring log = folder + c.fileName;
        DeleteFileW(log.c_str());
        if (c.exists) {
            std::ofstream(std::filesystem::path(log)) << "someone else's bytes";
        }
        shownAt = c.shownAt;
        shownAs = c.shownAs;
        OsOverride<&OsCallTable::GetFinalPathNameByHandleW> link(&FinalPathThroughLink);
        Steps = RecordedSteps{};
        EXPECT_EQ(1622, Run(L"-quiet -log " + log)) << Narrow(log);
        EXPECT_EQ("OpenLog failed (4395)\n", printed);
        EXPECT_TRUE(Steps.Calls.empty());
        if (c.exists) {
            EXPECT_EQ("someone else's bytes", ReadWholeFile(log)) << Narrow(log);
        } else {
            EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(log))) << "made through a junction";
        }
    }
    std::filesystem::remove_all(std::filesystem::path(folder));
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

BOOL WINAPI LogsFolderHeldByAnother(LPCWSTR path, LPSECURITY_ATTRIBUTES security)
{
    if (path + std::wstring(L"\\") == SupportLogFolderPath()) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    return RealOs.CreateDirectoryW(path, security);
}

// The log folder is one more level of the package folder, made and checked
// like the others but for SYSTEM and Administrators alone; a link there is
// never written through.
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
    EXPECT_EQ(0u, printed.find("SecureFolder failed (4395)\n")) << printed;
    EXPECT_EQ(before, LogFolderNames().size());
}

// A log that cannot go to the Logs folder (a link there, a folder another
// user holds) goes to a new folder of the run's own under Windows' temporary
// folder, named on standard output and in the log; the run goes on. A
// named log's Windows Installer logs go there too.
TEST_F(SupportLog, LogThatCannotGoToTheLogsFolderGoesToAFallbackFolder)
{
    const std::wstring logs = SupportLogFolderPath();
    const std::wstring named = TemporaryFolder() + L"named-with-fallback.log";
    const auto expectFallback = [&](bool namedLog, const std::string& code) {
        const std::vector<std::wstring> fallbacks = FallbackLogFolders();
        ASSERT_EQ(1u, fallbacks.size()) << printed;
        const std::vector<std::wstring> names = LogFolderNamesIn(fallbacks[0]);
        ASSERT_EQ(namedLog ? 0u : 1u, names.size());
        EXPECT_NE(std::string::npos,
            printed.find("Logs written to " + Narrow(fallbacks[0]) +
                " instead: the product's Logs folder could not be used (" + code + ")\n"))
            << printed;
        const std::string text = ReadWholeFile(namedLog ? named : fallbacks[0] + names[0]);
        EXPECT_NE(std::string::npos, text.find("] W Logs written to " + Narrow(fallbacks[0]))) << text;
        EXPECT_NE(std::string::npos, text.find("step InstallMainPackage ended with result 0"));
        EXPECT_NE(std::string::npos, text.find("exit code 0 ("));
    };
    for (const bool namedLog : {false, true}) {
        const std::wstring arguments = namedLog ? L"-log " + named : L"";
        {
            RemoveSupportLogs();
            std::filesystem::create_directories(std::filesystem::path(logs));
            const ShownAsLink link(logs.substr(0, logs.size() - 1));
            EXPECT_EQ(0, Run(arguments));
            expectFallback(namedLog, "4395");
        }
        {
            RemoveSupportLogs();
            std::filesystem::remove_all(std::filesystem::path(logs));
            OsOverride<&OsCallTable::CreateDirectoryW> held(&LogsFolderHeldByAnother);
            EXPECT_EQ(0, Run(arguments));
            expectFallback(namedLog, "32");
        }
    }
    DeleteFileW(named.c_str());
    RemoveSupportLogs();
}

}  // namespace
