#pragma once

#include <string>
#include <vector>

// One program to start: its command line as given, and the folder it runs in
// (empty: the starter's own).
struct Child {
    std::wstring CommandLine;
    std::wstring WorkingFolder;
};

// The non-empty lines of a UTF-8 file; the program ends with code 2 when the
// file cannot be read.
std::vector<std::wstring> ReadLines(const wchar_t* path);

// A file of children, one a line: command line, a tab, working folder.
std::vector<Child> ReadChildren(const wchar_t* path);

// Starts the child and waits for it to end; the program ends with code 3 when
// the child cannot be started.
void RunAndWait(Child child);
