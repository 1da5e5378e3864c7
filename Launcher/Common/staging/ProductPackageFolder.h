#pragma once

#include <cstdint>
#include <string>

// Makes ready the persistent folder for the driver package below the common
// application data folder, level by level ("Kesmora", "Installers", the
// product folder), and sets folder to its path with a trailing backslash.
// A level the run creates gets the protected package-folder descriptor; one
// that exists is refused when it is a link and taken over when a standard
// user owns it. Returns 0, or the failing operation's code after printing
// its diagnostic line; folder is then left empty.
std::int32_t OpenProductPackageFolder(std::wstring& folder);
