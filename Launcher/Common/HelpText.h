#pragma once

#include <string>
#include <string_view>

// The help message for the product whose package folder is productFolder
// below the common application data folder: the options, where the support
// log goes and the exit codes deployment tools act on.
std::wstring HelpText(std::wstring_view productFolder);
