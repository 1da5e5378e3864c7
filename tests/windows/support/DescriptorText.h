#pragma once

#include "platform/OsCalls.h"

#include <string>

// The owner and access list that security attributes give, in SDDL; empty
// without attributes or when they cannot be read.
inline std::wstring OwnerAndAccessSddl(const SECURITY_ATTRIBUTES* security)
{
    LPWSTR text = nullptr;
    if (security == nullptr || !ConvertSecurityDescriptorToStringSecurityDescriptorW(security->lpSecurityDescriptor,
                                   SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text,
                                   nullptr)) {
        return L"";
    }
    const std::wstring sddl = text;
    LocalFree(text);
    return sddl;
}
