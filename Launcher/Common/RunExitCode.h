#pragma once

#include <cstdint>

// How an install run ended, for the exit code an administrator's deployment
// tool reads.
enum class RunEnd {
    DetectionFailed,          // the WOW64 or version query failed; stepResult is its last-error code
    LogRefused,               // the log an administrator named could not be opened
    RunLockNotTaken,          // another run kept the run lock, or it could not be taken; nothing ran
    PackageFolderRefused,     // a shared level of the package folder can be neither used nor moved aside; nothing ran
    ProcessorUnsupported,     // no driver package fits this machine's processor; nothing ran
    Declined,                 // the user answered the prompt with anything but Yes
    PrerequisiteFailed,       // a runtime prerequisite failed and the run stopped
    LegacyUninstallerFailed,  // a legacy uninstaller failed and the run stopped
    OutOfMemory,              // memory ran out outside a step and the run stopped
    Completed,                // every step ran; stepResult is the main package's
};

// The process exit code: the failing step's result when the run stopped or the
// package did not install, PlatformUnsupported when the processor is not
// supported, LogFailure when the log named on the command line could not be
// opened, UserDeclined when the user declined, RestartRequired when all went
// well but a prerequisite asked for a restart, otherwise 0. A run that stopped
// before the package installed never exits with a code that ReadsAsInstalled:
// such a step result is reported as UnspecifiedFailure instead.
std::int32_t RunExitCode(RunEnd end, std::int32_t stepResult, bool restartRequested);

// What IsWow64Process2 told of the machine Windows runs on natively. Nothing
// is told where the function is missing (before Windows 10) or failed.
struct NativeMachineReport {
    bool Told;
    std::uint16_t Machine;  // an IMAGE_FILE_MACHINE_ value
};

// Whether one of the driver packages fits this machine: an x86 or x64
// processor, or one nothing was told of. A 32-bit launcher on an ARM64 machine
// sees WOW64 and would otherwise install the x64 package, whose kernel driver
// cannot load there.
bool ProcessorSupported(const NativeMachineReport& report);
