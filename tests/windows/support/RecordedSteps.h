#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Stand-ins for the install steps, for tests of the sequence alone: each
// records its name and returns the result a test chose (0 by default).
struct RecordedSteps {
    std::vector<std::string> Calls;
    std::map<std::string, std::int32_t> Results;
    // What the prerequisites step leaves behind in the launcher.
    bool PrerequisitesRequestRestart = false;
    std::wstring PrerequisitesStageInto;

    std::int32_t Record(const std::string& step);
};

extern RecordedSteps Steps;
