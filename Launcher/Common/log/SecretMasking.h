#pragma once

#include <string>
#include <string_view>

// The text with the value of every NAME=value whose name contains PASSWORD
// (in any letter case) replaced by "*****", the value read with msiexec's
// quoting: an unquoted value up to the next blank, a quoted one with its
// quotes up to the closing quote, a doubled quote inside it included, an
// unclosed one to the end. Administrators pass passwords to packages as
// properties; they must reach neither the log nor the console.
std::wstring MaskSecrets(std::wstring_view text);
