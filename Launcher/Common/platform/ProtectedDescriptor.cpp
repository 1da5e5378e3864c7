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
