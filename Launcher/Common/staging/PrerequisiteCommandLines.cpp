#include "PrerequisiteCommandLines.h"

#include "../ResultCodes.h"

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
    if (!ReadsAsInstalled(result)) {
        return PrerequisiteOutcome::Failed;
    }
    const bool wantsRestart = result == RestartRequired || result == RestartInitiated;
    return wantsRestart ? PrerequisiteOutcome::InstalledRestartRequired : PrerequisiteOutcome::Installed;
}
