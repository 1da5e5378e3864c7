#include "InstalledProducts.h"

#include "../ResultCodes.h"
#include "../platform/SystemLibrary.h"
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
    case UnknownProduct:
        return false;
    default:
        ReportOnce("MsiGetProductInfoExW", FailureCode(result));
        return false;
    }
}

// Loaded from the system folder, its dependencies looked for there too, so
// that no folder a user can write in or name (PATH) is searched. Windows 7
// without KB2533623 refuses that (87): like a failed query, the load is then
// reported once and the prerequisites run, rather than loaded by a search
// that reaches PATH.
bool InstalledProducts::Load()
{
    if (msi_.IsValid() || loadFailed_) {
        return msi_.IsValid();
    }
    msi_ = LoadSystemLibrary(L"msi.dll");
    if (!msi_.IsValid()) {
        loadFailed_ = true;
        ReportOnce("LoadLibraryExW", FailureCode(Os.GetLastError()));
    }
    return msi_.IsValid();
}

void InstalledProducts::ReportOnce(const char* call, std::int32_t code)
{
    if (failure_ == 0) {
        failure_ = ReportFailure(call, code);
    }
}
