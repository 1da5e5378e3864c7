#pragma once

#include "LogLine.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

class ProductPackageFolder;

// The run's support log. Each line goes to the file as it is logged, with no
// buffer in the process, so that a killed run's log ends with the last step
// it reached; lines logged before the file is open are kept in memory and
// written first. Secrets in a line are masked (see MaskSecrets). A write that
// fails is dropped: the log never changes how a run ends.
void Log(LogLevel level, const std::wstring& message);
// The same for a message made of these pieces, one after the other.
void Log(LogLevel level, std::initializer_list<std::wstring_view> pieces);

// Opens the default log, "InstallerLauncher-YYYYMMDD-hhmmss-<pid>.log" (local
// time) in the Logs folder of the product package folder, which folders
// makes ready and holds, and keeps the newest 10 launcher logs there with
// their Windows Installer logs. Returns 0, or the failing operation's code
// after printing its diagnostic line; the run then goes on without a log.
std::int32_t OpenDefaultSupportLog(ProductPackageFolder& folders);

// Opens the log an administrator named, creating or replacing the file, but
// never through a link: a file that is a reparse point or has a second name
// is refused. Returns 0, or the failing operation's code after printing its
// diagnostic line.
std::int32_t OpenSupportLogAt(const std::wstring& path);

// The open log's path, or empty.
const std::wstring& SupportLogPath();

// The path of a Windows Installer log beside the open log: its path with "-"
// and the suffix ("msi", "remove-{code}") before its extension; empty when no
// log is open.
std::wstring WindowsInstallerLogPath(const std::wstring& suffix);

// The arguments that give Windows Installer a verbose log of its own beside
// the open log (" /l*v \"<path>\""), or empty when no log is open.
std::wstring WindowsInstallerLogArgument(const std::wstring& suffix);

// Closes the log at the end of a run, and drops what was kept in memory and
// never written; lines logged afterwards are kept for the next log.
void CloseSupportLog();
