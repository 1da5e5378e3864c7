#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Windows Installer arguments that the quiet option asks for.
inline constexpr std::wstring_view QuietMsiArgumentTemplate = L"/i $MSIPATH /quiet";

// What a run does: install (no verb given), or the one verb an
// administrator asked for.
enum class Verb { Install, Uninstall, Repair, Extract };

// A command line that asks for two things at once cannot be run as either.
enum class UsageError {
    None,
    TwoVerbs,       // two of -uninstall, -repair and -extract
    FolderMissing,  // -extract without its folder
};

// What the command line asks of a run.
struct CommandLineOptions {
    // Windows Installer arguments with "$MSIPATH" for the package path; empty
    // when no option gave them.
    std::wstring MsiArgumentTemplate;
    // The support log's file, or empty for the default one.
    std::wstring LogPath;
    // Every Windows Installer command line the launcher builds itself asks
    // Windows Installer not to restart the machine.
    bool NoRestart = false;
    // Only the options and exit codes are shown; nothing is installed.
    bool HelpRequested = false;
    Verb Action = Verb::Install;
    // The folder -extract named, as written.
    std::wstring ExtractFolder;
    UsageError Error = UsageError::None;
    // Every option the launcher does not know and every word outside an
    // option's value, as written, separated by blanks; empty when there is none.
    std::wstring Ignored;
};

// Reads the options "quiet", "msiargs", "log", "norestart", "help", "?" and
// the verbs "uninstall", "repair" and "extract" (whose folder is read as the
// log's path is; the same verb twice is one verb):
// the template comes from the last of "quiet" and "msiargs" that gives a
// value and stays unchanged when none does; the quiet template ends in
// /norestart when "norestart" is given too, while an "msiargs" value is kept
// verbatim. "log" names the support log: a value that opens with one of
// " ' | < > * ? runs to the next occurrence of the same character (no path
// starts with one); any other runs to the next blank or tab, and one that
// starts with "-" or "/" is taken for the next option. Never fails:
// everything it does not recognise is ignored, and named in Ignored (an
// empty name, as in "--quiet", is not).
void ReadCommandLineOptions(std::wstring_view arguments, CommandLineOptions& options);

// The parameters, followed by " /norestart" when noRestart is set.
std::wstring WithRestartSetting(std::wstring parameters, bool noRestart);

// Whether the template is one the launcher made itself for -quiet (with or
// without /norestart), not an administrator's own, which is passed on as
// written.
bool IsLaunchersOwnTemplate(std::wstring_view msiArgumentTemplate);

// The index of the first character that is neither a blank nor a tab, or -1.
std::int32_t FindFirstNonBlank(std::wstring_view text);
