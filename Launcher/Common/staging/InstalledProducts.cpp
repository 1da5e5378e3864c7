#include "InstalledProducts.h"

#include "../ResultCodes.h"
#include "../platform/SystemFolders.h"
#include "FailureReport.h"

bool InstalledProducts::AnyInstalled(const ProductCodeList& codes, std::wstring& found)
{
    if (codes.Count == 0 || !Load()) {
        return false;
    }
    for (std::int32_t i = 0; i < codes.Count; ++i) {
        const INSTALLSTATE state = Os.MsiQueryProductStateW(codes.Codes[i]);
        switch (state) {
        case INSTALLSTATE_DEFAULT:
            found = codes.Codes[i];
            return true;
        // Not installed, only advertised, or installed for another user only:
        // none of these gives this machine the runtime.
        case INSTALLSTATE_UNKNOWN:
        case INSTALLSTATE_ADVERTISED:
        case INSTALLSTATE_ABSENT:
            break;
        default:
            ReportOnce("MsiQueryProductStateW", state);
            break;
        }
    }
    return false;
}

// Loaded by its full path in the system folder, and its own dependencies
// looked for beside it first, so that no folder a user can write in is
// searched for it.
bool InstalledProducts::Load()
{
    if (msi_.IsValid() || loadFailed_) {
        return msi_.IsValid();
    }
    std::wstring path;
    const char* failedCall = "GetSystemDirectoryW";
    if (SystemFolder(path)) {
        path += L"\\msi.dll";
        failedCall = "LoadLibraryExW";
        msi_ = ModuleHandle(Os.LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    }
    if (!msi_.IsValid()) {
        loadFailed_ = true;
        ReportOnce(failedCall, FailureCode(Os.GetLastError()));
    }
    return msi_.IsValid();
}

void InstalledProducts::ReportOnce(const char* call, std::int32_t code)
{
    if (!failureReported_) {
        failureReported_ = true;
        ReportFailure(call, code);
    }
}
