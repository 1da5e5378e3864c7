#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Windows Installer arguments that the quiet option asks for.
inline constexpr std::wstring_view QuietMsiArgumentTemplate = L"/i $MSIPATH /quiet";

// What the command line asks of a run.
struct LauncherOptions {
    // Windows Installer arguments with "$MSIPATH", or empty.
    std::wstring MsiArgumentTemplate;
    // The support log's file, or empty for the default one.
    std::wstring LogPath;
};

// Reads the options "quiet" and "msiargs", which set the template, and "log",
// whose value names the support log (read like that of "msiargs": between a
// delimiter and the next occurrence of the same character). The last option
// that gives a value wins; a value not given leaves the member unchanged.
// Never fails: everything it does not recognise is ignored.
void ReadLauncherOptions(std::wstring_view arguments, LauncherOptions& options);

// The index of the first character that is neither a blank nor a tab, or -1.
std::int32_t FindFirstNonBlank(std::wstring_view text);
