#include "ExitCodeMeaning.h"

#include "../ResultCodes.h"

namespace {

struct Meaning {
    std::int32_t Code;
    const wchar_t* Text;
};

constexpr Meaning KnownMeanings[] = {
    {0, L"every step ran and succeeded"},
    {InvalidParameter, L"invalid command line; nothing was done"},
    {WaitFailure, L"waiting for a started program failed"},
    {UserDeclined, L"the user did not confirm; nothing was staged or run"},
    {UnspecifiedFailure, L"the installation failed"},
    {InstallerBusy, L"another installation is in progress; try again later"},
    {LogFailure, L"the log file could not be opened; nothing was staged or run"},
    {PlatformUnsupported, L"this processor is not supported; nothing was staged or run"},
    {SharedFolderRefused, L"a folder shared with other products lets others change it; nothing was staged or run"},
    {UnknownProduct, L"the driver package is not installed"},
    {ProductVersionInstalled, L"another version of the product is installed"},
    {RestartInitiated, L"installed; Windows Installer started a restart"},
    {RestartRequired, L"installed; a restart is required to finish"},
};

}  // namespace

const wchar_t* ExitCodeMeaning(std::int32_t exitCode)
{
    for (const Meaning& meaning : KnownMeanings) {
        if (meaning.Code == exitCode) {
            return meaning.Text;
        }
    }
    if (exitCode < 0) {
        return L"a failing HRESULT of the step that stopped the run";
    }
    return L"the failing step's result: a Windows error code or a program's exit code";
}
