#include "TestConfiguration.h"

#include "ShippedIdentity.h"

namespace {

const wchar_t* const NoEntries[] = {L""};

}  // namespace

// The shipped product's values.
LauncherConfiguration TestConfiguration = {
    Shipped::DriversKeyPath,
    NoEntries,
    NoEntries,
    Shipped::DeviceMonitorServiceName,
    Shipped::SettingsGuid,
    NoEntries,
    Shipped::VendorFolderName,
    Shipped::InstallersFolderName,
    Shipped::ProductFolderName,
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

const LauncherConfiguration& LauncherConfig = TestConfiguration;
