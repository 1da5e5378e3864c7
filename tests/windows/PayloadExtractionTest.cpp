// Writing embedded payloads: where files land, the folder rules, and every
// failure with its diagnostic line, its code and the output path afterwards.
#include "InstallerLauncher.h"
#include "support/CountedOsCall.h"
#include "support/OsFailures.h"
#include "support/ShownAsLink.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

// The test program carries TEST_PAYLOAD (the bytes of TestPayload.bin) and
// EMPTY_PAYLOAD (no bytes), both of type EXE.
const std::string PayloadBytes = "stand-in payload bytes\n";

struct Extraction {
    std::int32_t Result;
    std::wstring OutputPath;
    std::string Printed;
};

class PayloadExtraction : public testing::Test {
protected:
    Extraction Extract(const wchar_t* name, bool toStaging, const wchar_t* fileName = L"payload.exe",
        const wchar_t* type = L"EXE")
    {
        Extraction extraction;
        extraction.OutputPath = L"stale";
        testing::internal::CaptureStdout();
        extraction.Result = launcher.ExtractPayload(name, type, fileName, toStaging, extraction.OutputPath);
        extraction.Printed = testing::internal::GetCapturedStdout();
        return extraction;
    }

    void TearDown() override { launcher.RemoveStagingDirectory(); }

    ScopedConfiguration configuration;
    CInstallerLauncher launcher;
};

// Under the Windows folder's temporary folder, which no user's environment
// or link can re-point.
TEST_F(PayloadExtraction, StagesIntoOneGuidFolderUnderTheSystemTemporaryFolderPerRun)
{
    const std::wstring usersTemporaryFolder = TemporaryFolder();
    const std::wstring planted = usersTemporaryFolder + L"planted";
    RealOs.CreateDirectoryW(planted.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", planted.c_str());
    const Extraction first = Extract(L"TEST_PAYLOAD", true);
    SetEnvironmentVariableW(L"TMP", usersTemporaryFolder.c_str());
    RealOs.RemoveDirectoryW(planted.c_str());
    ASSERT_EQ(0, first.Result) << first.Printed;
    const std::wstring temporary = StagingRoot();
    ASSERT_EQ(temporary.size() + 36 + 1, launcher.StagingDirectory.size());
    EXPECT_EQ(temporary, launcher.StagingDirectory.substr(0, temporary.size()));
    EXPECT_EQ(L'\\', launcher.StagingDirectory.back());
    EXPECT_EQ(L'-', launcher.StagingDirectory[temporary.size() + 8]);
    EXPECT_EQ(launcher.StagingDirectory + L"payload.exe", first.OutputPath);
    EXPECT_EQ(PayloadBytes, ReadWholeFile(first.OutputPath));
    EXPECT_EQ("", first.Printed);

    const std::wstring folder = launcher.StagingDirectory;
    const Extraction second = Extract(L"TEST_PAYLOAD", true, L"second.exe");
    ASSERT_EQ(0, second.Result);
    EXPECT_EQ(folder, launcher.StagingDirectory);
    EXPECT_EQ(folder + L"second.exe", second.OutputPath);
}

// Windows' own SystemTemp, where Windows has made it, lets nobody but SYSTEM
// and Administrators in; anything else there than a plain folder is not used.
TEST_F(PayloadExtraction, StagesUnderSystemTempWhereWindowsHasMadeIt)
{
    wchar_t windows[MAX_PATH];
    GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring systemTemp = std::wstring(windows) + L"\\SystemTemp";
    ASSERT_TRUE(RealOs.CreateDirectoryW(systemTemp.c_str(), nullptr));
    for (const bool link : {false, true}) {
        const ShownAsLink attributes(link ? systemTemp : L"");
        EXPECT_EQ(0, Extract(L"TEST_PAYLOAD", true).Result);
        const std::wstring expected = link ? std::wstring(windows) + L"\\Temp\\" : systemTemp + L"\\";
        EXPECT_EQ(expected, launcher.StagingDirectory.substr(0, expected.size())) << link;
        launcher.RemoveStagingDirectory();
    }
    RealOs.RemoveDirectoryW(systemTemp.c_str());
}

TEST_F(PayloadExtraction, WritesPackagesIntoTheProductFolderOverwritingAnEarlierFile)
{
    const std::wstring expectedPath = PackageFilePath();
    std::filesystem::create_directories(std::filesystem::path(ProductPackageFolderPath()));
    std::ofstream(std::filesystem::path(expectedPath), std::ios::binary) << std::string(4096, 'x');

    const Extraction extraction = Extract(L"TEST_PAYLOAD", false, Shipped::PackageFileName);

    ASSERT_EQ(0, extraction.Result) << extraction.Printed;
    EXPECT_EQ(expectedPath, extraction.OutputPath);
    EXPECT_EQ(PayloadBytes, ReadWholeFile(expectedPath));
    EXPECT_EQ("", extraction.Printed) << "an existing folder is no failure";
    EXPECT_TRUE(launcher.StagingDirectory.empty());
}

TEST_F(PayloadExtraction, MissingResourceTouchesNoFolder)
{
    const Extraction extraction = Extract(L"NOT_CARRIED", true);
    EXPECT_EQ(ERROR_RESOURCE_NAME_NOT_FOUND, extraction.Result);
    EXPECT_EQ("LocateResource failed (1814)\n", extraction.Printed);
    EXPECT_EQ(L"", extraction.OutputPath);
    EXPECT_TRUE(launcher.StagingDirectory.empty());
}

TEST_F(PayloadExtraction, EmptyResourceIsNotFoundAndNeverReadsAsSuccess)
{
    const Extraction extraction = Extract(L"EMPTY_PAYLOAD", true);
    EXPECT_NE(0, extraction.Result);
    EXPECT_EQ("LocateResource failed (" + std::to_string(extraction.Result) + ")\n", extraction.Printed);
    EXPECT_TRUE(launcher.StagingDirectory.empty());
}

TEST_F(PayloadExtraction, WindowsFolderQueryFailsAStagingRequest)
{
    auto failing = FailOsCall<&OsCallTable::GetSystemWindowsDirectoryW>(ERROR_ACCESS_DENIED);
    const Extraction extraction = Extract(L"TEST_PAYLOAD", true);
    EXPECT_EQ(ERROR_ACCESS_DENIED, extraction.Result);
    EXPECT_EQ("GetSystemWindowsDirectory failed (5)\n", extraction.Printed);
    EXPECT_EQ(L"", extraction.OutputPath);
    EXPECT_TRUE(launcher.StagingDirectory.empty());
}

TEST_F(PayloadExtraction, FolderFailuresLeaveTheOutputPathEmpty)
{
    {
        auto failing = FailOsCall<&OsCallTable::SHGetFolderPathW>(ERROR_ACCESS_DENIED);
        const Extraction extraction = Extract(L"TEST_PAYLOAD", false);
        EXPECT_EQ(static_cast<std::int32_t>(0x80070005), extraction.Result);
        EXPECT_EQ("SHGetFolderPath failed (-2147024891)\n", extraction.Printed);
        EXPECT_EQ(L"", extraction.OutputPath);
    }
    auto failing = FailOsCall<&OsCallTable::CreateDirectoryW>(ERROR_BAD_PATHNAME);
    const Extraction extraction = Extract(L"TEST_PAYLOAD", false);
    EXPECT_EQ(ERROR_BAD_PATHNAME, extraction.Result);
    EXPECT_EQ("CreateDirectory failed (161)\n", extraction.Printed);
    EXPECT_EQ(L"", extraction.OutputPath);
}

TEST_F(PayloadExtraction, PackageHeldOpenByAnotherProcessIsASharingViolation)
{
    ASSERT_EQ(0, Extract(L"TEST_PAYLOAD", false, Shipped::PackageFileName).Result);
    const std::wstring path = PackageFilePath();
    const HANDLE holder = RealOs.CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    const Extraction extraction = Extract(L"TEST_PAYLOAD", false, Shipped::PackageFileName);
    RealOs.CloseHandle(holder);
    EXPECT_EQ(ERROR_SHARING_VIOLATION, extraction.Result);
    EXPECT_EQ("DeleteFile failed (32)\n", extraction.Printed);
    EXPECT_EQ(path, extraction.OutputPath);
}

BOOL WINAPI ShortWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    return RealOs.WriteFile(file, data, size / 2, written, overlapped);
}

TEST_F(PayloadExtraction, FailedOrShortWriteIsReportedWithTheFullPath)
{
    {
        auto failing = FailOsCall<&OsCallTable::WriteFile>(ERROR_DISK_FULL);
        const Extraction extraction = Extract(L"TEST_PAYLOAD", true);
        EXPECT_EQ(ERROR_DISK_FULL, extraction.Result);
        EXPECT_EQ("WriteFile failed (112)\n", extraction.Printed);
        EXPECT_EQ(launcher.StagingDirectory + L"payload.exe", extraction.OutputPath);
    }
    OsOverride<&OsCallTable::WriteFile> shortWrite(&ShortWrite);
    const Extraction extraction = Extract(L"TEST_PAYLOAD", true, L"second.exe");
    EXPECT_EQ(1603, extraction.Result);
    EXPECT_EQ("WriteFile failed (1603)\n", extraction.Printed);
    EXPECT_TRUE(RealOs.DeleteFileW(extraction.OutputPath.c_str())) << "the file was closed";
}

BOOL WINAPI CloseThenFail(HANDLE handle)
{
    RealOs.CloseHandle(handle);
    RealOs.SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

TEST_F(PayloadExtraction, FailedCloseIsReported)
{
    // The staging folder first, so that the close that fails is the payload's.
    ASSERT_EQ(0, Extract(L"TEST_PAYLOAD", true, L"first.exe").Result);
    OsOverride<&OsCallTable::CloseHandle> failingClose(&CloseThenFail);
    const Extraction extraction = Extract(L"TEST_PAYLOAD", true);
    EXPECT_EQ(ERROR_INVALID_HANDLE, extraction.Result);
    EXPECT_EQ("CloseHandle failed (6)\n", extraction.Printed);
    EXPECT_EQ(launcher.StagingDirectory + L"payload.exe", extraction.OutputPath);
}

TEST_F(PayloadExtraction, GivesUpCreatingTheStagingFolderAfterSixteenAttempts)
{
    auto failing = FailOsCall<&OsCallTable::CreateDirectoryW>(ERROR_ACCESS_DENIED);
    CountedOsCall<&OsCallTable::CreateDirectoryW> directoryAttempts;
    const Extraction extraction = Extract(L"TEST_PAYLOAD", true);
    EXPECT_EQ(16, directoryAttempts.Calls());
    EXPECT_EQ(ERROR_ACCESS_DENIED, extraction.Result);
    EXPECT_EQ("CreateDirectory failed (5)\n", extraction.Printed);
    EXPECT_TRUE(launcher.StagingDirectory.empty());
    EXPECT_EQ(L"", extraction.OutputPath);
}

TEST_F(PayloadExtraction, AttemptWithoutAGuidTriesAgainWithAFreshOne)
{
    CountedOsCall<&OsCallTable::UuidCreate> guidsAsked(1, RPC_S_OUT_OF_MEMORY);
    const Extraction extraction = Extract(L"TEST_PAYLOAD", true);
    EXPECT_EQ(0, extraction.Result);
    EXPECT_EQ(2, guidsAsked.Calls());
    EXPECT_EQ(StagingRoot().size() + 37, launcher.StagingDirectory.size());
}

}  // namespace
