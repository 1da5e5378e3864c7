#pragma once

#include "Privileges.h"
#include "../platform/Handles.h"
#include "../platform/ProtectedDescriptor.h"

#include <cstdint>
#include <string>

// The descriptors of the folders the elevated run makes. Each is owned by
// Administrators, gives full control to SYSTEM and Administrators only, and
// is protected: nothing is inherited from a parent that a standard user may
// control (the temporary folder, or ProgramData, where every user may create
// folders and owns what they create).
// The staging folder: nobody else may read, replace or add to the programs
// staged there, nor plant a DLL beside them.
inline constexpr const wchar_t* StagingFolderDescriptor = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// The package folder's levels: users may read and execute (0x1200a9) what
// is there, never change it.
inline constexpr const wchar_t* PackageFolderDescriptor =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// True for a folder that is no link of any kind: a reparse point (symbolic
// link, junction, mount point) or a file in a folder's place fails.
bool IsPlainFolder(DWORD attributes);

// Whether two handles' records name the same file-system object.
bool IsSameObject(const BY_HANDLE_FILE_INFORMATION& first, const BY_HANDLE_FILE_INFORMATION& second);

// Refuses a folder that the run has just made and holds open (folder, at
// path) when its owner is not the one this system gives to what the run
// creates with descriptor. Between the folder's creation and its opening, a
// user who may delete in the parent could put a folder of their own in its
// place, and would own it; a file made in the folder with the same
// descriptor shows the owner to expect, as the system records it. Returns 0,
// ForeignFolderRefused, or the failing call's code after printing its line.
std::int32_t ConfirmFolderIsOurs(HANDLE folder, const std::wstring& path, ProtectedDescriptor& descriptor);

// Makes a folder level that exists already safe to write below: a link or a
// file in its place is refused, and a level owned by anyone but
// Administrators, SYSTEM or TrustedInstaller gets the descriptor's owner and
// protected access list. privileges are enabled here when not yet, and stay
// so for the caller's other levels. Returns 0, or the failing operation's
// code after printing its diagnostic line; nothing is written through a link.
std::int32_t SecureExistingFolder(
    const std::wstring& path, const ProtectedDescriptor& descriptor, OwnershipPrivileges& privileges);
