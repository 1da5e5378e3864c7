#include "EnvironmentEntries.h"

#include "../platform/OsCalls.h"

#include <cwchar>

std::wstring NameOf(const wchar_t* entry)
{
    const wchar_t* separator = entry[0] != L'\0' ? std::wcschr(entry + 1, L'=') : nullptr;
    return separator != nullptr ? std::wstring(entry, separator) : std::wstring(entry);
}

const wchar_t* ValueOf(const std::vector<wchar_t>& entries, const std::wstring& name)
{
    const wchar_t* const end = entries.data() + entries.size();
    for (const wchar_t* entry = entries.data(); entry < end; entry += std::wcslen(entry) + 1) {
        const std::wstring entryName = NameOf(entry);
        if (Os.CompareStringOrdinal(entryName.c_str(), static_cast<int>(entryName.size()), name.c_str(),
                static_cast<int>(name.size()), /*bIgnoreCase=*/TRUE) == CSTR_EQUAL) {
            return entry + entryName.size() + 1;
        }
    }
    return nullptr;
}

void AppendEntry(std::vector<wchar_t>& entries, const std::wstring& name, std::wstring_view value)
{
    entries.insert(entries.end(), name.begin(), name.end());
    entries.push_back(L'=');
    entries.insert(entries.end(), value.begin(), value.end());
    entries.push_back(L'\0');
}

std::wstring ExpandAgainst(std::wstring_view text, const std::vector<wchar_t>& entries)
{
    std::wstring expanded;
    size_t done = 0;
    for (size_t open = text.find(L'%'); open != std::wstring_view::npos; open = text.find(L'%', done)) {
        const size_t close = text.find(L'%', open + 1);
        if (close == std::wstring_view::npos) {
            break;
        }
        const wchar_t* value = ValueOf(entries, std::wstring(text.substr(open + 1, close - open - 1)));
        expanded.append(text.substr(done, open - done));
        if (value == nullptr) {
            // The closing sign may open the next name, as Windows reads it.
            expanded.append(text.substr(open, close - open));
            done = close;
            continue;
        }
        expanded.append(value);
        done = close + 1;
    }
    expanded.append(text.substr(done));
    return expanded;
}
