#include "TestConfiguration.h"

namespace {

const wchar_t* const NoEntries[] = {L""};

}  // namespace

// The shipped product's values.
LauncherConfiguration TestConfiguration = {
    L"Software\\Kesmora\\Audio\\Drivers",
    NoEntries,
    NoEntries,
    L"TAVRINAudioDevMon",
    L"{3C94B1E4-D8A5-42F1-813F-629E9DCD99E5}",
    NoEntries,
    L"TAVRIN",
    0,
    0,
    600,
    false,
    false,
    {NoEntries, 0},
    {NoEntries, 0},
};

const LauncherConfiguration& LauncherConfig = TestConfiguration;
