#include "ProtectedDescriptor.h"

#include "../staging/FailureReport.h"

std::int32_t ProtectedDescriptor::Parse(const wchar_t* text)
{
    PSECURITY_DESCRIPTOR parsed = nullptr;
    if (!Os.ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &parsed, /*size=*/nullptr)) {
        return ReportLastError("ConvertStringSecurityDescriptorToSecurityDescriptor");
    }
    memory_ = LocalMemory(parsed);
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = parsed;
    attributes_.bInheritHandle = FALSE;
    return 0;
}

PSID ProtectedDescriptor::Owner() const
{
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    Os.GetSecurityDescriptorOwner(memory_.Get(), &owner, &defaulted);
    return owner;
}

PACL ProtectedDescriptor::Dacl() const
{
    PACL dacl = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    Os.GetSecurityDescriptorDacl(memory_.Get(), &present, &dacl, &defaulted);
    return dacl;
}
