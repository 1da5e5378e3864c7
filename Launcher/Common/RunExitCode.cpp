#include "RunExitCode.h"

#include "ResultCodes.h"

namespace {

constexpr std::uint16_t MachineI386 = 0x014C;   // IMAGE_FILE_MACHINE_I386
constexpr std::uint16_t MachineAmd64 = 0x8664;  // IMAGE_FILE_MACHINE_AMD64

// A legacy uninstaller that ends with RestartRequired stops the run, yet a
// deployment tool would count the machine as installed and waiting for a
// restart.
std::int32_t StoppedRunCode(std::int32_t stepResult)
{
    return ReadsAsInstalled(stepResult) ? UnspecifiedFailure : stepResult;
}

}  // namespace

std::int32_t RunExitCode(RunEnd end, std::int32_t stepResult, bool restartRequested)
{
    switch (end) {
    case RunEnd::ProcessorUnsupported:
        return PlatformUnsupported;
    case RunEnd::Declined:
        return UserDeclined;
    case RunEnd::LogRefused:
        return LogFailure;
    case RunEnd::DetectionFailed:
    case RunEnd::RunLockNotTaken:
    case RunEnd::PackageFolderRefused:
    case RunEnd::PrerequisiteFailed:
    case RunEnd::LegacyUninstallerFailed:
    case RunEnd::OutOfMemory:
        return StoppedRunCode(stepResult);
    case RunEnd::Completed:
        break;
    }
    if (stepResult != 0) {
        return stepResult;
    }
    return restartRequested ? RestartRequired : 0;
}

bool ProcessorSupported(const NativeMachineReport& report)
{
    return !report.Told || report.Machine == MachineI386 || report.Machine == MachineAmd64;
}
