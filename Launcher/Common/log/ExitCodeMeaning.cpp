#include "ExitCodeMeaning.h"

namespace {

struct Meaning {
    std::int32_t Code;
    const char* Text;
};

constexpr Meaning KnownMeanings[] = {
    {0, "every step ran and the driver package installed"},
    {-1, "waiting for a started program failed"},
    {1602, "the user did not confirm; nothing was staged or run"},
    {1603, "the installation failed"},
    {1618, "another installation is in progress; try again later"},
    {1622, "the log file could not be opened; nothing was staged or run"},
    {1633, "this processor is not supported; nothing was staged or run"},
    {1638, "another version of the product is installed"},
    {1641, "installed; Windows Installer started a restart"},
    {3010, "installed; a restart is required to finish"},
};

}  // namespace

const char* ExitCodeMeaning(std::int32_t exitCode)
{
    for (const Meaning& meaning : KnownMeanings) {
        if (meaning.Code == exitCode) {
            return meaning.Text;
        }
    }
    if (exitCode < 0) {
        return "a failing HRESULT of the step that stopped the run";
    }
    return "the failing step's result: a Windows error code or a program's exit code";
}
