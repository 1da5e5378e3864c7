#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Fills block with the environment every child program gets, in the form
// CreateProcessW takes with CREATE_UNICODE_ENVIRONMENT: the launcher's own,
// except that TMP and TEMP name temporaryFolder (a folder of the run's that
// only administrators may write in), PATH holds only the system folders, and
// SystemRoot and windir name the Windows folder. An elevated launcher
// inherits its user's environment, so whatever a user set there must not
// decide where an elevated child unpacks its files or finds its programs.
// The variables set here come first, ahead of any inherited one whose name
// the system would take for theirs, which is left out. Returns 0, or the
// failing call's code after printing its line.
std::int32_t BuildChildEnvironment(const std::wstring& temporaryFolder, std::vector<wchar_t>& block);
