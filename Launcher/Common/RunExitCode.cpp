#include "RunExitCode.h"

#include "ResultCodes.h"
#include "staging/PrerequisiteCommandLines.h"

namespace {

// A legacy uninstaller that ends with 3010 stops the run, yet a deployment
// tool would count the machine as installed and waiting for a restart.
std::int32_t StoppedRunCode(std::int32_t stepResult)
{
    const bool readsAsInstalled = ClassifyPrerequisiteResult(stepResult) != PrerequisiteOutcome::Failed;
    return readsAsInstalled ? UnspecifiedFailure : stepResult;
}

}  // namespace

std::int32_t RunExitCode(RunEnd end, std::int32_t stepResult, bool restartRequested)
{
    switch (end) {
    case RunEnd::Declined:
        return UserDeclined;
    case RunEnd::LogRefused:
        return LogFailure;
    case RunEnd::Wow64QueryFailed:
    case RunEnd::PrerequisiteFailed:
    case RunEnd::LegacyUninstallerFailed:
        return StoppedRunCode(stepResult);
    case RunEnd::Completed:
        break;
    }
    if (stepResult != 0) {
        return stepResult;
    }
    return restartRequested ? RestartRequired : 0;
}
