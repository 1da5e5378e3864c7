#pragma once

#include <cstdint>

// The result code for a failure whose call left no error code to report
// (a last-error value of 0): a failed step or run must never read as success.
inline constexpr std::int32_t UnspecifiedFailure = 1603;  // ERROR_INSTALL_FAILURE

// The result code of a failure with this last-error value.
inline std::int32_t FailureCode(std::uint32_t lastError)
{
    return lastError != 0 ? static_cast<std::int32_t>(lastError) : UnspecifiedFailure;
}

// A step that ran out of memory: ERROR_NOT_ENOUGH_MEMORY.
inline constexpr std::int32_t OutOfMemory = 8;

// Windows Installer's own codes, which deployment tools already understand.
inline constexpr std::int32_t UserDeclined = 1602;            // ERROR_INSTALL_USEREXIT
inline constexpr std::int32_t RestartRequired = 3010;         // ERROR_SUCCESS_REBOOT_REQUIRED
inline constexpr std::int32_t RestartInitiated = 1641;        // ERROR_SUCCESS_REBOOT_INITIATED
inline constexpr std::int32_t LogFailure = 1622;              // ERROR_INSTALL_LOG_FAILURE
inline constexpr std::int32_t ProductVersionInstalled = 1638; // ERROR_PRODUCT_VERSION: this or a newer version is there

// Whether a deployment tool counts a machine that reports this code as
// installed (perhaps waiting for a restart).
constexpr bool ReadsAsInstalled(std::int32_t code)
{
    return code == 0 || code == ProductVersionInstalled || code == RestartRequired || code == RestartInitiated;
}

// Waiting for a started program failed, so it has no exit code to give.
inline constexpr std::int32_t WaitFailure = -1;

// The device-monitor service could not be reached or refused its notice.
inline constexpr std::int32_t ServiceNoticeRefused = -1;

// No driver package is built for this machine's processor:
// ERROR_INSTALL_PLATFORM_UNSUPPORTED.
inline constexpr std::int32_t PlatformUnsupported = 1633;

// Another installation holds Windows Installer: ERROR_INSTALL_ALREADY_RUNNING.
// Deployment tools retry later.
inline constexpr std::int32_t InstallerBusy = 1618;

// A folder the run would write into is a link (symbolic link, junction or
// mount point): ERROR_REPARSE_POINT_ENCOUNTERED.
inline constexpr std::int32_t ReparsePointRefused = 4395;

// A folder the run just made turns out to belong to someone else, who put a
// folder of their own in its place: ERROR_INVALID_OWNER.
inline constexpr std::int32_t ForeignFolderRefused = 1307;

// A level of the package folder that the vendor's other products share lets
// others change what is in it, and holds more than this launcher's own
// levels, so it can be neither used nor moved aside: ERROR_DIR_NOT_EMPTY.
inline constexpr std::int32_t SharedFolderRefused = 145;

// -repair found none of the build's driver products installed:
// ERROR_UNKNOWN_PRODUCT, as Windows Installer's own repair of it ends.
inline constexpr std::int32_t UnknownProduct = 1605;

// ERROR_INVALID_PARAMETER: the command line asks for two verbs, or -extract
// names no folder, and nothing is done, since either reading could be the
// wrong one; also how Windows 7 without KB2533623 refuses to load a DLL from
// the system folder alone.
inline constexpr std::int32_t InvalidParameter = 87;
