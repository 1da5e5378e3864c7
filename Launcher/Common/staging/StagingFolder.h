#pragma once

#include "../platform/Handles.h"

#include <cstdint>
#include <string>

class ProtectedDescriptor;

// The per-run folder the staged programs are written to and run from, from
// its creation to its removal. It lies under the Windows folder's temporary
// folder, a path no standard user can re-point (unlike the user's own
// temporary folder, whose name comes from their environment), is made with
// the protected staging descriptor, refused when it turns out to be someone
// else's, and held open without delete sharing until it is removed, so that
// the path made once names the same folder for the whole run.
class StagingFolder {
public:
    // Makes and holds a new GUID-named folder, with the folder the children
    // get as their temporary folder inside it, and sets path to the folder's
    // path with a trailing backslash. Returns 0, or the failing operation's
    // code after printing its line; nothing is then held and path is left
    // unchanged.
    std::int32_t Create(std::wstring& path);

    // Makes and holds a new folder for the run's logs beside the staging
    // folders, "InstallerLauncher-Logs-<GUID>", made and checked like a
    // staging folder (only administrators and SYSTEM may enter it) but
    // without a folder for children, and sets path as Create does. It is
    // meant to stay after the run: letting it go does not remove it.
    std::int32_t CreateForLogs(std::wstring& path);

    // The children's temporary folder, inside the held folder; empty when
    // nothing is held.
    std::wstring ChildTemporaryFolder() const;

    // Deletes everything below path (the folder's path with its trailing
    // backslash) and then the folder, lets it go, and reports nothing.
    // Links found inside are removed themselves, never followed. When path
    // no longer names the folder that is held (a link or another folder is
    // there now), nothing below it is touched.
    void Remove(const std::wstring& path);

    // Lets the folder go and leaves it where it is, with what it holds.
    void Release();

private:
    std::int32_t CreateNamed(const wchar_t* namePrefix, bool withChildTemporaryFolder, std::wstring& path);
    std::int32_t Hold(const std::wstring& folder, ProtectedDescriptor& descriptor);
    // The path names the folder this run made and holds, and no link.
    bool IsIntact(const std::wstring& folder) const;

    FileHandle folder_;
    BY_HANDLE_FILE_INFORMATION identity_{};
    std::wstring childTemporaryFolder_;
};
