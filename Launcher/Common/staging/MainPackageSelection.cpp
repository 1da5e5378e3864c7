#include "MainPackageSelection.h"

const wchar_t* MainPackageResource(bool is64BitWindows, bool isWindows10OrLater)
{
    if (is64BitWindows) {
        return isWindows10OrLater ? L"MSI_WIN10_64" : L"MSI64";
    }
    return isWindows10OrLater ? L"MSI_WIN10_32" : L"MSI32";
}

void ReplacePlaceholder(std::wstring& text, std::wstring_view placeholder, std::wstring_view replacement)
{
    if (placeholder.empty()) {
        return;
    }
    size_t position = text.find(placeholder);
    while (position != std::wstring::npos) {
        text.replace(position, placeholder.size(), replacement);
        position = text.find(placeholder, position + replacement.size());
    }
}
