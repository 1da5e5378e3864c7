#include "CommandLineOptions.h"

namespace {

constexpr std::wstring_view OptionIntroducers = L"-/";
constexpr std::wstring_view NameTerminators = L"-/\" ";
constexpr std::wstring_view Blanks = L" \t";
// A log path's value opens with one of these when it lies between a pair of
// it: a quote, or a character no Windows path can hold. Anything else is a
// path that runs to the next blank.
constexpr std::wstring_view PathDelimiters = L"\"'|<>*?";

// Only A to Z fold, as in the runtime's default locale.
std::wstring FoldToLowerCase(std::wstring_view name)
{
    std::wstring folded(name);
    for (wchar_t& c : folded) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return folded;
}

// Reads a value enclosed in a pair of the character found first after the
// blanks. On success sets the value and cuts the text to what follows the
// closing delimiter; otherwise leaves both unchanged.
bool ReadDelimitedValue(std::wstring_view& unread, std::wstring& value)
{
    const std::int32_t delimiterIndex = FindFirstNonBlank(unread);
    if (delimiterIndex < 0) {
        return false;
    }
    const size_t opening = static_cast<size_t>(delimiterIndex);
    const size_t closing = unread.find(unread[opening], opening + 1);
    if (closing == std::wstring_view::npos) {
        return false;
    }
    value.assign(unread.substr(opening + 1, closing - opening - 1));
    unread.remove_prefix(closing + 1);
    return true;
}

// Reads a path: a delimited value (see PathDelimiters), or one that runs
// from the first character after the blanks to the next blank or the end.
// A value that starts like an option ("-" or "/") is no value, so that
// "-log -quiet" loses no option. On success sets the path and cuts the text
// to what follows it; otherwise leaves both unchanged.
bool ReadPathValue(std::wstring_view& unread, std::wstring& path)
{
    const std::int32_t start = FindFirstNonBlank(unread);
    if (start < 0 || OptionIntroducers.find(unread[static_cast<size_t>(start)]) != std::wstring_view::npos) {
        return false;
    }
    if (PathDelimiters.find(unread[static_cast<size_t>(start)]) != std::wstring_view::npos) {
        return ReadDelimitedValue(unread, path);
    }
    const std::wstring_view value = unread.substr(static_cast<size_t>(start));
    path.assign(value.substr(0, value.find_first_of(Blanks)));
    unread.remove_prefix(static_cast<size_t>(start) + path.size());
    return true;
}

void NameIgnored(std::wstring_view item, std::wstring& ignored)
{
    if (!ignored.empty()) {
        ignored += L' ';
    }
    ignored += item;
}

// Names each word, up to a blank or tab, of text no option took.
void NameStrayWords(std::wstring_view text, std::wstring& ignored)
{
    for (std::int32_t start = FindFirstNonBlank(text); start >= 0; start = FindFirstNonBlank(text)) {
        text.remove_prefix(static_cast<size_t>(start));
        const std::wstring_view word = text.substr(0, text.find_first_of(Blanks));
        NameIgnored(word, ignored);
        text.remove_prefix(word.size());
    }
}

void RequestVerb(Verb verb, CommandLineOptions& options)
{
    if (options.Action != Verb::Install && options.Action != verb) {
        options.Error = UsageError::TwoVerbs;
    }
    options.Action = verb;
}

}  // namespace

std::int32_t FindFirstNonBlank(std::wstring_view text)
{
    const size_t index = text.find_first_not_of(Blanks);
    return index == std::wstring_view::npos ? -1 : static_cast<std::int32_t>(index);
}

std::wstring WithRestartSetting(std::wstring parameters, bool noRestart)
{
    if (noRestart) {
        parameters += L" /norestart";
    }
    return parameters;
}

bool IsLaunchersOwnTemplate(std::wstring_view msiArgumentTemplate)
{
    return msiArgumentTemplate == QuietMsiArgumentTemplate ||
        msiArgumentTemplate == WithRestartSetting(std::wstring(QuietMsiArgumentTemplate), true);
}

void ReadCommandLineOptions(std::wstring_view arguments, CommandLineOptions& options)
{
    bool quietTemplate = false;
    std::wstring_view unread = arguments;
    for (;;) {
        const size_t introducer = unread.find_first_of(OptionIntroducers);
        NameStrayWords(unread.substr(0, introducer), options.Ignored);
        if (introducer == std::wstring_view::npos) {
            break;
        }
        const std::wstring_view written = unread.substr(introducer);
        unread.remove_prefix(introducer + 1);
        const std::wstring_view name = unread.substr(0, unread.find_first_of(NameTerminators));
        unread.remove_prefix(name.size());
        const std::wstring option = FoldToLowerCase(name);
        if (option == L"quiet") {
            options.MsiArgumentTemplate.assign(QuietMsiArgumentTemplate);
            quietTemplate = true;
        } else if (option == L"msiargs") {
            quietTemplate &= !ReadDelimitedValue(unread, options.MsiArgumentTemplate);
        } else if (option == L"log") {
            ReadPathValue(unread, options.LogPath);
        } else if (option == L"norestart") {
            options.NoRestart = true;
        } else if (option == L"help" || option == L"?") {
            options.HelpRequested = true;
        } else if (option == L"uninstall") {
            RequestVerb(Verb::Uninstall, options);
        } else if (option == L"repair") {
            RequestVerb(Verb::Repair, options);
        } else if (option == L"extract") {
            RequestVerb(Verb::Extract, options);
            if (!ReadPathValue(unread, options.ExtractFolder)) {
                options.Error = UsageError::FolderMissing;
            }
        } else if (!name.empty()) {
            NameIgnored(written.substr(0, 1 + name.size()), options.Ignored);
        }
    }
    // The quiet template is the launcher's own command line; an msiargs
    // value is the administrator's, kept as written.
    if (quietTemplate) {
        options.MsiArgumentTemplate = WithRestartSetting(options.MsiArgumentTemplate, options.NoRestart);
    }
}
