#include "LogRetention.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::wstring_view Prefix = L"InstallerLauncher-";
constexpr std::wstring_view Extension = L".log";

bool IsDigits(std::wstring_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

}  // namespace

bool IsLauncherLogName(const std::wstring& name)
{
    const std::wstring_view view(name);
    if (view.size() <= Prefix.size() + 16 + Extension.size() || view.substr(0, Prefix.size()) != Prefix ||
        view.substr(view.size() - Extension.size()) != Extension) {
        return false;
    }
    const std::wstring_view stamp = view.substr(Prefix.size(), view.size() - Prefix.size() - Extension.size());
    return IsDigits(stamp.substr(0, 8)) && stamp[8] == L'-' && IsDigits(stamp.substr(9, 6)) && stamp[15] == L'-' &&
        IsDigits(stamp.substr(16));
}

std::vector<std::wstring> LogsToDelete(std::vector<std::wstring> names, std::size_t keep)
{
    std::vector<std::wstring> launcherLogs;
    std::copy_if(names.begin(), names.end(), std::back_inserter(launcherLogs), IsLauncherLogName);
    // The time stamp leads, so the newest sort last.
    std::sort(launcherLogs.begin(), launcherLogs.end());
    std::vector<std::wstring> doomed;
    for (std::size_t i = 0; i + keep < launcherLogs.size(); ++i) {
        const std::wstring& log = launcherLogs[i];
        const std::wstring companions = log.substr(0, log.size() - Extension.size()) + L"-";
        doomed.push_back(log);
        for (const std::wstring& name : names) {
            if (name.compare(0, companions.size(), companions) == 0) {
                doomed.push_back(name);
            }
        }
    }
    return doomed;
}
