#include "HelpText.h"

#include "ResultCodes.h"
#include "log/ExitCodeMeaning.h"
#include "log/LogLine.h"

#include <cstdint>

namespace {

constexpr std::wstring_view Options =
    L"Options:\n"
    L"-quiet\tinstall without user interaction\n"
    L"-msiargs \"...\"\tWindows Installer arguments for the package, $MSIPATH standing for its path\n"
    L"-norestart\tWindows Installer does not restart the machine\n"
    L"-log \"<file>\"\twrite the support log to this file instead\n"
    L"-uninstall\tremove the driver package\n"
    L"-repair\trepair the driver package\n"
    L"-extract \"<folder>\"\twrite the packages there, install nothing\n"
    L"-help, -?, /?\tshow this message and do nothing else\n";

// The codes deployment tools act on, in the order the help lists them.
constexpr std::int32_t ListedExitCodes[] = {0, UserDeclined, UnspecifiedFailure, InstallerBusy, LogFailure,
    PlatformUnsupported, UnknownProduct, InvalidParameter, RestartInitiated, RestartRequired};

}  // namespace

std::wstring HelpText(std::wstring_view productFolder)
{
    std::wstring text(Options);
    text += L"\nSupport log: %ProgramData%\\";
    text += productFolder;
    text += L"\\Logs\n\nExit codes:\n";
    for (const std::int32_t exitCode : ListedExitCodes) {
        text += Decimal(exitCode) + L"\t" + ExitCodeMeaning(exitCode) + L"\n";
    }
    return text;
}
