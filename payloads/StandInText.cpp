#include "StandInText.h"

#include <windows.h>

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) {
        return std::string();
    }
    const int wide = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string converted(needed > 0 ? needed : 0, '\0');
    if (needed > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, &converted[0], needed, nullptr, nullptr);
    }
    return converted;
}

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty()) {
        return std::wstring();
    }
    const int narrow = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), narrow, nullptr, 0);
    std::wstring converted(needed > 0 ? needed : 0, L'\0');
    if (needed > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), narrow, &converted[0], needed);
    }
    return converted;
}
