#pragma once

#include <cstdint>
#include <string>

// Sets text to a new GUID's text form, without braces ("xxxxxxxx-xxxx-...").
// Returns 0, or the failing call's code after printing its line, or
// OutOfMemory when the text could not be copied; text is
// then unchanged. A GUID text that cannot be freed is only memory, and no
// failure.
std::int32_t MakeGuidText(std::wstring& text);
