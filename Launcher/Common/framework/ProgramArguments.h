#pragma once

// The arguments part of a process command line: what follows the program's own
// name (which may be enclosed in double quotes, blanks inside them belonging to
// it) and the run of characters with codes 1 to 32 after it. Returns a pointer
// into the given text, never null; an empty text gives an empty result.
const wchar_t* SkipProgramName(const wchar_t* commandLine);
