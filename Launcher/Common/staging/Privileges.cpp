#include "Privileges.h"

#include "FailureReport.h"

namespace {

constexpr const wchar_t* PrivilegeNames[] = {SE_BACKUP_NAME, SE_RESTORE_NAME, SE_TAKE_OWNERSHIP_NAME};

}  // namespace

std::int32_t OwnershipPrivileges::Enable()
{
    if (enabled_) {
        return 0;
    }
    HANDLE token = nullptr;
    if (!Os.OpenProcessToken(Os.GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return ReportLastError("OpenProcessToken");
    }
    token_ = TokenHandle(token);
    PrivilegeSet wanted{Count, {}};
    for (DWORD i = 0; i < Count; ++i) {
        if (!Os.LookupPrivilegeValueW(/*lpSystemName=*/nullptr, PrivilegeNames[i], &wanted.Privileges[i].Luid)) {
            return ReportLastError("LookupPrivilegeValue");
        }
        wanted.Privileges[i].Attributes = SE_PRIVILEGE_ENABLED;
    }
    DWORD previousLength = 0;
    if (!Os.AdjustTokenPrivileges(token_.Get(), /*DisableAllPrivileges=*/FALSE,
            reinterpret_cast<PTOKEN_PRIVILEGES>(&wanted), sizeof(previous_),
            reinterpret_cast<PTOKEN_PRIVILEGES>(&previous_), &previousLength)) {
        return ReportLastError("AdjustTokenPrivileges");
    }
    enabled_ = true;
    return 0;
}

OwnershipPrivileges::~OwnershipPrivileges()
{
    if (enabled_) {
        Os.AdjustTokenPrivileges(token_.Get(), /*DisableAllPrivileges=*/FALSE,
            reinterpret_cast<PTOKEN_PRIVILEGES>(&previous_), /*BufferLength=*/0, /*PreviousState=*/nullptr,
            /*ReturnLength=*/nullptr);
    }
}
