// The least any program could do for the launcher's install: start the same
// children with the same command lines one after another and wait for each.
// A program of its own, so that it pays a process start as the launcher does.
//
// usage: MinimalRun.exe CHILDREN-FILE
#include "ChildList.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: MinimalRun.exe CHILDREN-FILE\n");
        return 2;
    }
    for (const Child& child : ReadChildren(argv[1])) {
        RunAndWait(child);
    }
    return 0;
}
