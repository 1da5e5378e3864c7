#include "ProtectedDescriptor.h"

#include "../staging/FailureReport.h"

std::int32_t ProtectedDescriptor::Parse(const wchar_t* text)
{
    if (!Os.ConvertStringSecurityDescriptorToSecurityDescriptorW(
            text, SDDL_REVISION_1, memory_.Put(), /*size=*/nullptr)) {
        return ReportLastError("ConvertStringSecurityDescriptorToSecurityDescriptor");
    }
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = memory_.Get();
    attributes_.bInheritHandle = FALSE;
    return 0;
}
