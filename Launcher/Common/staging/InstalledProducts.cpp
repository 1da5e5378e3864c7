#include "InstalledProducts.h"

#include "../ResultCodes.h"
#include "../platform/SystemFolders.h"
#include "FailureReport.h"

#include <string_view>

bool InstalledProducts::AnyInstalled(const ProductCodeList& codes, std::wstring& found)
{
    if (codes.Count == 0 || !Load()) {
        return false;
    }
    for (std::int32_t i = 0; i < codes.Count; ++i) {
        if (InstalledForMachine(codes.Codes[i])) {
            found = codes.Codes[i];
            return true;
        }
    }
    return false;
}

// Only an installation for the whole machine counts. Any user can install a
// package for themselves, without administrator rights, under whatever
// product code they like; asking in every context would let the user who
// started this elevated run make it skip a runtime that is not there.
// Advertised (state "1") leaves the runtime's files off the machine.
bool InstalledProducts::InstalledForMachine(const wchar_t* code)
{
    wchar_t state[8] = {};
    DWORD length = sizeof state / sizeof state[0];
    const UINT result = Os.MsiGetProductInfoExW(code, nullptr, MSIINSTALLCONTEXT_MACHINE,
                                                INSTALLPROPERTY_PRODUCTSTATE, state, &length);
    switch (result) {
    case ERROR_SUCCESS:
        return std::wstring_view(state) == L"5";  // INSTALLSTATE_DEFAULT
    case ERROR_UNKNOWN_PRODUCT:
        return false;
    default:
        ReportOnce("MsiGetProductInfoExW", FailureCode(result));
        return false;
    }
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
