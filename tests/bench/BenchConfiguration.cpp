#include "LauncherConfig.h"
#include "ShippedIdentity.h"

namespace {

const wchar_t* const NoEntries[] = {L""};

// Keys and a product folder of the benchmark's own, so that a run never meets
// the product's.
const LauncherConfiguration BenchConfiguration = {
    L"Software\\InstallerLauncherBench\\Drivers",
    NoEntries,
    NoEntries,
    L"InstallerLauncherBenchMonitor",
    L"{6A0C2F5E-0B7D-4C86-9E51-3F2A4D8B7C10}",
    NoEntries,
    Shipped::VendorFolderName,
    Shipped::InstallersFolderName,
    L"InstallerLauncherBench",
    Shipped::PackageFileName,
    0,
    0,
    600,
    false,
    false,
    {NoEntries, 0},
    {NoEntries, 0},
    NoEntries,
    {NoEntries, 0},
    NoEntries,
};

}  // namespace

const LauncherConfiguration& LauncherConfig = BenchConfiguration;
