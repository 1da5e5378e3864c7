#pragma once

#include "OsOverride.h"

#include <string>
#include <utility>

// Shows the file or folder at one path as a link, the way a junction would,
// to whoever asks for its attributes by name while the guard lives.
class ShownAsLink {
public:
    explicit ShownAsLink(std::wstring path) { shown = std::move(path); }

private:
    static DWORD WINAPI Attributes(LPCWSTR path)
    {
        const DWORD attributes = RealOs.GetFileAttributesW(path);
        return path == shown ? attributes | FILE_ATTRIBUTE_REPARSE_POINT : attributes;
    }

    static inline std::wstring shown;
    OsOverride<&OsCallTable::GetFileAttributesW> attributes_{&Attributes};
};
