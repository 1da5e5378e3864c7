#include "FolderSecurity.h"

#include "FailureReport.h"
#include "../ResultCodes.h"

namespace {

// TrustedInstaller, the owner Windows gives its own folders.
constexpr const wchar_t* TrustedInstallerSid = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// A level that is a link, or no folder at all, is refused, never written
// through.
std::int32_t RefuseUnlessPlainFolder(DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return ReportFailure("SecureFolder", ReparsePointRefused);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return ReportFailure("SecureFolder", ERROR_DIRECTORY);
    }
    return 0;
}

// The owner of an object, and the memory that holds it.
struct RecordedOwner {
    PSID Owner = nullptr;
    LocalMemory Memory;
};

std::int32_t ReadOwner(HANDLE object, RecordedOwner& recorded)
{
    PSECURITY_DESCRIPTOR queried = nullptr;
    const DWORD read = Os.GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &recorded.Owner,
        /*ppsidGroup=*/nullptr, /*ppDacl=*/nullptr, /*ppSacl=*/nullptr, &queried);
    if (read != ERROR_SUCCESS) {
        return ReportErrorCode("GetSecurityInfo", read);
    }
    recorded.Memory = LocalMemory(queried);
    return 0;
}

std::int32_t IsTrustedOwner(HANDLE folder, bool& trusted)
{
    RecordedOwner recorded;
    if (const std::int32_t code = ReadOwner(folder, recorded)) {
        return code;
    }
    const PSID owner = recorded.Owner;
    PSID trustedInstaller = nullptr;
    if (!Os.ConvertStringSidToSidW(TrustedInstallerSid, &trustedInstaller)) {
        return ReportLastError("ConvertStringSidToSid");
    }
    const LocalMemory trustedInstallerMemory(trustedInstaller);
    trusted = Os.IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || Os.IsWellKnownSid(owner, WinLocalSystemSid) ||
        Os.EqualSid(owner, trustedInstaller);
    return 0;
}

}  // namespace

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

bool IsPlainFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool IsSameObject(const BY_HANDLE_FILE_INFORMATION& first, const BY_HANDLE_FILE_INFORMATION& second)
{
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
        first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

std::int32_t SecureExistingFolder(
    const std::wstring& path, const ProtectedDescriptor& descriptor, OwnershipPrivileges& privileges)
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
    if (const std::int32_t code = privileges.Enable()) {
        return code;
    }
    // Without delete sharing: the open fails while anyone else holds the
    // level with the right to rename it away.
    FileHandle folder(Os.CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER,
        FILE_SHARE_READ | FILE_SHARE_WRITE, /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr));
    if (!folder.IsValid()) {
        return ReportLastError("CreateFile");
    }
    // Only the attributes: the whole by-handle record also asks for the
    // volume's serial number, which costs more than the rest of this level.
    FILE_ATTRIBUTE_TAG_INFO opened;
    if (!Os.GetFileInformationByHandleEx(folder.Get(), FileAttributeTagInfo, &opened, sizeof(opened))) {
        return ReportLastError("GetFileInformationByHandleEx");
    }
    // A link swapped in since the first look is refused as well.
    if (const std::int32_t code = RefuseUnlessPlainFolder(opened.FileAttributes)) {
        return code;
    }
    bool trusted = false;
    if (const std::int32_t code = IsTrustedOwner(folder.Get(), trusted)) {
        return code;
    }
    if (trusted) {
        return 0;
    }
    // A null DACL would give everyone full control of the folder.
    const PSID owner = descriptor.Owner();
    if (owner == nullptr) {
        return ReportLastError("GetSecurityDescriptorOwner");
    }
    const PACL dacl = descriptor.Dacl();
    if (dacl == nullptr) {
        return ReportLastError("GetSecurityDescriptorDacl");
    }
    const DWORD reset = Os.SetSecurityInfo(folder.Get(), SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, owner,
        /*psidGroup=*/nullptr, dacl, /*pSacl=*/nullptr);
    if (reset != ERROR_SUCCESS) {
        return ReportErrorCode("SetSecurityInfo", reset);
    }
    return 0;
}
