#include "ProductPackageFolder.h"

#include "FailureReport.h"
#include "../LauncherConfig.h"
#include "../platform/OsCalls.h"

std::int32_t OpenProductPackageFolder(std::wstring& folder)
{
    wchar_t commonAppData[512];
    const HRESULT found = Os.SHGetFolderPathW(/*hwnd=*/nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE,
        /*hToken=*/nullptr, SHGFP_TYPE_CURRENT, commonAppData);
    if (FAILED(found)) {
        ReportFailure("SHGetFolderPath", found);
        return found;
    }
    const std::wstring path =
        std::wstring(commonAppData) + L"\\Kesmora\\Installers\\" + LauncherConfig.ProductFolderName;
    const int created = Os.SHCreateDirectoryExW(/*hwnd=*/nullptr, path.c_str(), /*psa=*/nullptr);
    if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS) {
        ReportFailure("SHCreateDirectoryEx", created);
        return created;
    }
    folder = path + L"\\";
    return 0;
}
