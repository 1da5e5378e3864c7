#include "HelpText.h"

#include "ResultCodes.h"
#include "log/LogLine.h"

#include <cstdint>

namespace {

constexpr std::wstring_view Options =
    L"Options:\n"
    L"-quiet\tinstall without user interaction\n"
    L"-msiargs \"...\"\tWindows Installer arguments for the package, $MSIPATH standing for its path\n"
    L"-norestart\tWindows Installer does not restart the machine\n"
    L"-log \"<file>\"\twrite the support log to this file too\n"
    L"-help, -?, /?\tshow this message and do nothing else\n";

struct ExitCodeMeaning {
    std::int32_t Code;
    const wchar_t* Meaning;
};

const ExitCodeMeaning ExitCodes[] = {
    {0, L"installed"},
    {UserDeclined, L"declined at the prompt; nothing changed"},
    {UnspecifiedFailure, L"installation failed"},
    {InstallerBusy, L"another installation is running; try again later"},
    {LogFailure, L"the support log could not be written"},
    {PlatformUnsupported, L"this processor is not supported; nothing changed"},
    {RestartInitiated, L"installed; Windows Installer is restarting the machine"},
    {RestartRequired, L"installed; a restart completes it"},
};

}  // namespace

std::wstring HelpText(std::wstring_view productName)
{
    std::wstring text(Options);
    text += L"\nSupport log: %ProgramData%\\Kesmora\\Installers\\";
    text += productName;
    text += L"\\Logs\n\nExit codes:\n";
    for (const ExitCodeMeaning& exitCode : ExitCodes) {
        text += Decimal(exitCode.Code) + L"\t" + exitCode.Meaning + L"\n";
    }
    return text;
}
