#pragma once

#include "OsOverride.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Replaces the shell while it lives: every request is recorded, and a real
// process is started in its place that ends with the exit code chosen for the
// requested file's bare name (0 unless chosen), so the launcher's wait and
// exit-code reading run for real.
class ScriptedShell {
public:
    struct Request {
        std::wstring File;
        std::wstring Parameters;
    };

    ScriptedShell();
    ~ScriptedShell();
    ScriptedShell(const ScriptedShell&) = delete;
    ScriptedShell& operator=(const ScriptedShell&) = delete;

    std::map<std::wstring, std::int32_t> ExitCodes;
    std::vector<Request> Requests;

    // The bare file names requested, in order.
    std::vector<std::wstring> FileNames() const;

private:
    OsOverride<decltype(&::ShellExecuteExW)> shell_;
};
