#include "ProductPackageFolder.h"

#include "FailureReport.h"
#include "FolderSecurity.h"
#include "../LauncherConfig.h"
#include "../ResultCodes.h"

namespace {

// One level below a folder that is safe already: made with the protected
// descriptor, or, when it exists, checked and taken over.
std::int32_t SecurePackageFolderLevel(
    const std::wstring& path, ProtectedDescriptor& descriptor, OwnershipPrivileges& privileges)
{
    if (Os.CreateDirectoryW(path.c_str(), descriptor.Attributes())) {
        return 0;
    }
    const DWORD error = Os.GetLastError();
    if (error != ERROR_ALREADY_EXISTS) {
        return ReportErrorCode("CreateDirectory", error);
    }
    return SecureExistingFolder(path, descriptor, privileges);
}

}  // namespace

std::int32_t OpenProductPackageFolder(std::wstring& folder)
{
    wchar_t commonAppData[512];
    const HRESULT found = Os.SHGetFolderPathW(/*hwnd=*/nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE,
        /*hToken=*/nullptr, SHGFP_TYPE_CURRENT, commonAppData);
    if (FAILED(found)) {
        return ReportFailure("SHGetFolderPath", found);
    }
    ProtectedDescriptor descriptor;
    if (const std::int32_t code = descriptor.Parse(PackageFolderDescriptor)) {
        return code;
    }
    // Enabled by the first level that exists, for the levels below it too.
    OwnershipPrivileges privileges;
    std::wstring path = commonAppData;
    for (const std::wstring& level : {std::wstring(L"Kesmora"), std::wstring(L"Installers"),
             std::wstring(LauncherConfig.ProductFolderName)}) {
        path += L"\\" + level;
        if (const std::int32_t code = SecurePackageFolderLevel(path, descriptor, privileges)) {
            return code;
        }
    }
    folder = path + L"\\";
    return 0;
}
