// Removing the staging folder: everything below it, never through a link,
// silently, and the member always emptied.
#include "InstallerLauncher.h"
#include "support/CountedOsCall.h"
#include "support/OsFailures.h"
#include "support/ShownAsLink.h"
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

class StagingCleanup : public testing::Test {
protected:
    void SetUp() override
    {
        folder = TemporaryFolder() + L"staging-cleanup-test\\";
        RealOs.CreateDirectoryW(folder.c_str(), nullptr);
        CreateFile(folder + L"vcredist_x86.exe");
        CreateFile(folder + L"vcredist_x64.exe");
        launcher.StagingDirectory = folder;
    }

    ScopedConfiguration configuration;
    CInstallerLauncher launcher;
    std::wstring folder;
    CountedOsCall<&OsCallTable::FindFirstFileW> searches;
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
    EXPECT_EQ(0, searches.Calls());
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

std::wstring linkName;

// The entry of that name shows as a link, the way a junction would.
void AsLink(LPWIN32_FIND_DATAW entry)
{
    if (entry->cFileName == linkName) {
        entry->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
}

HANDLE WINAPI FindingALink(LPCWSTR pattern, LPWIN32_FIND_DATAW entry)
{
    const HANDLE search = RealOs.FindFirstFileW(pattern, entry);
    AsLink(entry);
    return search;
}

BOOL WINAPI FindingALinkNext(HANDLE search, LPWIN32_FIND_DATAW entry)
{
    const BOOL found = RealOs.FindNextFileW(search, entry);
    AsLink(entry);
    return found;
}

// What a child left in its temporary folder goes, however deep; a link
// found there is removed itself and what it points at is left alone.
TEST_F(StagingCleanup, FoldersLeftInsideGoWithTheirFilesButALinkIsNeverFollowed)
{
    RealOs.CreateDirectoryW((folder + L"Temp").c_str(), nullptr);
    RealOs.CreateDirectoryW((folder + L"Temp\\unpacked").c_str(), nullptr);
    CreateFile(folder + L"Temp\\unpacked\\setup.msi");
    RealOs.CreateDirectoryW((folder + L"Temp\\link").c_str(), nullptr);
    CreateFile(folder + L"Temp\\link\\victim.txt");
    linkName = L"link";
    {
        OsOverride<&OsCallTable::FindFirstFileW> first(&FindingALink);
        OsOverride<&OsCallTable::FindNextFileW> next(&FindingALinkNext);
        launcher.RemoveStagingDirectory();
    }
    EXPECT_FALSE(Exists(folder + L"Temp\\unpacked"));
    EXPECT_TRUE(Exists(folder + L"Temp\\link\\victim.txt")) << "nothing is deleted through a link";
    RealOs.DeleteFileW((folder + L"Temp\\link\\victim.txt").c_str());
    for (const wchar_t* left : {L"Temp\\link", L"Temp", L""}) {
        RealOs.RemoveDirectoryW((folder + left).c_str());
    }
}

TEST_F(StagingCleanup, VanishedFolderIsSilentAndTheMemberIsEmptied)
{
    RealOs.DeleteFileW((folder + L"vcredist_x86.exe").c_str());
    RealOs.DeleteFileW((folder + L"vcredist_x64.exe").c_str());
    RealOs.RemoveDirectoryW(folder.c_str());
    launcher.RemoveStagingDirectory();
    EXPECT_EQ(0, searches.Calls()) << "a folder that is not there is not searched";
    EXPECT_TRUE(launcher.StagingDirectory.empty());
}

// The folder a run stages into, made and held by the launcher itself.
class HeldStagingFolder : public testing::Test {
protected:
    void SetUp() override
    {
        std::wstring path;
        ASSERT_EQ(0, launcher.ExtractPayload(L"TEST_PAYLOAD", L"EXE", L"vcredist_x86.exe", true, path));
        staged = path;
        folder = launcher.StagingDirectory.substr(0, launcher.StagingDirectory.size() - 1);
    }

    ScopedConfiguration configuration;
    CInstallerLauncher launcher;
    std::wstring staged;
    std::wstring folder;
};

TEST_F(HeldStagingFolder, CannotBeRenamedAwayWhileTheRunHoldsIt)
{
    const std::wstring elsewhere = folder + L"-moved";
    EXPECT_FALSE(MoveFileExW(folder.c_str(), elsewhere.c_str(), 0));
    launcher.RemoveStagingDirectory();
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(Exists(elsewhere));
}

// The folder the launcher opens in place of the one at impostorFor.
std::wstring impostorFor;
std::wstring impostor;

HANDLE WINAPI OpenImpostorInstead(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
    DWORD disposition, DWORD flags, HANDLE templateFile)
{
    const std::wstring opened = path == impostorFor ? impostor : path;
    return RealOs.CreateFileW(opened.c_str(), access, share, security, disposition, flags, templateFile);
}

TEST_F(HeldStagingFolder, LinkOrAnotherFolderUnderItsNameIsNeverEmptied)
{
    impostor = StagingRoot() + L"impostor";
    RealOs.CreateDirectoryW(impostor.c_str(), nullptr);
    {
        const ShownAsLink link(folder);
        launcher.RemoveStagingDirectory();
    }
    EXPECT_TRUE(Exists(staged)) << "nothing is deleted through a link";
    EXPECT_TRUE(launcher.StagingDirectory.empty());

    launcher.StagingDirectory.clear();
    std::wstring path;
    ASSERT_EQ(0, launcher.ExtractPayload(L"TEST_PAYLOAD", L"EXE", L"vcredist_x86.exe", true, path));
    impostorFor = launcher.StagingDirectory.substr(0, launcher.StagingDirectory.size() - 1);
    {
        OsOverride<&OsCallTable::CreateFileW> other(&OpenImpostorInstead);
        launcher.RemoveStagingDirectory();
    }
    EXPECT_TRUE(Exists(path)) << "the path no longer names the folder the run holds";

    for (const std::wstring& file : {staged, path}) {
        RealOs.DeleteFileW(file.c_str());
        RealOs.RemoveDirectoryW(file.substr(0, file.find_last_of(L'\\')).c_str());
    }
    RealOs.RemoveDirectoryW(impostor.c_str());
}

}  // namespace
