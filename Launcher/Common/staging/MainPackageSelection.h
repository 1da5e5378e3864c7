#pragma once

#include <string>
#include <string_view>

// The "MSI" resource of the driver package that fits this Windows.
const wchar_t* MainPackageResource(bool is64BitWindows, bool isWindows10OrLater);

// Replaces every occurrence of the placeholder, case-sensitively, from left to
// right; text inserted is never searched again.
void ReplacePlaceholder(std::wstring& text, std::wstring_view placeholder, std::wstring_view replacement);
