#pragma once

#include "LogLine.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

class ProductPackageFolder;
class StagingFolder;

// The run's support log. Each line goes to the file as it is logged, with no
// buffer in the process, so that a killed run's log ends with the last step
// it reached; lines logged before the file is open are kept in memory and
// written first. Secrets in a line are masked (see MaskSecrets). A write that
// fails is dropped: the log never changes how a run ends.
void Log(LogLevel level, const std::wstring& message);
// The same for a message made of these pieces, one after the other.
void Log(LogLevel level, std::initializer_list<std::wstring_view> pieces);

// Opens the default log, "InstallerLauncher-YYYYMMDD-hhmmss-<pid>.log" (local
// time), created new in the Logs folder of the product package folder,
// which folders makes ready and holds, and keeps the newest 10 launcher logs
// there with their Windows Installer logs. When that folder or the file
// cannot be made or secured, the log is made in a new folder of the run's
// own that fallback makes and holds under Windows' temporary folder, and a
// warning line names it. Windows Installer's logs go to the same folder.
// Returns 0, or the failing operation's code after printing its diagnostic
// line; the run then goes on without a log.
std::int32_t OpenDefaultSupportLog(ProductPackageFolder& folders, StagingFolder& fallback);

// Opens a log, named like the default one, in a new folder of the run's own
// that fallback makes and holds under Windows' temporary folder, with a
// warning line that names it: for a run that may touch neither the Logs
// folder nor a named log, since another run holds them. Returns 0, or the
// failing operation's code after printing its diagnostic line.
std::int32_t OpenSupportLogApart(StagingFolder& fallback);

// Opens the log an administrator named, made absolute against the current
// folder. The folder is held and the file opened as itself, and the file is
// created or emptied only once both are confirmed to be what the full path
// names: a link or junction anywhere on the way (the final path differs), a
// file that is a reparse point, or one with a second name is refused, and an
// existing file keeps its bytes. Windows Installer's logs go to the Logs
// folder (folders), or to a fallback folder as for the default log, never
// beside the named file. Returns 0, or the failing operation's code after
// printing its diagnostic line; a Logs folder that cannot be had is no
// failure.
std::int32_t OpenSupportLogAt(const std::wstring& path, ProductPackageFolder& folders, StagingFolder& fallback);

// The open log's path, or empty.
const std::wstring& SupportLogPath();

// The path of a Windows Installer log in the run's protected log folder: the
// open log's file name with "-" and the suffix ("msi", "remove-{code}")
// before its extension; empty when no log or no such folder is open.
std::wstring WindowsInstallerLogPath(const std::wstring& suffix);

// The arguments that give Windows Installer a verbose log of its own
// (" /l*v \"<path>\""), after logging where it goes; empty when there is no
// such path.
std::wstring WindowsInstallerLogArgument(const std::wstring& suffix);

// Closes the log at the end of a run, and drops what was kept in memory and
// never written; lines logged afterwards are kept for the next log.
void CloseSupportLog();
