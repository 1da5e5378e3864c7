#pragma once

#include <cstdint>

// What an exit code of the launcher tells an administrator, in the words of
// the README's table of exit codes, for the log's last line.
const wchar_t* ExitCodeMeaning(std::int32_t exitCode);
