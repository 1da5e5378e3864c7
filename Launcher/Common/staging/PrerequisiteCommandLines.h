#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class PrerequisiteBitness { X86, X64 };

// The parameters a runtime prerequisite installer is started with: the fixed
// self-extractor line when the build asks for it, otherwise the quiet or the
// passive switches.
std::wstring PrerequisiteParameters(PrerequisiteBitness bitness, bool quiet, bool useSelfExtractorSwitches);

// The prerequisites run quietly when the Windows Installer arguments ask for a
// quiet install, spelled exactly "/quiet".
bool IsQuietRequest(std::wstring_view msiArgumentTemplate);

enum class PrerequisiteOutcome { Installed, InstalledRestartRequired, Failed };

// What a prerequisite installer's exit code means: a code that reads as
// installed is success, and RestartRequired or RestartInitiated among them is
// success that wants a restart; anything else is a failure.
PrerequisiteOutcome ClassifyPrerequisiteResult(std::int32_t result);
