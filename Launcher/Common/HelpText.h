#pragma once

#include <string>
#include <string_view>

// The help message for the product of this name: the options, where the
// support log goes and the exit codes deployment tools act on.
std::wstring HelpText(std::wstring_view productName);
