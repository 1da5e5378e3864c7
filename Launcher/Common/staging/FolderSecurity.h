#pragma once

#include "../platform/Handles.h"
#include "../platform/ProtectedDescriptor.h"

#include <cstdint>
#include <string>

// The descriptors of the folders the elevated run makes. Each is owned by
// Administrators, gives full control to SYSTEM and Administrators only, and
// is protected: nothing is inherited from a parent that a standard user may
// control (ProgramData, where every user may create folders and owns what
// they create).
// The staging folder: nobody else may read, replace or add to the programs
// staged there, nor plant a DLL beside them.
inline constexpr const wchar_t* StagingFolderDescriptor = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// The package folder's levels: users may read and execute (0x1200a9) what
// is there, never change it.
inline constexpr const wchar_t* PackageFolderDescriptor =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// The support logs' folder: the launcher's logs and Windows Installer's
// verbose ones list property values, so nobody else may even read them; the
// files made there inherit these entries.
inline constexpr const wchar_t* LogsFolderDescriptor = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// What a level of the package folder may let accounts other than the
// trusted ones do, by its role.
enum class FolderRole {
    // A level the vendor's other products share (the vendor's and the
    // installers' folder): anything but delete, rename or replace what is in
    // it, or change the level itself. Adding files and folders, as
    // ProgramData's inherited entries let users do, is fine: what the run
    // puts there is a level of its own, checked and held itself.
    Shared,
    // The product's folder: read and execute.
    Package,
    // The support logs' folder: nothing at all.
    Private,
};

// The owner of an object, and the memory that holds it.
struct RecordedOwner {
    PSID Owner = nullptr;
    LocalMemory Memory;
};

// Reads the owner of the object behind this handle (opened with READ_CONTROL).
// Returns 0, or GetSecurityInfo's code after printing its line.
std::int32_t ReadOwner(HANDLE object, RecordedOwner& recorded);

// True for a folder that is no link of any kind: a reparse point (symbolic
// link, junction, mount point) or a file in a folder's place fails.
bool IsPlainFolder(DWORD attributes);

// Returns 0 for a plain folder; otherwise prints "<refusal> failed" with
// ReparsePointRefused for a link, ERROR_DIRECTORY for a file, and returns it.
std::int32_t RefuseUnlessPlainFolder(DWORD attributes, const char* refusal = "SecureFolder");

// Whether a name a folder's listing gives is the folder itself or its parent.
bool IsDotEntry(const wchar_t* name);

// Whether two handles' records name the same file-system object.
bool IsSameObject(const BY_HANDLE_FILE_INFORMATION& first, const BY_HANDLE_FILE_INFORMATION& second);

// Confirms that the object behind the handle is reached by this path now: the
// system's final path of what is held, with every link resolved, is path
// itself (letter case aside). A link anywhere in the path makes them differ.
// Returns 0; ReparsePointRefused after printing "<refusal> failed (<that code>)";
// or GetFinalPathNameByHandle's code after printing its line.
std::int32_t ConfirmFinalPath(HANDLE object, const std::wstring& path, const char* refusal);

// Whether two paths name the same place, letter case aside.
bool SamePath(const std::wstring& first, const std::wstring& second);

// The path made absolute against the current folder, as every program the
// run starts (Windows Installer starts in the system folder) must see it.
// Returns 0, or the failing call's code (ERROR_FILENAME_EXCED_RANGE for a
// path longer than a final path can be read) after printing its line.
std::int32_t MakeFullPath(const std::wstring& path, std::wstring& fullPath);

// Opens the folder at path as itself (a link is opened, not followed) with
// this access, sharing reading and writing but never deletion, so that
// neither it nor a level above it can be renamed away while it is held, and
// holds it in held once its final path is path (see ConfirmFinalPath) and
// it is a folder, not a link. Returns 0, or the failing call's code,
// ReparsePointRefused or ERROR_DIRECTORY after
// printing its line; held is then left alone.
std::int32_t HoldConfirmedFolder(const std::wstring& path, DWORD access, const char* refusal, FileHandle& held);

// Refuses a folder that the run has just made and holds open (folder, at
// path) when its owner is not the one this system gives to what the run
// creates with descriptor. Between the folder's creation and its opening, a
// user who may delete in the parent could put a folder of their own in its
// place, and would own it; a file made in the folder with the same
// descriptor shows the owner to expect, as the system records it. Returns 0,
// ForeignFolderRefused, or the failing call's code after printing its line.
std::int32_t ConfirmFolderIsOurs(HANDLE folder, const std::wstring& path, ProtectedDescriptor& descriptor);

// Whether a folder with this owner and access list may be written below by
// the elevated run in this role: its owner is Administrators, SYSTEM,
// TrustedInstaller or systemOwner (the owner of the common application data
// folder, who could replace anything below it anyway), and nobody else is
// granted more than the role lets others have, by any allowing entry. For a
// product or logs folder inherit-only entries count too, since they shape
// what the run creates there; a shared level's do not, since the run creates
// there only levels of its own with their own descriptor. A null access list
// grants everyone everything; an entry of a kind not understood here is not
// trusted. Returns 0, or the failing call's code after printing its line.
std::int32_t IsTrustedFolderSecurity(PSID owner, const ACL* dacl, PSID systemOwner, FolderRole role, bool& trusted);

// The same rule for the folder behind this handle (opened with READ_CONTROL).
std::int32_t IsTrustedFolder(HANDLE folder, PSID systemOwner, FolderRole role, bool& trusted);
