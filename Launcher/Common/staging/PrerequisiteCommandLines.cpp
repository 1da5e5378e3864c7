#include "PrerequisiteCommandLines.h"

std::wstring PrerequisiteParameters(PrerequisiteBitness bitness, bool quiet, bool useSelfExtractorSwitches)
{
    if (useSelfExtractorSwitches) {
        return bitness == PrerequisiteBitness::X86
            ? L"/q:a /c:\"vcredist_x86.exe /q:a /c:\"\"msiexec /i vcredist.msi /qb\"\" \""
            : L"/q:a /c:\"vcredist_x64.exe /q:a /c:\"\"msiexec /i vcredist.msi /qb\"\" \"";
    }
    return quiet ? L"/q /norestart" : L"/passive /norestart";
}

bool IsQuietRequest(std::wstring_view msiArgumentTemplate)
{
    return msiArgumentTemplate.find(L"/quiet") != std::wstring_view::npos;
}

PrerequisiteOutcome ClassifyPrerequisiteResult(std::int32_t result)
{
    switch (result) {
    case 0:
    case 1638:  // ERROR_PRODUCT_VERSION
        return PrerequisiteOutcome::Installed;
    case 3010:  // ERROR_SUCCESS_REBOOT_REQUIRED
    case 1641:  // ERROR_SUCCESS_REBOOT_INITIATED
        return PrerequisiteOutcome::InstalledRestartRequired;
    default:
        return PrerequisiteOutcome::Failed;
    }
}
