// What the elevated run keeps out of a standard user's reach: the descriptors
// of the folders it creates, package folder levels that exist already, names
// planted before it writes, and links where its folders should be.
#include "InstallerLauncher.h"
#include "support/OsFailures.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string PayloadBytes = "stand-in payload bytes\n";
const std::string StagingSddl = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const std::string PackageLevelSddl = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::string Sddl(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION parts)
{
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, parts, &text, nullptr)) {
        return "unreadable";
    }
    const std::string result = Narrow(text);
    LocalFree(text);
    return result;
}

std::wstring PackageRoot()
{
    const std::wstring folder = ProductPackageFolderPath();
    return folder.substr(0, folder.size() - std::wstring(L"Installers\\TAVRIN\\").size());
}

std::vector<std::wstring> PackageLevels()
{
    const std::wstring root = PackageRoot();
    return {root.substr(0, root.size() - 1), root + L"Installers", root + L"Installers\\TAVRIN"};
}

struct CreatedFolder {
    std::wstring Path;
    std::string Descriptor;
};
std::vector<CreatedFolder> createdFolders;

BOOL WINAPI RecordingCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES security)
{
    createdFolders.push_back({path, security != nullptr ? Sddl(security->lpSecurityDescriptor,
        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION) : "inherited"});
    return RealOs.CreateDirectoryW(path, security);
}

class FolderProtection : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::remove_all(std::filesystem::path(PackageRoot()));
        createdFolders.clear();
    }
    void TearDown() override { launcher.RemoveStagingDirectory(); }

    std::int32_t Extract(bool toStaging, const wchar_t* fileName = L"KesmoraInstaller.msi")
    {
        testing::internal::CaptureStdout();
        const std::int32_t result = launcher.ExtractPayload(L"TEST_PAYLOAD", L"EXE", fileName, toStaging, outputPath);
        printed = testing::internal::GetCapturedStdout();
        return result;
    }

    static void MakeEveryLevel() { std::filesystem::create_directories(std::filesystem::path(ProductPackageFolderPath())); }

    ScopedConfiguration configuration;
    CInstallerLauncher launcher;
    OsOverride<decltype(&::CreateDirectoryW)> recording{&OsCallTable::CreateDirectoryW, &RecordingCreateDirectory};
    std::wstring outputPath;
    std::string printed;
};

TEST_F(FolderProtection, EveryFolderTheRunCreatesCarriesItsProtectedDescriptor)
{
    ASSERT_EQ(0, Extract(true, L"vcredist_x86.exe")) << printed;
    ASSERT_EQ(0, Extract(false)) << printed;
    ASSERT_EQ(4u, createdFolders.size());
    EXPECT_EQ(launcher.StagingDirectory, createdFolders[0].Path + L"\\");
    EXPECT_EQ(StagingSddl, createdFolders[0].Descriptor);
    const std::vector<std::wstring> levels = PackageLevels();
    for (size_t level = 0; level < levels.size(); ++level) {
        EXPECT_EQ(levels[level], createdFolders[level + 1].Path);
        EXPECT_EQ(PackageLevelSddl, createdFolders[level + 1].Descriptor) << Narrow(levels[level]);
    }
}

// Owners that the faked query reports, and what the run then sets.
std::wstring reportedOwner;
struct Reset {
    std::string Owner;
    std::string Dacl;
    SECURITY_INFORMATION Parts;
};
std::vector<Reset> resets;

DWORD WINAPI OwnerQuery(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID* owner, PSID*, PACL*, PACL*,
    PSECURITY_DESCRIPTOR* descriptor)
{
    ConvertStringSecurityDescriptorToSecurityDescriptorW((L"O:" + reportedOwner).c_str(), SDDL_REVISION_1,
        descriptor, nullptr);
    BOOL defaulted = FALSE;
    GetSecurityDescriptorOwner(*descriptor, owner, &defaulted);
    return ERROR_SUCCESS;
}

DWORD WINAPI RecordingSetSecurityInfo(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION parts, PSID owner,
    PSID group, PACL dacl, PACL sacl)
{
    SECURITY_DESCRIPTOR readable;
    InitializeSecurityDescriptor(&readable, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorOwner(&readable, owner, FALSE);
    SetSecurityDescriptorDacl(&readable, TRUE, dacl, FALSE);
    resets.push_back({Sddl(&readable, OWNER_SECURITY_INFORMATION), Sddl(&readable, DACL_SECURITY_INFORMATION), parts});
    return RealOs.SetSecurityInfo(object, type, parts, owner, group, dacl, sacl);
}

TEST_F(FolderProtection, LevelOwnedByAStandardUserIsTakenOverAndTrustedOwnersAreLeftAlone)
{
    OsOverride query(&OsCallTable::GetSecurityInfo, &OwnerQuery);
    OsOverride setting(&OsCallTable::SetSecurityInfo, &RecordingSetSecurityInfo);
    struct Case {
        const wchar_t* owner;
        size_t resets;
    };
    for (const Case& c : {Case{L"S-1-5-21-1004336348-1177238915-682003330-1001", 3}, Case{L"BA", 0}, Case{L"SY", 0},
             Case{L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", 0}}) {
        MakeEveryLevel();
        reportedOwner = c.owner;
        resets.clear();
        ASSERT_EQ(0, Extract(false)) << printed;
        ASSERT_EQ(c.resets, resets.size()) << Narrow(c.owner);
        for (const Reset& reset : resets) {
            EXPECT_EQ("O:BA", reset.Owner);
            EXPECT_EQ("D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", reset.Dacl);
            EXPECT_EQ(static_cast<SECURITY_INFORMATION>(OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                          PROTECTED_DACL_SECURITY_INFORMATION),
                reset.Parts);
        }
        EXPECT_EQ(PayloadBytes, ReadWholeFile(outputPath));
    }
}

std::wstring linkedPath;
bool linkSeenOnOpen = false;

DWORD WINAPI AttributesWithLink(LPCWSTR path)
{
    const DWORD attributes = RealOs.GetFileAttributesW(path);
    return path == linkedPath && !linkSeenOnOpen ? attributes | FILE_ATTRIBUTE_REPARSE_POINT : attributes;
}

BOOL WINAPI AttributesByHandleWithLink(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information, DWORD size)
{
    const BOOL read = RealOs.GetFileInformationByHandleEx(file, kind, information, size);
    auto* attributes = static_cast<FILE_ATTRIBUTE_TAG_INFO*>(information);
    if (read && kind == FileAttributeTagInfo && linkSeenOnOpen &&
        (attributes->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        attributes->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    return read;
}

TEST_F(FolderProtection, LinkAtAnyLevelIsRefusedAndNothingIsWrittenThroughIt)
{
    OsOverride attributes(&OsCallTable::GetFileAttributesW, &AttributesWithLink);
    OsOverride information(&OsCallTable::GetFileInformationByHandleEx, &AttributesByHandleWithLink);
    struct Case {
        size_t level;
        bool onOpen;  // a link swapped in after the first look
    };
    for (const Case& c : {Case{0, false}, Case{1, false}, Case{2, false}, Case{0, true}}) {
        MakeEveryLevel();
        RealOs.DeleteFileW((ProductPackageFolderPath() + L"KesmoraInstaller.msi").c_str());
        linkedPath = PackageLevels()[c.level];
        linkSeenOnOpen = c.onOpen;
        EXPECT_EQ(4395, Extract(false)) << Narrow(linkedPath) << c.onOpen;
        EXPECT_EQ("SecureFolder failed (4395)\n", printed);
        EXPECT_EQ(L"", outputPath);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
            RealOs.GetFileAttributesW((ProductPackageFolderPath() + L"KesmoraInstaller.msi").c_str()));
    }
}

TEST_F(FolderProtection, FileInPlaceOfALevelIsRefused)
{
    std::ofstream(std::filesystem::path(PackageLevels()[0])) << "not a folder";
    EXPECT_EQ(ERROR_DIRECTORY, Extract(false));
    EXPECT_EQ("SecureFolder failed (267)\n", printed);
    RealOs.DeleteFileW(PackageLevels()[0].c_str());
}

// A user's own folder in place of the staging folder: its owner is that user,
// while what the run creates is owned by Administrators. Files report the
// owner the system really records.
DWORD WINAPI FolderOwnedByAUser(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION parts, PSID* owner,
    PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor)
{
    FILE_ATTRIBUTE_TAG_INFO attributes = {};
    RealOs.GetFileInformationByHandleEx(object, FileAttributeTagInfo, &attributes, sizeof(attributes));
    if ((attributes.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return RealOs.GetSecurityInfo(object, type, parts, owner, group, dacl, sacl, descriptor);
    }
    reportedOwner = L"S-1-5-21-1004336348-1177238915-682003330-1001";
    return OwnerQuery(object, type, parts, owner, group, dacl, sacl, descriptor);
}

TEST_F(FolderProtection, StagingFolderThatIsNotOursIsRefusedAndOursKeepsOnlyWhatIsStaged)
{
    ASSERT_EQ(0, Extract(true, L"vcredist_x86.exe")) << printed;
    const std::filesystem::path ours(launcher.StagingDirectory);
    std::vector<std::filesystem::path> staged(std::filesystem::directory_iterator(ours), {});
    EXPECT_EQ(std::vector<std::filesystem::path>{ours / "vcredist_x86.exe"}, staged);
    launcher.RemoveStagingDirectory();

    OsOverride query(&OsCallTable::GetSecurityInfo, &FolderOwnedByAUser);
    createdFolders.clear();
    EXPECT_EQ(ERROR_INVALID_OWNER, Extract(true, L"vcredist_x86.exe"));
    EXPECT_EQ("SecureFolder failed (1307)\n", printed);
    EXPECT_TRUE(launcher.StagingDirectory.empty());
    EXPECT_TRUE(outputPath.empty());
    ASSERT_EQ(1u, createdFolders.size());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(createdFolders[0].Path)));
}

TEST_F(FolderProtection, StagedNameThatExistsAlreadyIsNeverWrittenInto)
{
    ASSERT_EQ(0, Extract(true, L"vcredist_x86.exe"));
    const std::wstring staged = outputPath;
    std::ofstream(std::filesystem::path(staged), std::ios::binary) << "planted";
    EXPECT_EQ(ERROR_FILE_EXISTS, Extract(true, L"vcredist_x86.exe"));
    EXPECT_EQ("CreateFile failed (80)\n", printed);
    EXPECT_EQ("planted", ReadWholeFile(staged));
}

TEST_F(FolderProtection, PackageNameThatIsASecondNameOfAnotherFileLeavesThatFileAlone)
{
    MakeEveryLevel();
    const std::wstring victim = PackageRoot() + L"victim.txt";
    std::ofstream(std::filesystem::path(victim), std::ios::binary) << "victim bytes";
    const std::wstring package = ProductPackageFolderPath() + L"KesmoraInstaller.msi";
    ASSERT_TRUE(CreateHardLinkW(package.c_str(), victim.c_str(), nullptr));

    ASSERT_EQ(0, Extract(false)) << printed;
    EXPECT_EQ("victim bytes", ReadWholeFile(victim));
    EXPECT_EQ(PayloadBytes, ReadWholeFile(package));
    const HANDLE file = RealOs.CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION information;
    ASSERT_TRUE(RealOs.GetFileInformationByHandle(file, &information));
    RealOs.CloseHandle(file);
    EXPECT_EQ(1u, information.nNumberOfLinks);
}

}  // namespace
