#pragma once

#include "../platform/Handles.h"

#include <array>
#include <cstdint>
#include <string>

class ProtectedDescriptor;

// The persistent folder for the driver package below the common application
// data folder, level by level (the vendor's, the installers' and the
// product's folder of the build), each level held open without delete
// sharing from the moment it is checked until Release, so that none can be
// renamed away and replaced while the package is written and installed.
class ProductPackageFolder {
public:
    // Makes the folder ready and sets folder to its path with a trailing
    // backslash. A level the run creates gets the protected package-folder
    // descriptor. A level that exists is refused when it is a link or a file,
    // used as it is when it is trusted (see IsTrustedFolder), and otherwise
    // never used nor changed: it is moved aside under a name of its own and
    // the level is made anew. Lets go of an earlier hold first. Returns 0, or
    // the failing operation's code after printing its diagnostic line;
    // folder is then left empty and nothing is held.
    std::int32_t Open(std::wstring& folder);
    // The same for the support log's folder, "Logs", one level below.
    std::int32_t OpenLogs(std::wstring& folder);
    // Lets every level go.
    void Release();

private:
    static constexpr std::size_t MostLevels = 4;

    std::int32_t OpenLevels(const wchar_t* const* names, std::size_t count, std::wstring& folder);

    std::array<FileHandle, MostLevels> levels_;
};

// The product package folder's path below the common application data
// folder, levels joined by backslashes, without a trailing one.
std::wstring ProductFolderBelowCommonAppData();
