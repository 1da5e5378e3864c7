#include "RunExitCode.h"

std::int32_t RunExitCode(RunEnd end, std::int32_t stepResult, bool restartRequested)
{
    switch (end) {
    case RunEnd::Declined:
        return UserDeclined;
    case RunEnd::PrerequisiteFailed:
    case RunEnd::LegacyUninstallerFailed:
        return stepResult;
    case RunEnd::Completed:
        break;
    }
    if (stepResult != 0) {
        return stepResult;
    }
    return restartRequested ? RestartRequired : 0;
}
