#include "ProductPackageFolder.h"

#include "FailureReport.h"
#include "FolderSecurity.h"
#include "GuidText.h"
#include "../DiagnosticLine.h"
#include "../LauncherConfig.h"
#include "../ResultCodes.h"
#include "../log/LogLine.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace {

// Enough to read a level's security and identity, and to list it: without a
// right to the folder's data the system would not count the hold against
// those who open the level to rename it. Never the right to delete: a level
// held with it would stop the level below from being moved aside.
constexpr DWORD HeldLevelAccess = READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY;
// Others may read and write in a held level, never rename or delete it.
constexpr DWORD HeldLevelSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
// What follows a moved-aside level's name, before the GUID that makes it new.
constexpr const wchar_t* MovedAsideMark = L".untrusted-";

// Opens the object at path itself: a link is opened, not followed.
FileHandle OpenLevel(const std::wstring& path, DWORD access)
{
    return FileHandle(Os.CreateFileW(path.c_str(), access, HeldLevelSharing, /*lpSecurityAttributes=*/nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr));
}

// The owner of the common application data folder, who could replace
// anything below it anyway.
std::int32_t ReadSystemOwner(const std::wstring& commonAppData, RecordedOwner& owner)
{
    const DWORD read = Os.GetNamedSecurityInfoW(commonAppData.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
        &owner.Owner, /*ppsidGroup=*/nullptr, /*ppDacl=*/nullptr, /*ppSacl=*/nullptr, owner.Memory.Put());
    if (read != ERROR_SUCCESS) {
        return ReportErrorCode("GetNamedSecurityInfo", read);
    }
    return 0;
}

// A level the run has just made: nobody else can have opened it, and only
// the held path leads to it.
std::int32_t HoldNewLevel(const std::wstring& path, FileHandle& held)
{
    return HoldConfirmedFolder(path, HeldLevelAccess, "SecureFolder", held);
}

// Renames the level at path, which must still be the object identity
// describes, to a name of its own beside it. The rename goes through a
// handle to the object itself, so a link in its place is moved, never
// followed, and whoever holds the old folder keeps it there.
std::int32_t MoveAside(const std::wstring& path, const BY_HANDLE_FILE_INFORMATION& identity)
{
    FileHandle level = OpenLevel(path, DELETE | FILE_READ_ATTRIBUTES);
    if (!level.IsValid()) {
        return ReportLastError("CreateFile");
    }
    BY_HANDLE_FILE_INFORMATION opened;
    if (!Os.GetFileInformationByHandle(level.Get(), &opened)) {
        return ReportLastError("GetFileInformationByHandle");
    }
    if (!IsSameObject(identity, opened)) {
        return ReportFailure("SecureFolder", ERROR_FILE_INVALID);
    }
    std::wstring guid;
    if (const std::int32_t code = MakeGuidText(guid)) {
        return code;
    }
    const std::wstring target = path + MovedAsideMark + guid;
    const std::size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    target.copy(rename->FileName, target.size());
    if (!Os.SetFileInformationByHandle(level.Get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
        return ReportLastError("SetFileInformationByHandle");
    }
    if (!level.Close()) {
        return ReportLastError("CloseHandle");
    }
    return 0;
}

// The product package folder's levels below the common application data
// folder, then the support logs' folder below them, each with its role.
struct Level {
    const wchar_t* Name;
    FolderRole Role;
};

auto Levels()
{
    return std::array{Level{LauncherConfig.VendorFolderName, FolderRole::Shared},
        Level{LauncherConfig.InstallersFolderName, FolderRole::Shared},
        Level{LauncherConfig.ProductFolderName, FolderRole::Package}, Level{L"Logs", FolderRole::Private}};
}
constexpr std::size_t ProductLevels = 3;

const wchar_t* DescriptorOf(FolderRole role)
{
    return role == FolderRole::Private ? LogsFolderDescriptor : PackageFolderDescriptor;
}

// Whether a listed entry of the shared level at this index is one this
// launcher makes there: the next level down, and below the installers'
// level also the product folders earlier runs moved aside, which hold
// nothing but this product's files. A moved-aside installers' level may hold
// other products' folders, so it is never taken for one of ours.
bool IsLevelOfOurs(const WIN32_FIND_DATAW& entry, std::size_t index)
{
    const Level next = Levels()[index + 1];
    const std::wstring name = entry.cFileName;
    const std::wstring movedAside = std::wstring(next.Name) + MovedAsideMark;
    return IsPlainFolder(entry.dwFileAttributes) &&
        (SamePath(name, next.Name) ||
            (next.Role != FolderRole::Shared && SamePath(name.substr(0, movedAside.size()), movedAside)));
}

// Whether the shared level at path, at this index, holds nothing but
// levels this launcher makes. Listed by its path: this level and every one
// above it are held without delete sharing, so the path still leads to the
// folder that was checked. Returns 0, or the failing call's code after
// printing its line.
std::int32_t HoldsOnlyLevelsOfOurs(const std::wstring& path, std::size_t index, bool& ours)
{
    WIN32_FIND_DATAW entry;
    FindHandle search(Os.FindFirstFileW((path + L"\\*").c_str(), &entry));
    if (!search.IsValid()) {
        return ReportLastError("FindFirstFile");
    }
    do {
        ours = IsDotEntry(entry.cFileName) || IsLevelOfOurs(entry, index);
    } while (ours && Os.FindNextFileW(search.Get(), &entry));
    if (ours && Os.GetLastError() != ERROR_NO_MORE_FILES) {
        return ReportLastError("FindNextFile");
    }
    return 0;
}

// A shared level others may change, holding what another product keeps
// there: moving it aside would take their files from under them, using it
// would let anyone replace what the run writes below. The run may do
// neither.
std::int32_t RefuseSharedLevel(const std::wstring& path)
{
    const std::string line = "SecureFolder failed (" + std::to_string(SharedFolderRefused) + "): " +
        ToUtf8(path) + " is shared, others may change it, and it holds more than this product's folders";
    WriteDiagnosticLine(line.c_str(), LogLevel::Error);
    return SharedFolderRefused;
}

// Whether an existing level that is not trusted may be moved aside: one of
// the run's own may always; a shared one only when it holds nothing but
// levels this launcher makes. Returns 0, SharedFolderRefused after its line,
// or the failing call's code after printing its line.
std::int32_t MayMoveAside(const std::wstring& path, std::size_t index)
{
    if (Levels()[index].Role != FolderRole::Shared) {
        return 0;
    }
    bool ours = false;
    if (const std::int32_t code = HoldsOnlyLevelsOfOurs(path, index, ours)) {
        return code;
    }
    return ours ? 0 : RefuseSharedLevel(path);
}

// A level that exists already: a link or a file is refused; a folder trusted
// for its role is held as it is; any other is moved aside when its role
// allows and made anew, since whoever could write in it may still hold a
// handle that keeps that right.
std::int32_t SecureExistingLevel(const std::wstring& path, std::size_t index, PSID systemOwner,
    ProtectedDescriptor& descriptor, FileHandle& held)
{
    // Asked of the path without a trailing backslash, which would follow a
    // link and show its target.
    const DWORD attributes = Os.GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return ReportLastError("GetFileAttributes");
    }
    if (const std::int32_t code = RefuseUnlessPlainFolder(attributes)) {
        return code;
    }
    FileHandle level = OpenLevel(path, HeldLevelAccess);
    if (!level.IsValid()) {
        return ReportLastError("CreateFile");
    }
    BY_HANDLE_FILE_INFORMATION identity;
    if (!Os.GetFileInformationByHandle(level.Get(), &identity)) {
        return ReportLastError("GetFileInformationByHandle");
    }
    // A link swapped in since the first look is refused as well.
    if (const std::int32_t code = RefuseUnlessPlainFolder(identity.dwFileAttributes)) {
        return code;
    }
    if (const std::int32_t code = ConfirmFinalPath(level.Get(), path, "SecureFolder")) {
        return code;
    }
    bool trusted = false;
    if (const std::int32_t code = IsTrustedFolder(level.Get(), systemOwner, Levels()[index].Role, trusted)) {
        return code;
    }
    if (trusted) {
        held = std::move(level);
        return 0;
    }
    if (const std::int32_t code = MayMoveAside(path, index)) {
        return code;
    }
    // Let go first: the hold shares no deletion, not even with the run.
    if (!level.Close()) {
        return ReportLastError("CloseHandle");
    }
    if (const std::int32_t code = MoveAside(path, identity)) {
        return code;
    }
    // A folder put under the name again since is someone else's: refused.
    if (!Os.CreateDirectoryW(path.c_str(), descriptor.Attributes())) {
        return ReportLastError("CreateDirectory");
    }
    return HoldNewLevel(path, held);
}

// The level at this index, at path, one below a level that is safe already.
std::int32_t SecureLevel(const std::wstring& path, std::size_t index, PSID systemOwner, FileHandle& held)
{
    ProtectedDescriptor descriptor;
    if (const std::int32_t code = descriptor.Parse(DescriptorOf(Levels()[index].Role))) {
        return code;
    }
    if (Os.CreateDirectoryW(path.c_str(), descriptor.Attributes())) {
        return HoldNewLevel(path, held);
    }
    const DWORD error = Os.GetLastError();
    if (error != ERROR_ALREADY_EXISTS) {
        return ReportErrorCode("CreateDirectory", error);
    }
    return SecureExistingLevel(path, index, systemOwner, descriptor, held);
}

}  // namespace

std::wstring ProductFolderBelowCommonAppData()
{
    const auto levels = Levels();
    std::wstring path = levels[0].Name;
    for (std::size_t level = 1; level < ProductLevels; ++level) {
        path += L"\\";
        path += levels[level].Name;
    }
    return path;
}

std::int32_t ProductPackageFolder::Open(std::wstring& folder)
{
    return OpenLevels(ProductLevels, folder);
}

std::int32_t ProductPackageFolder::OpenLogs(std::wstring& folder)
{
    return OpenLevels(ProductLevels + 1, folder);
}

bool ProductPackageFolder::HoldsProductFolder(std::wstring& folder) const
{
    if (held_ < ProductLevels) {
        return false;
    }
    folder = LevelPath(ProductLevels) + L"\\";
    return true;
}

std::int32_t ProductPackageFolder::OpenLevels(std::size_t count, std::wstring& folder)
{
    if (refused_) {
        return SharedFolderRefused;
    }
    if (held_ < count) {
        if (const std::int32_t code = HoldLevels(count)) {
            Release();
            refused_ = code == SharedFolderRefused;
            return code;
        }
    }
    folder = LevelPath(count) + L"\\";
    return 0;
}

std::int32_t ProductPackageFolder::HoldLevels(std::size_t count)
{
    if (held_ == 0) {
        wchar_t commonAppData[512];
        const HRESULT found = Os.SHGetFolderPathW(/*hwnd=*/nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE,
            /*hToken=*/nullptr, SHGFP_TYPE_CURRENT, commonAppData);
        if (FAILED(found)) {
            return ReportFailure("SHGetFolderPath", found);
        }
        commonAppData_ = commonAppData;
    }
    RecordedOwner systemOwner;
    if (const std::int32_t code = ReadSystemOwner(commonAppData_, systemOwner)) {
        return code;
    }
    for (; held_ < count; ++held_) {
        if (const std::int32_t code = SecureLevel(LevelPath(held_ + 1), held_, systemOwner.Owner, levels_[held_])) {
            return code;
        }
    }
    return 0;
}

std::wstring ProductPackageFolder::LevelPath(std::size_t count) const
{
    std::wstring path = commonAppData_;
    const auto levels = Levels();
    for (std::size_t level = 0; level < count; ++level) {
        path += L"\\";
        path += levels[level].Name;
    }
    return path;
}

void ProductPackageFolder::Release()
{
    // The deepest level first, the way they were taken.
    for (std::size_t level = MostLevels; level-- > 0;) {
        levels_[level].Close();
    }
    held_ = 0;
}
