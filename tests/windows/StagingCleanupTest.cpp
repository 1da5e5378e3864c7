// Removing the staging folder: one level of files, silently, and the member
// always emptied.
#include "InstallerLauncher.h"
#include "support/OsFailures.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool Exists(const std::wstring& path)
{
    return RealOs.GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CreateFile(const std::wstring& path)
{
    const HANDLE file = RealOs.CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    RealOs.CloseHandle(file);
}

int searches = 0;

HANDLE WINAPI CountingFindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATAW entry)
{
    ++searches;
    return RealOs.FindFirstFileW(pattern, entry);
}

class StagingCleanup : public testing::Test {
protected:
    void SetUp() override
    {
        folder = TemporaryFolder() + L"staging-cleanup-test\\";
        RealOs.CreateDirectoryW(folder.c_str(), nullptr);
        CreateFile(folder + L"vcredist_x86.exe");
        CreateFile(folder + L"vcredist_x64.exe");
        launcher.StagingDirectory = folder;
        searches = 0;
    }

    ScopedConfiguration configuration;
    CInstallerLauncher launcher;
    std::wstring folder;
    OsOverride<decltype(&::FindFirstFileW)> counting{&OsCallTable::FindFirstFileW, &CountingFindFirstFile};
};

TEST_F(StagingCleanup, RemovesTheStagedFilesAndTheFolder)
{
    launcher.RemoveStagingDirectory();
    EXPECT_FALSE(Exists(folder));
    EXPECT_TRUE(launcher.StagingDirectory.empty());
}

TEST_F(StagingCleanup, NothingStagedMeansNothingDone)
{
    launcher.StagingDirectory.clear();
    launcher.RemoveStagingDirectory();
    EXPECT_EQ(0, searches);
    EXPECT_TRUE(Exists(folder + L"vcredist_x86.exe"));
    launcher.StagingDirectory = folder;
    launcher.RemoveStagingDirectory();
}

TEST_F(StagingCleanup, FileThatCannotBeDeletedStaysWithTheFolderAndTheRestGoes)
{
    const HANDLE held = RealOs.CreateFileW(
        (folder + L"vcredist_x64.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    launcher.RemoveStagingDirectory();
    RealOs.CloseHandle(held);
    EXPECT_FALSE(Exists(folder + L"vcredist_x86.exe"));
    EXPECT_TRUE(Exists(folder + L"vcredist_x64.exe"));
    EXPECT_TRUE(launcher.StagingDirectory.empty());
    RealOs.DeleteFileW((folder + L"vcredist_x64.exe").c_str());
    RealOs.RemoveDirectoryW(folder.c_str());
}

TEST_F(StagingCleanup, SubdirectoryPlacedThereKeepsTheFolder)
{
    RealOs.CreateDirectoryW((folder + L"placed").c_str(), nullptr);
    launcher.RemoveStagingDirectory();
    EXPECT_TRUE(Exists(folder + L"placed"));
    EXPECT_FALSE(Exists(folder + L"vcredist_x86.exe"));
    RealOs.RemoveDirectoryW((folder + L"placed").c_str());
    RealOs.RemoveDirectoryW(folder.c_str());
}

TEST_F(StagingCleanup, VanishedFolderIsSilentAndTheMemberIsEmptied)
{
    RealOs.DeleteFileW((folder + L"vcredist_x86.exe").c_str());
    RealOs.DeleteFileW((folder + L"vcredist_x64.exe").c_str());
    RealOs.RemoveDirectoryW(folder.c_str());
    launcher.RemoveStagingDirectory();
    EXPECT_EQ(1, searches);
    EXPECT_TRUE(launcher.StagingDirectory.empty());
}

}  // namespace
