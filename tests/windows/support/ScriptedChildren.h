#pragma once

#include "OsOverride.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Replaces process creation while it lives: every program the launcher starts
// is recorded, and handles of a real process that has ended with the exit
// code chosen for the program's bare name (0 unless chosen) are handed back in
// its place, so the launcher's wait, exit-code reading and closes run for
// real.
class ScriptedChildren {
public:
    struct Request {
        std::wstring File;
        // The command line after the quoted program path.
        std::wstring Parameters;
        std::wstring WorkingFolder;
        // The command line began with the quoted program path.
        bool QuotedProgramFirst;
    };

    ScriptedChildren();
    ~ScriptedChildren();
    ScriptedChildren(const ScriptedChildren&) = delete;
    ScriptedChildren& operator=(const ScriptedChildren&) = delete;

    std::map<std::wstring, std::int32_t> ExitCodes;
    // Exit codes for the first starts of a program, by bare name, one per
    // start and used up in order; ExitCodes applies afterwards.
    std::map<std::wstring, std::vector<std::int32_t>> FirstExitCodes;
    std::vector<Request> Requests;

    // The bare file names requested, in order.
    std::vector<std::wstring> FileNames() const;

private:
    OsOverride<&OsCallTable::CreateProcessW> creation_;
};
