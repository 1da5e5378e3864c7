#pragma once

// Included before every other header of the launcher's sources (by the build's
// -include). The C++ runtime ships its strings' members compiled once for all
// programs, and a program that uses one of them links them all: its unwind
// tables hold every member in place. Compiling in only the members this
// program calls keeps the launcher small.
#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
// -1: no extern templates for basic_string only; every other class keeps them.
#define _GLIBCXX_EXTERN_TEMPLATE -1
