#include "FolderSecurity.h"

#include "FailureReport.h"
#include "../ResultCodes.h"

#include <cstddef>
#include <cwchar>

namespace {

// TrustedInstaller, the owner Windows gives its own folders.
constexpr const wchar_t* TrustedInstallerSid = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// What users may have on a product folder: read and execute, in the
// file-specific or the generic form.
constexpr ACCESS_MASK ReadAndExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | GENERIC_READ | GENERIC_EXECUTE;
// What lets someone delete, rename or replace what is in a folder, or change
// the folder's owner or access list. GENERIC_ALL maps to FILE_ALL_ACCESS,
// which holds them all; GENERIC_WRITE maps to FILE_GENERIC_WRITE, which holds
// none of them.
constexpr ACCESS_MASK ChangeRights = DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;

// The rights an allowing entry for anyone else must not hold.
ACCESS_MASK ForbiddenToOthers(FolderRole role)
{
    switch (role) {
    case FolderRole::Shared:
        return ChangeRights;
    case FolderRole::Package:
        return ~ReadAndExecute;
    case FolderRole::Private:
        break;
    }
    return ~ACCESS_MASK{0};
}

// The prefix of a final path that names a local or network path.
constexpr wchar_t LocalPathPrefix[] = L"\\\\?\\";
constexpr wchar_t NetworkPathPrefix[] = L"\\\\?\\UNC\\";

// The final path in the form the run names paths in: "C:\..." or "\\server\...".
std::wstring WithoutFinalPathPrefix(const std::wstring& finalPath)
{
    if (finalPath.compare(0, std::size(NetworkPathPrefix) - 1, NetworkPathPrefix) == 0) {
        return L"\\" + finalPath.substr(std::size(NetworkPathPrefix) - 2);
    }
    if (finalPath.compare(0, std::size(LocalPathPrefix) - 1, LocalPathPrefix) == 0) {
        return finalPath.substr(std::size(LocalPathPrefix) - 1);
    }
    return finalPath;
}


// The accounts that may write below a level: the system's own, and whoever
// owns the common application data folder.
class TrustedAccounts {
public:
    std::int32_t Load(PSID systemOwner)
    {
        systemOwner_ = systemOwner;
        if (!Os.ConvertStringSidToSidW(TrustedInstallerSid, trustedInstaller_.Put())) {
            return ReportLastError("ConvertStringSidToSid");
        }
        return 0;
    }

    bool Contains(PSID sid) const
    {
        return Os.IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || Os.IsWellKnownSid(sid, WinLocalSystemSid) ||
            Os.EqualSid(sid, trustedInstaller_.Get()) || (systemOwner_ != nullptr && Os.EqualSid(sid, systemOwner_));
    }

private:
    PSID systemOwner_ = nullptr;
    LocalMemory trustedInstaller_;
};

// Whether one entry leaves the level to the trusted accounts: an entry that
// denies takes nothing away from them, and one that allows gives anyone else
// no more than the role lets them have.
std::int32_t IsTrustedEntry(
    const ACL* dacl, DWORD index, const TrustedAccounts& accounts, FolderRole role, bool& trusted)
{
    void* entry = nullptr;
    if (!Os.GetAce(const_cast<ACL*>(dacl), index, &entry)) {
        return ReportLastError("GetAce");
    }
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
        trusted = true;
        return 0;
    }
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
        trusted = false;
        return 0;
    }
    if (role == FolderRole::Shared && (header->AceFlags & INHERIT_ONLY_ACE) != 0) {
        trusted = true;
        return 0;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    trusted = accounts.Contains(&allowed->SidStart) || (allowed->Mask & ForbiddenToOthers(role)) == 0;
    return 0;
}

}  // namespace

std::int32_t ReadOwner(HANDLE object, RecordedOwner& recorded)
{
    const DWORD read = Os.GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &recorded.Owner,
        /*ppsidGroup=*/nullptr, /*ppDacl=*/nullptr, /*ppSacl=*/nullptr, recorded.Memory.Put());
    if (read != ERROR_SUCCESS) {
        return ReportErrorCode("GetSecurityInfo", read);
    }
    return 0;
}

bool IsPlainFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

std::int32_t RefuseUnlessPlainFolder(DWORD attributes, const char* refusal)
{
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return ReportFailure(refusal, ReparsePointRefused);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return ReportFailure(refusal, ERROR_DIRECTORY);
    }
    return 0;
}

bool IsDotEntry(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

bool IsSameObject(const BY_HANDLE_FILE_INFORMATION& first, const BY_HANDLE_FILE_INFORMATION& second)
{
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
        first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

bool SamePath(const std::wstring& first, const std::wstring& second)
{
    return Os.CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
               static_cast<int>(second.size()), /*bIgnoreCase=*/TRUE) == CSTR_EQUAL;
}

std::int32_t MakeFullPath(const std::wstring& path, std::wstring& fullPath)
{
    wchar_t full[MAX_PATH * 2];
    const DWORD length =
        Os.GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(full)), full, /*lpFilePart=*/nullptr);
    if (length == 0) {
        return ReportLastError("GetFullPathName");
    }
    // Longer than any final path the confirmation can read.
    if (length >= std::size(full)) {
        return ReportFailure("GetFullPathName", ERROR_FILENAME_EXCED_RANGE);
    }
    fullPath.assign(full, length);
    return 0;
}

std::int32_t HoldConfirmedFolder(const std::wstring& path, DWORD access, const char* refusal, FileHandle& held)
{
    FileHandle opened(Os.CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
        /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
        /*hTemplateFile=*/nullptr));
    if (!opened.IsValid()) {
        return ReportLastError("CreateFile");
    }
    if (const std::int32_t code = ConfirmFinalPath(opened.Get(), path, refusal)) {
        return code;
    }
    // A junction opened as itself has its own path as its final path: only
    // its attributes tell it from a folder, and a file made below it by name
    // would land wherever it points.
    BY_HANDLE_FILE_INFORMATION identity;
    if (!Os.GetFileInformationByHandle(opened.Get(), &identity)) {
        return ReportLastError("GetFileInformationByHandle");
    }
    if (const std::int32_t code = RefuseUnlessPlainFolder(identity.dwFileAttributes, refusal)) {
        return code;
    }
    held = std::move(opened);
    return 0;
}

std::int32_t ConfirmFinalPath(HANDLE object, const std::wstring& path, const char* refusal)
{
    wchar_t finalPath[MAX_PATH * 2];
    const DWORD length = Os.GetFinalPathNameByHandleW(
        object, finalPath, static_cast<DWORD>(std::size(finalPath)), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) {
        return ReportLastError("GetFinalPathNameByHandle");
    }
    // A path longer than any the run makes cannot be one of its paths.
    if (length >= std::size(finalPath) ||
        !SamePath(WithoutFinalPathPrefix(std::wstring(finalPath, length)), path)) {
        return ReportFailure(refusal, ReparsePointRefused);
    }
    return 0;
}

std::int32_t ConfirmFolderIsOurs(HANDLE folder, const std::wstring& path, ProtectedDescriptor& descriptor)
{
    // Gone when closed; a name planted in a folder of someone else's fails.
    FileHandle reference(Os.CreateFileW((path + L"\\OwnerReference.tmp").c_str(), READ_CONTROL | DELETE,
        /*dwShareMode=*/0, descriptor.Attributes(), CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
        /*hTemplateFile=*/nullptr));
    if (!reference.IsValid()) {
        return ReportLastError("CreateFile");
    }
    RecordedOwner expected;
    RecordedOwner found;
    if (const std::int32_t code = ReadOwner(reference.Get(), expected)) {
        return code;
    }
    if (const std::int32_t code = ReadOwner(folder, found)) {
        return code;
    }
    if (!reference.Close()) {
        return ReportLastError("CloseHandle");
    }
    if (!Os.EqualSid(expected.Owner, found.Owner)) {
        return ReportFailure("SecureFolder", ForeignFolderRefused);
    }
    return 0;
}

std::int32_t IsTrustedFolderSecurity(PSID owner, const ACL* dacl, PSID systemOwner, FolderRole role, bool& trusted)
{
    TrustedAccounts accounts;
    if (const std::int32_t code = accounts.Load(systemOwner)) {
        return code;
    }
    trusted = dacl != nullptr && accounts.Contains(owner);
    for (DWORD index = 0; trusted && index < dacl->AceCount; ++index) {
        if (const std::int32_t code = IsTrustedEntry(dacl, index, accounts, role, trusted)) {
            return code;
        }
    }
    return 0;
}

std::int32_t IsTrustedFolder(HANDLE folder, PSID systemOwner, FolderRole role, bool& trusted)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    LocalMemory descriptor;
    const DWORD read = Os.GetSecurityInfo(folder, SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, /*ppsidGroup=*/nullptr, &dacl,
        /*ppSacl=*/nullptr, descriptor.Put());
    if (read != ERROR_SUCCESS) {
        return ReportErrorCode("GetSecurityInfo", read);
    }
    return IsTrustedFolderSecurity(owner, dacl, systemOwner, role, trusted);
}
