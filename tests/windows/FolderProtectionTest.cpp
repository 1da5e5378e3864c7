// What the elevated run keeps out of a standard user's reach: the descriptors
// of the folders it creates, package folder levels that exist already, names
// planted before it writes, and links where its folders should be.
#include "InstallerLauncher.h"
#include "ResultCodes.h"
#include "staging/FolderSecurity.h"
#include "support/DescriptorText.h"
#include "support/OsFailures.h"
#include "support/ScriptedChildren.h"
#include "support/ShownAsLink.h"
#include "support/TestConfiguration.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
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

std::wstring PackageRoot()
{
    const std::wstring folder = ProductPackageFolderPath();
    const std::wstring below = std::wstring(Shipped::InstallersFolderName) + L"\\" + Shipped::ProductFolderName + L"\\";
    return folder.substr(0, folder.size() - below.size());
}

std::vector<std::wstring> PackageLevels()
{
    const std::wstring root = PackageRoot();
    const std::wstring installers = root + Shipped::InstallersFolderName;
    return {root.substr(0, root.size() - 1), installers, installers + L"\\" + Shipped::ProductFolderName};
}

struct CreatedFolder {
    std::wstring Path;
    std::string Descriptor;
};
std::vector<CreatedFolder> createdFolders;

BOOL WINAPI RecordingCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES security)
{
    createdFolders.push_back({path, security != nullptr ? Narrow(OwnerAndAccessSddl(security)) : "inherited"});
    return RealOs.CreateDirectoryW(path, security);
}

class FolderProtection : public testing::Test {
protected:
    void SetUp() override
    {
        // The vendor's folder, and whatever earlier runs moved aside beside it.
        const std::filesystem::path root(PackageLevels()[0]);
        for (const auto& entry : std::filesystem::directory_iterator(root.parent_path())) {
            if (entry.path().filename().wstring().rfind(root.filename().wstring(), 0) == 0) {
                std::filesystem::remove_all(entry.path());
            }
        }
        createdFolders.clear();
    }
    void TearDown() override { launcher->RemoveStagingDirectory(); }

    std::int32_t Extract(bool toStaging, const wchar_t* fileName = Shipped::PackageFileName)
    {
        testing::internal::CaptureStdout();
        const std::int32_t result = launcher->ExtractPayload(L"TEST_PAYLOAD", L"EXE", fileName, toStaging, outputPath);
        printed = testing::internal::GetCapturedStdout();
        return result;
    }

    static void MakeEveryLevel() { std::filesystem::create_directories(std::filesystem::path(ProductPackageFolderPath())); }

    ScopedConfiguration configuration;
    std::unique_ptr<CInstallerLauncher> launcher = std::make_unique<CInstallerLauncher>();
    OsOverride<&OsCallTable::CreateDirectoryW> recording{&RecordingCreateDirectory};
    std::wstring outputPath;
    std::string printed;
};

TEST_F(FolderProtection, EveryFolderTheRunCreatesCarriesItsProtectedDescriptor)
{
    ASSERT_EQ(0, Extract(true, L"vcredist_x86.exe")) << printed;
    ASSERT_EQ(0, Extract(false)) << printed;
    ASSERT_EQ(5u, createdFolders.size());
    EXPECT_EQ(launcher->StagingDirectory, createdFolders[0].Path + L"\\");
    EXPECT_EQ(launcher->StagingDirectory + L"Temp", createdFolders[1].Path);
    for (size_t folder = 0; folder < 2; ++folder) {
        EXPECT_EQ(StagingSddl, createdFolders[folder].Descriptor);
    }
    const std::vector<std::wstring> levels = PackageLevels();
    for (size_t level = 0; level < levels.size(); ++level) {
        EXPECT_EQ(levels[level], createdFolders[level + 2].Path);
        EXPECT_EQ(PackageLevelSddl, createdFolders[level + 2].Descriptor) << Narrow(levels[level]);
    }
}

const wchar_t* const UserSid = L"S-1-5-21-1004336348-1177238915-682003330-1001";

PSECURITY_DESCRIPTOR Parsed(const std::wstring& sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr);
    return descriptor;
}

// Only a level no one but the system's accounts (and whoever owns the common
// application data folder) may change, in what its role forbids to others, is
// used as it is.
TEST(FolderTrust, OwnerAccessListAndRoleDecideTogether)
{
    const std::wstring user = UserSid;
    const std::wstring ours = L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
    // A folder an elevated installer made in ProgramData, inheriting its
    // entries: users may read, and add files and folders.
    const std::wstring programDataChild =
        L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)(A;CI;0x116;;;BU)";
    struct Case {
        std::wstring owner;
        std::wstring dacl;
        std::wstring systemOwner;
        bool shared;
        bool package;
        bool logs;
    };
    const Case cases[] = {
        {L"BA", ours, L"SY", true, true, false},
        {L"SY", ours, L"SY", true, true, false},
        {L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", ours, L"SY", true, true, false},
        {user, ours, L"SY", false, false, false},
        {L"BA", L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", L"SY", true, true, true},
        {L"BA", programDataChild, L"SY", true, false, false},
        {L"BA", ours + L"(A;OICIIO;FA;;;CO)", L"SY", true, false, false},
        {L"BA", L"(A;;FA;;;WD)", L"SY", false, false, false},
        {L"BA", L"(A;;GRGX;;;BU)(A;;FA;;;BA)", L"SY", true, true, false},
        // GENERIC_WRITE maps to FILE_GENERIC_WRITE: no deletion among it.
        {L"BA", L"(A;;GW;;;BU)", L"SY", true, false, false},
        {L"BA", L"(A;;GA;;;BU)", L"SY", false, false, false},
        {L"BA", L"(A;;SD;;;BU)", L"SY", false, false, false},
        {L"BA", L"(A;;0x40;;;BU)", L"SY", false, false, false},
        {L"BA", L"(A;;WD;;;BU)", L"SY", false, false, false},
        {L"BA", L"(A;;WO;;;BU)", L"SY", false, false, false},
        {L"BA", programDataChild + L"(A;CI;0x1301bf;;;BU)", L"SY", false, false, false},
        {L"BA", L"(D;;FA;;;BU)(A;;FA;;;BA)", L"SY", true, true, true},
        // Under Wine the user owns the common application data folder and
        // everything below it, and the access list comes from the mode bits:
        // 700, 755, 777.
        {user, L"(A;OICI;FA;;;SY)(A;OICI;FA;;;" + user + L")", user, true, true, true},
        {user, L"(A;OICI;FA;;;SY)(A;OICI;FA;;;" + user + L")(A;OICI;0x1200a9;;;WD)", user, true, true, false},
        {user, L"(A;OICI;FA;;;SY)(A;OICI;FA;;;" + user + L")(A;OICI;0x1301ff;;;WD)", user, false, false, false},
    };
    for (const Case& c : cases) {
        const LocalMemory folder(Parsed(L"O:" + c.owner + L"D:" + c.dacl));
        const LocalMemory systemOwner(Parsed(L"O:" + c.systemOwner));
        PSID owner = nullptr;
        PSID systemOwnerSid = nullptr;
        PACL dacl = nullptr;
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        ASSERT_TRUE(GetSecurityDescriptorOwner(folder.Get(), &owner, &defaulted)) << Narrow(c.owner + c.dacl);
        ASSERT_TRUE(GetSecurityDescriptorDacl(folder.Get(), &present, &dacl, &defaulted));
        ASSERT_TRUE(GetSecurityDescriptorOwner(systemOwner.Get(), &systemOwnerSid, &defaulted));
        for (const auto& [role, expected] : {std::pair{FolderRole::Shared, c.shared},
                 std::pair{FolderRole::Package, c.package}, std::pair{FolderRole::Private, c.logs}}) {
            bool trusted = !expected;
            ASSERT_EQ(0, IsTrustedFolderSecurity(owner, dacl, systemOwnerSid, role, trusted));
            EXPECT_EQ(expected, trusted) << Narrow(L"O:" + c.owner + L" D:" + c.dacl) << " as " << int(role);
            // No access list at all gives everyone everything.
            ASSERT_EQ(0, IsTrustedFolderSecurity(owner, nullptr, systemOwnerSid, role, trusted));
            EXPECT_FALSE(trusted);
        }
    }
}

// The level the faked query reports as writable by users.
std::wstring untrustedLevel;

std::wstring FinalPath(HANDLE object)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetFinalPathNameByHandleW(object, path, MAX_PATH, 0);
    return std::wstring(path, length).substr(4);
}

DWORD WINAPI UsersMayWriteInOneLevel(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION parts, PSID* owner,
    PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor)
{
    if (_wcsicmp(FinalPath(object).c_str(), untrustedLevel.c_str()) != 0) {
        return RealOs.GetSecurityInfo(object, type, parts, owner, group, dacl, sacl, descriptor);
    }
    *descriptor = Parsed(std::wstring(L"O:") + UserSid + L"D:(A;OICI;FA;;;WD)");
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    GetSecurityDescriptorOwner(*descriptor, owner, &defaulted);
    GetSecurityDescriptorDacl(*descriptor, &present, dacl, &defaulted);
    return ERROR_SUCCESS;
}

std::vector<std::wstring> MovedAside(const std::wstring& level)
{
    std::vector<std::wstring> moved;
    const std::filesystem::path path(level);
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.rfind(path.filename().wstring() + L".untrusted-", 0) == 0) {
            moved.push_back(entry.path().wstring());
        }
    }
    return moved;
}

void Plant(const std::wstring& path, const char* text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(std::filesystem::path(path)) << text;
}

// A level someone else may change is never used nor changed: whoever made it
// may hold a handle that keeps their rights. It is moved aside with what is
// in it, and the level is made anew: a level of the run's own whatever it
// holds, a shared one when it holds nothing but this launcher's levels.
TEST_F(FolderProtection, LevelOthersMayChangeIsMovedAsideAndMadeAnew)
{
    OsOverride<&OsCallTable::GetSecurityInfo> query(&UsersMayWriteInOneLevel);
    const std::vector<std::wstring> levels = PackageLevels();
    const std::wstring earlierProduct = levels[2] + L".untrusted-{earlier}\\" + Shipped::PackageFileName;
    for (const auto& [index, planted] : {std::pair{0u, levels[2] + L"\\ours.txt"},
             std::pair{1u, earlierProduct}, std::pair{2u, levels[2] + L"\\planted.txt"}}) {
        const std::wstring& level = levels[index];
        SetUp();
        MakeEveryLevel();
        Plant(planted, "theirs");
        untrustedLevel = level;
        ASSERT_EQ(0, Extract(false)) << printed;
        EXPECT_EQ(PayloadBytes, ReadWholeFile(outputPath));
        const std::vector<std::wstring> moved = MovedAside(level);
        ASSERT_EQ(1u, moved.size()) << Narrow(level);
        EXPECT_EQ("theirs", ReadWholeFile(moved[0] + planted.substr(level.size())));
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(planted)));
        // Each level is asked for once; the moved one, and the levels below
        // it that went with it, are made anew.
        ASSERT_EQ(levels.size() + 1, createdFolders.size());
        EXPECT_EQ(level, createdFolders[index + 1].Path);
        EXPECT_EQ(PackageLevelSddl, createdFolders[index + 1].Descriptor);
        launcher->RemoveStagingDirectory();
        launcher = std::make_unique<CInstallerLauncher>();
    }
}

// A shared level others may change that holds what another product keeps
// there (a folder, a file, a moved-aside installers' level an earlier
// version made, which may hold other products) is neither used nor moved:
// nothing is written, and the line names the level.
TEST_F(FolderProtection, SharedLevelHoldingAnotherProductsFilesIsNeitherUsedNorMoved)
{
    OsOverride<&OsCallTable::GetSecurityInfo> query(&UsersMayWriteInOneLevel);
    const std::vector<std::wstring> levels = PackageLevels();
    for (const auto& [index, planted] : {std::pair{0u, levels[0] + L"\\OtherProduct\\settings.ini"},
             std::pair{0u, levels[0] + L"\\readme.txt"},
             std::pair{0u, levels[1] + L".untrusted-{earlier}\\OtherProduct\\package.msi"},
             std::pair{1u, levels[1] + L"\\OtherProduct\\package.msi"}}) {
        SetUp();
        MakeEveryLevel();
        Plant(planted, "theirs");
        untrustedLevel = levels[index];
        launcher = std::make_unique<CInstallerLauncher>();
        EXPECT_EQ(SharedFolderRefused, Extract(false)) << Narrow(planted);
        EXPECT_EQ("SecureFolder failed (145): " + Narrow(levels[index]) +
                " is shared, others may change it, and it holds more than this product's folders\n",
            printed);
        EXPECT_EQ(L"", outputPath);
        EXPECT_EQ("theirs", ReadWholeFile(planted));
        EXPECT_TRUE(MovedAside(levels[index]).empty());
        // Each level down to the refused one is asked for once; none is made.
        EXPECT_EQ(index + 1, createdFolders.size());
        // Refused for the rest of the run, without a second look or line.
        EXPECT_EQ(SharedFolderRefused, Extract(false));
        EXPECT_EQ("", printed);
    }
}

std::wstring WithoutTrailingBackslash(const std::wstring& folder)
{
    return folder.substr(0, folder.size() - 1);
}

// The support logs and Windows Installer's logs list property values: only
// SYSTEM and Administrators may read them, and a Logs folder that lets users
// read is moved aside with the logs in it, as a level of the run's own.
TEST_F(FolderProtection, LogsFolderIsForSystemAndAdministratorsAlone)
{
    ProductPackageFolder folders;
    std::wstring logs;
    ASSERT_EQ(0, folders.OpenLogs(logs));
    ASSERT_EQ(4u, createdFolders.size());
    EXPECT_EQ(logs, createdFolders[3].Path + L"\\");
    EXPECT_EQ(StagingSddl, createdFolders[3].Descriptor);
    folders.Release();
    // What the run made is trusted when the next run finds it.
    ASSERT_EQ(0, folders.OpenLogs(logs));
    folders.Release();
    EXPECT_TRUE(MovedAside(WithoutTrailingBackslash(logs)).empty());

    // Made as every user may read it: mode 755 under Wine.
    std::filesystem::remove_all(std::filesystem::path(logs));
    Plant(logs + L"earlier.log", "earlier run");
    ASSERT_EQ(0, folders.OpenLogs(logs));
    const std::vector<std::wstring> moved = MovedAside(WithoutTrailingBackslash(logs));
    ASSERT_EQ(1u, moved.size());
    EXPECT_EQ("earlier run", ReadWholeFile(moved[0] + L"\\earlier.log"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(logs + L"earlier.log")));
}

// The path of every open of a package folder level or of the Logs folder.
std::map<std::wstring, int> levelOpens;

HANDLE WINAPI CountingLevelOpens(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
    DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if ((flags & FILE_FLAG_BACKUP_SEMANTICS) != 0) {
        ++levelOpens[path];
    }
    return RealOs.CreateFileW(path, access, share, security, disposition, flags, templateFile);
}

class WholeRun : public FolderProtection {
protected:
    int Run(const std::wstring& arguments)
    {
        arguments_ = arguments;
        launcher->m_lpCmdLine = arguments_.c_str();
        testing::internal::CaptureStdout();
        launcher->InitInstance();
        printed = testing::internal::GetCapturedStdout();
        return launcher->ExitInstance();
    }

    ScriptedChildren children;
    std::wstring arguments_;
};

// The levels the log's folder holds are the ones the package is written
// below: each is opened, checked and held once a run.
TEST_F(WholeRun, ChecksEachLevelOnce)
{
    levelOpens.clear();
    OsOverride<&OsCallTable::CreateFileW> counting(&CountingLevelOpens);
    MakeEveryLevel();
    ASSERT_EQ(0, Run(L"")) << printed;
    std::vector<std::wstring> levels = PackageLevels();
    levels.push_back(WithoutTrailingBackslash(SupportLogFolderPath()));
    for (const std::wstring& level : levels) {
        EXPECT_EQ(1, levelOpens[level]) << Narrow(level);
    }
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(PackageFilePath())));
}

// A shared level that can be neither used nor moved aside ends the run with
// its own code before anything is staged or run, whichever log it keeps.
TEST_F(WholeRun, SharedLevelThatCanBeNeitherUsedNorMovedEndsTheRunBeforeAnything)
{
    OsOverride<&OsCallTable::GetSecurityInfo> query(&UsersMayWriteInOneLevel);
    const std::wstring namedLog = TemporaryFolder() + L"named.log";
    for (const std::wstring& arguments : {std::wstring(), L"-log \"" + namedLog + L"\""}) {
        SetUp();
        MakeEveryLevel();
        const std::wstring theirs = PackageLevels()[0] + L"\\OtherProduct\\settings.ini";
        Plant(theirs, "theirs");
        untrustedLevel = PackageLevels()[0];
        launcher = std::make_unique<CInstallerLauncher>();
        EXPECT_EQ(SharedFolderRefused, Run(arguments)) << Narrow(arguments);
        EXPECT_TRUE(children.Requests.empty());
        // Only the attempt at the level and, since the Logs folder cannot be
        // had, a log folder apart.
        const auto staged = std::count_if(createdFolders.begin(), createdFolders.end(), [](const CreatedFolder& made) {
            return made.Path.find(L"InstallerLauncher-Logs-") == std::wstring::npos;
        });
        ASSERT_EQ(1, staged) << "nothing is staged";
        const std::string line = "SecureFolder failed (145): " + Narrow(untrustedLevel);
        EXPECT_EQ(printed.find(line), printed.rfind(line)) << printed;
        EXPECT_NE(std::string::npos, printed.find(line)) << printed;
        EXPECT_EQ("theirs", ReadWholeFile(theirs));
        EXPECT_TRUE(MovedAside(untrustedLevel).empty());
    }
    std::filesystem::remove(std::filesystem::path(namedLog));
}

BOOL WINAPI NameTakenAgain(LPCWSTR path, LPSECURITY_ATTRIBUTES security)
{
    if (path == untrustedLevel && !MovedAside(untrustedLevel).empty()) {
        RealOs.CreateDirectoryW(path, nullptr);
    }
    return RecordingCreateDirectory(path, security);
}

TEST_F(FolderProtection, LevelMadeAgainUnderTheNameOnceMovedAsideIsRefused)
{
    OsOverride<&OsCallTable::GetSecurityInfo> query(&UsersMayWriteInOneLevel);
    OsOverride<&OsCallTable::CreateDirectoryW> taken(&NameTakenAgain);
    MakeEveryLevel();
    untrustedLevel = PackageLevels()[2];
    EXPECT_EQ(ERROR_ALREADY_EXISTS, Extract(false));
    EXPECT_EQ("CreateDirectory failed (183)\n", printed);
    EXPECT_EQ(L"", outputPath);
}

// Held without delete sharing until Windows Installer has ended.
TEST_F(FolderProtection, EveryLevelIsHeldSoThatNoneCanBeRenamedAway)
{
    ASSERT_EQ(0, Extract(false)) << printed;
    for (const std::wstring& level : PackageLevels()) {
        EXPECT_FALSE(MoveFileExW(level.c_str(), (level + L"-moved").c_str(), 0)) << Narrow(level);
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    }
    launcher = std::make_unique<CInstallerLauncher>();
    const std::wstring product = PackageLevels()[2];
    ASSERT_TRUE(MoveFileExW(product.c_str(), (product + L"-moved").c_str(), 0));
    std::filesystem::remove_all(std::filesystem::path(product + L"-moved"));
}

std::wstring redirectedPath;

DWORD WINAPI FinalPathElsewhere(HANDLE object, LPWSTR path, DWORD length, DWORD flags)
{
    const DWORD real = RealOs.GetFinalPathNameByHandleW(object, path, length, flags);
    if (real != 0 && _wcsicmp(path + 4, redirectedPath.c_str()) == 0) {
        const std::wstring elsewhere = std::wstring(L"\\\\?\\C:\\users\\theirs\\") + Shipped::PackageFileName;
        elsewhere.copy(path, elsewhere.size());
        path[elsewhere.size()] = L'\0';
        return static_cast<DWORD>(elsewhere.size());
    }
    return real;
}

// Whatever is held must be what its path leads to: a path that leads
// elsewhere (a link on the way) is refused before anything uses it.
TEST_F(FolderProtection, HeldObjectThatItsPathNoLongerLeadsToIsRefused)
{
    OsOverride<&OsCallTable::GetFinalPathNameByHandleW> finalPath(&FinalPathElsewhere);
    const struct {
        std::wstring path;
        const char* line;
    } cases[] = {
        {PackageFilePath(), "HoldPayload failed (4395)\n"},
        {PackageLevels()[1], "SecureFolder failed (4395)\n"},
    };
    for (const auto& c : cases) {
        launcher = std::make_unique<CInstallerLauncher>();
        redirectedPath = c.path;
        EXPECT_EQ(ReparsePointRefused, Extract(false)) << Narrow(c.path);
        EXPECT_EQ(c.line, printed);
    }
}

bool linkSeenOnOpen = false;

BOOL WINAPI AttributesByHandleWithLink(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information)
{
    const BOOL read = RealOs.GetFileInformationByHandle(file, information);
    if (read && linkSeenOnOpen && (information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        information->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    return read;
}

TEST_F(FolderProtection, LinkAtAnyLevelIsRefusedAndNothingIsWrittenThroughIt)
{
    OsOverride<&OsCallTable::GetFileInformationByHandle> information(&AttributesByHandleWithLink);
    struct Case {
        size_t level;
        bool onOpen;  // a link swapped in after the first look
    };
    for (const Case& c : {Case{0, false}, Case{1, false}, Case{2, false}, Case{0, true}}) {
        MakeEveryLevel();
        RealOs.DeleteFileW(PackageFilePath().c_str());
        const std::wstring linkedPath = PackageLevels()[c.level];
        linkSeenOnOpen = c.onOpen;
        const ShownAsLink attributes(c.onOpen ? L"" : linkedPath);
        EXPECT_EQ(4395, Extract(false)) << Narrow(linkedPath) << c.onOpen;
        EXPECT_EQ("SecureFolder failed (4395)\n", printed);
        EXPECT_EQ(L"", outputPath);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
            RealOs.GetFileAttributesW(PackageFilePath().c_str()));
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
    GetFileInformationByHandleEx(object, FileAttributeTagInfo, &attributes, sizeof(attributes));
    if ((attributes.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return RealOs.GetSecurityInfo(object, type, parts, owner, group, dacl, sacl, descriptor);
    }
    *descriptor = Parsed(std::wstring(L"O:") + UserSid);
    BOOL defaulted = FALSE;
    GetSecurityDescriptorOwner(*descriptor, owner, &defaulted);
    return ERROR_SUCCESS;
}

TEST_F(FolderProtection, StagingFolderThatIsNotOursIsRefusedAndOursKeepsOnlyWhatIsStaged)
{
    ASSERT_EQ(0, Extract(true, L"vcredist_x86.exe")) << printed;
    const std::filesystem::path ours(launcher->StagingDirectory);
    std::vector<std::filesystem::path> staged(std::filesystem::directory_iterator(ours), {});
    std::sort(staged.begin(), staged.end());
    EXPECT_EQ((std::vector<std::filesystem::path>{ours / "Temp", ours / "vcredist_x86.exe"}), staged);
    launcher->RemoveStagingDirectory();

    OsOverride<&OsCallTable::GetSecurityInfo> query(&FolderOwnedByAUser);
    createdFolders.clear();
    EXPECT_EQ(ERROR_INVALID_OWNER, Extract(true, L"vcredist_x86.exe"));
    EXPECT_EQ("SecureFolder failed (1307)\n", printed);
    EXPECT_TRUE(launcher->StagingDirectory.empty());
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
    const std::wstring package = PackageFilePath();
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
