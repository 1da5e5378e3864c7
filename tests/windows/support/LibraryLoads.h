#pragma once

#include "OsOverride.h"

#include <string>
#include <vector>

// Records every LoadLibraryExW through the table while it lives and passes it
// on, except that the loads of one DLL, when named, fail with the given code:
// so a test can fail msi.dll while children still get their environment.
class LibraryLoads {
public:
    struct Load {
        std::wstring Name;
        HANDLE File;
        DWORD Flags;
        bool operator==(const Load& other) const
        {
            return Name == other.Name && File == other.File && Flags == other.Flags;
        }
    };

    LibraryLoads();
    LibraryLoads(const LibraryLoads&) = delete;
    LibraryLoads& operator=(const LibraryLoads&) = delete;

    void Fail(const std::wstring& name, DWORD error);
    const std::vector<Load>& Seen() const;

private:
    OsOverride<&OsCallTable::LoadLibraryExW> recording_;
};
