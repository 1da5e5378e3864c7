#pragma once

#include <cstdint>

// How an install run ended, for the exit code an administrator's deployment
// tool reads.
enum class RunEnd {
    Wow64QueryFailed,         // the start-up query failed; stepResult is its last-error code
    LogRefused,               // the log an administrator named could not be opened
    Declined,                 // the user answered the prompt with anything but Yes
    PrerequisiteFailed,       // a runtime prerequisite failed and the run stopped
    LegacyUninstallerFailed,  // a legacy uninstaller failed and the run stopped
    Completed,                // every step ran; stepResult is the main package's
};

// Windows Installer's codes, which deployment tools already understand.
inline constexpr std::int32_t UserDeclined = 1602;     // ERROR_INSTALL_USEREXIT
inline constexpr std::int32_t RestartRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
inline constexpr std::int32_t LogFailure = 1622;       // ERROR_INSTALL_LOG_FAILURE

// The process exit code: the failing step's result when the run stopped or the
// package did not install, 1602 when the user declined, 1622 when the log
// named on the command line could not be opened, 3010 when all went
// well but a prerequisite asked for a restart, otherwise 0. A run that stopped
// before the package installed never exits with a code that deployment tools
// read as installed (0, 1638, 1641, 3010): a step result that would is
// reported as 1603 instead.
std::int32_t RunExitCode(RunEnd end, std::int32_t stepResult, bool restartRequested);
