#include "../InstallerLauncher.h"

#include "FailureReport.h"
#include "FolderSecurity.h"
#include "../ResultCodes.h"
#include "../platform/Handles.h"

namespace {

struct LockedResource {
    const void* Data = nullptr;
    DWORD Size = 0;
};

// Finds a resource of the launcher's own executable. Returns 0 or the code of
// the failed lookup; a resource of length 0 counts as not found.
std::int32_t LocateResource(const std::wstring& name, const std::wstring& type, LockedResource& resource)
{
    const HMODULE self = Os.GetModuleHandleW(nullptr);
    const HRSRC found = Os.FindResourceW(self, name.c_str(), type.c_str());
    if (found != nullptr) {
        resource.Size = Os.SizeofResource(self, found);
        const HGLOBAL loaded = resource.Size != 0 ? Os.LoadResource(self, found) : nullptr;
        resource.Data = loaded != nullptr ? Os.LockResource(loaded) : nullptr;
    }
    if (resource.Data == nullptr) {
        return ReportLastError("LocateResource");
    }
    return 0;
}

// Writes the whole resource in one call, straight from the resource memory.
std::int32_t WritePayload(HANDLE file, const LockedResource& resource)
{
    DWORD written = 0;
    const BOOL wrote = Os.WriteFile(file, resource.Data, resource.Size, &written, nullptr);
    if (!wrote || written != resource.Size) {
        // A short write leaves a truncated file, which is no payload at all.
        return wrote ? ReportFailure("WriteFile", UnspecifiedFailure) : ReportLastError("WriteFile");
    }
    return 0;
}

// Opens the file just written for reading only, letting others only read it
// too, so that from now until the hold ends nobody can change, replace or
// delete it. Refuses a file that is no longer the one written, or that its
// path no longer leads to: what is started by that path is what was written.
std::int32_t HoldWrittenFile(const std::wstring& path, const BY_HANDLE_FILE_INFORMATION& written, FileHandle& held)
{
    FileHandle file(Os.CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, /*lpSecurityAttributes=*/nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, /*hTemplateFile=*/nullptr));
    if (!file.IsValid()) {
        return ReportLastError("CreateFile");
    }
    BY_HANDLE_FILE_INFORMATION opened;
    if (!Os.GetFileInformationByHandle(file.Get(), &opened)) {
        return ReportLastError("GetFileInformationByHandle");
    }
    if (!IsSameObject(written, opened) || opened.nNumberOfLinks != 1) {
        return ReportFailure("HoldPayload", ERROR_FILE_INVALID);
    }
    if (const std::int32_t code = ConfirmFinalPath(file.Get(), path, "HoldPayload")) {
        return code;
    }
    held = std::move(file);
    return 0;
}

// An earlier run's package, or whatever a user left under its name, goes by
// its own name: a link is removed, never followed, and a second name of
// another file leaves that file alone.
std::int32_t RemoveEarlierFile(const std::wstring& path)
{
    if (!Os.DeleteFileW(path.c_str()) && Os.GetLastError() != ERROR_FILE_NOT_FOUND) {
        return ReportLastError("DeleteFile");
    }
    return 0;
}

}  // namespace

std::int32_t CInstallerLauncher::ExtractPayload(const std::wstring& resourceName, const std::wstring& resourceType,
    const std::wstring& fileName, bool toStaging, std::wstring& outputPath)
{
    FileHandle released;
    return ExtractPayload(resourceName, resourceType, fileName, toStaging, outputPath, released);
}

std::int32_t CInstallerLauncher::ExtractPayload(const std::wstring& resourceName, const std::wstring& resourceType,
    const std::wstring& fileName, bool toStaging, std::wstring& outputPath, FileHandle& heldFile)
{
    outputPath.clear();
    LockedResource resource;
    if (const std::int32_t code = LocateResource(resourceName, resourceType, resource)) {
        return code;
    }
    FileHandle file;
    if (const std::int32_t code = OpenPayloadFile(fileName, toStaging, file, outputPath)) {
        return code;
    }
    // The file's identity is taken while it is empty: under Wine the query
    // is slower on a file with freshly written data.
    BY_HANDLE_FILE_INFORMATION written;
    if (!Os.GetFileInformationByHandle(file.Get(), &written)) {
        return ReportLastError("GetFileInformationByHandle");
    }
    if (const std::int32_t code = WritePayload(file.Get(), resource)) {
        return code;
    }
    if (!file.Close()) {
        return ReportLastError("CloseHandle");
    }
    return HoldWrittenFile(outputPath, written, heldFile);
}

std::int32_t CInstallerLauncher::OpenPayloadFile(
    const std::wstring& fileName, bool toStaging, FileHandle& file, std::wstring& outputPath)
{
    std::wstring folder;
    const std::int32_t folderResult = toStaging ? OpenStagingFolder(folder) : OpenPackageFolder(folder);
    if (folderResult != 0) {
        return folderResult;
    }
    outputPath = folder + fileName;
    if (!toStaging) {
        if (const std::int32_t code = RemoveEarlierFile(outputPath)) {
            return code;
        }
    }
    // A name that exists now was planted since: never write into it.
    file = FileHandle(Os.CreateFileW(outputPath.c_str(), GENERIC_READ | GENERIC_WRITE, /*dwShareMode=*/0,
        /*lpSecurityAttributes=*/nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, /*hTemplateFile=*/nullptr));
    if (!file.IsValid()) {
        return ReportLastError("CreateFile");
    }
    return 0;
}

std::int32_t CInstallerLauncher::OpenPackageFolder(std::wstring& folder)
{
    // An extraction writes into the folder it holds, which -extract named.
    if (RequestedVerb == Verb::Extract) {
        folder = ExtractFolder;
        return 0;
    }
    // Held since their check, the run's levels cannot have been renamed or
    // replaced: checking them again would only cost time.
    if (logFolder_.HoldsProductFolder(folder)) {
        return 0;
    }
    return packageFolder_.Open(folder);
}

std::int32_t CInstallerLauncher::OpenStagingFolder(std::wstring& folder)
{
    if (StagingDirectory.empty()) {
        if (const std::int32_t code = stagingFolder_.Create(StagingDirectory)) {
            return code;
        }
    }
    folder = StagingDirectory;
    return 0;
}
