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
    // backslash. Levels held already (by an earlier Open or OpenLogs) are
    // neither checked nor opened again: held, they cannot have been renamed
    // or replaced since their check. A level the run creates gets its role's
    // protected descriptor (see FolderRole). A level that exists is refused
    // when it is a link or a file, used as it is when it is trusted for its
    // role (see IsTrustedFolder), and otherwise never used nor changed: it
    // is moved aside under a name of its own and the level is made anew. A
    // shared level (the vendor's or the installers' folder) is moved aside
    // only when it holds nothing but levels this launcher makes; otherwise
    // the result is SharedFolderRefused after a line naming the level, and
    // every later call gives it again at once. Returns 0, or the failing
    // operation's code after printing its diagnostic line; folder is then
    // left empty and nothing is held.
    std::int32_t Open(std::wstring& folder);
    // The same for the support log's folder, "Logs", one level below, which
    // only SYSTEM and Administrators may read.
    std::int32_t OpenLogs(std::wstring& folder);
    // True, with folder set as Open sets it, while the product folder's
    // levels are held; false, leaving folder alone, otherwise.
    bool HoldsProductFolder(std::wstring& folder) const;
    // True once a shared level was refused (SharedFolderRefused).
    bool SharedLevelRefused() const { return refused_; }
    // Lets every level go.
    void Release();

private:
    static constexpr std::size_t MostLevels = 4;

    std::int32_t OpenLevels(std::size_t count, std::wstring& folder);
    // Checks and holds the levels from the first one not held down to count.
    std::int32_t HoldLevels(std::size_t count);
    // The path of the count-th level, without a trailing backslash.
    std::wstring LevelPath(std::size_t count) const;

    std::array<FileHandle, MostLevels> levels_;
    // How many levels, from the vendor's down, are held.
    std::size_t held_ = 0;
    std::wstring commonAppData_;
    bool refused_ = false;
};

// The product package folder's path below the common application data
// folder, levels joined by backslashes, without a trailing one.
std::wstring ProductFolderBelowCommonAppData();
