#include "../InstallerLauncher.h"

#include "FailureReport.h"
#include "FolderSecurity.h"
#include "PayloadPresence.h"
#include "../LauncherConfig.h"
#include "../log/RunEvents.h"
#include "../platform/ProtectedDescriptor.h"

namespace {

// The prerequisites go out under the names they are staged with, the names
// their makers give them.
struct Prerequisite {
    const wchar_t* Resource;
    const wchar_t* FileName;
};
constexpr Prerequisite Prerequisites[] = {
    {L"VC2005_REDIST_32", L"vcredist_x86.exe"}, {L"VC2005_REDIST_64", L"vcredist_x64.exe"}};

// The folder an administrator named, made when missing with the package
// folder's descriptor (users may read what is there, never change it), and
// used as it is when it exists: it is theirs to choose. Either way it is
// held without delete sharing while the files are written, and refused when
// it is a link or a link lies on the way to it (its final path differs), so
// nothing is written where a user pointed it. Returns 0 with folder, as
// named, made its full path with a trailing backslash, or the failing
// operation's code after printing its line.
std::int32_t HoldExtractionFolder(std::wstring& folder, FileHandle& held)
{
    std::wstring path;
    if (const std::int32_t code = MakeFullPath(folder, path)) {
        return code;
    }
    ProtectedDescriptor descriptor;
    if (const std::int32_t code = descriptor.Parse(PackageFolderDescriptor)) {
        return code;
    }
    if (!Os.CreateDirectoryW(path.c_str(), descriptor.Attributes()) && Os.GetLastError() != ERROR_ALREADY_EXISTS) {
        return ReportLastError("CreateDirectory");
    }
    if (const std::int32_t code = HoldConfirmedFolder(path, FILE_READ_ATTRIBUTES, "SecureFolder", held)) {
        return code;
    }
    path += L'\\';
    folder.swap(path);
    return 0;
}

}  // namespace

std::int32_t CInstallerLauncher::ExtractPackages()
{
    FileHandle held;
    std::int32_t result = HoldExtractionFolder(ExtractFolder, held);
    for (const Prerequisite& prerequisite : Prerequisites) {
        if (result == 0 && CarriesExecutablePayload(prerequisite.Resource)) {
            result = ExtractPackage(prerequisite.Resource, L"EXE", prerequisite.FileName);
        }
    }
    // The driver packages under the names the README's detection table gives.
    for (std::int32_t i = 0; result == 0 && i < LauncherConfig.DriverProductCodes.Count; ++i) {
        const wchar_t* const resource = LauncherConfig.DriverPackageResources[i];
        result = ExtractPackage(resource, L"MSI", std::wstring(resource) + L".msi");
    }
    return result;
}

// Written as the package is into the package folder: an existing file goes
// by its own name first, the new one is made new and confirmed by its final
// path.
std::int32_t CInstallerLauncher::ExtractPackage(
    const wchar_t* resource, const wchar_t* type, const std::wstring& fileName)
{
    std::wstring path;
    const std::int32_t result = ExtractPayload(resource, type, fileName, false, path);
    if (result == 0) {
        LogPackageWritten(resource, path);
    }
    return result;
}
