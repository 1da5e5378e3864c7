#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Windows Installer arguments that the quiet option asks for.
inline constexpr std::wstring_view QuietMsiArgumentTemplate = L"/i $MSIPATH /quiet";

// Reads the options "quiet" and "msiargs" from the command-line arguments and
// sets the template from the last one that gives a value; leaves it unchanged
// when none does. Never fails: everything it does not recognise is ignored.
void ReadMsiArgumentOptions(std::wstring_view arguments, std::wstring& msiArgumentTemplate);

// The index of the first character that is neither a blank nor a tab, or -1.
std::int32_t FindFirstNonBlank(std::wstring_view text);
