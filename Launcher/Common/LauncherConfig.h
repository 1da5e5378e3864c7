#pragma once

#include <cstdint>

// Windows Installer product codes, any one of which installed means that a
// prerequisite is installed already.
struct ProductCodeList {
    const wchar_t* const* Codes;
    std::int32_t Count;
};

// The build-time values of one launcher build, in the order the build holds
// them. A table is an array of zero-terminated strings whose used length is a
// separate count; only entries 0 to count - 1 are ever read. Each launcher
// build defines the values in a source file generated from its configuration.
struct LauncherConfiguration {
    const wchar_t* DriversKeyPath;            // below HKEY_LOCAL_MACHINE
    const wchar_t* const* ProductCodes32;     // earlier products, 32-bit Windows
    const wchar_t* const* ProductCodes64;     // earlier products, 64-bit Windows
    const wchar_t* DeviceMonitorServiceName;
    const wchar_t* SettingsGuid;              // braces included
    const wchar_t* const* ProcessNames;       // bare image file names
    const wchar_t* VendorFolderName;          // the product package folder's levels below
    const wchar_t* InstallersFolderName;      // the common application data folder, in order
    const wchar_t* ProductFolderName;
    const wchar_t* PackageFileName;           // the driver package's, in the product package folder
    std::int32_t ProductCodeCount;            // indexes both product-code tables
    std::int32_t ProcessNameCount;
    std::int32_t MsiBusyWaitSeconds;          // longest wait for a busy Windows Installer, per start
    bool UseSelfExtractorSwitches;
    bool ContinueAfterPrerequisiteFailure;
    ProductCodeList InstalledRedist32;        // "VC2005_REDIST_32" is not run when one is installed
    ProductCodeList InstalledRedist64;        // "VC2005_REDIST_64" likewise
    // The driver packages the build carries, indexed alike: each one's "MSI"
    // resource name, and the ProductCode and ProductVersion of its Property
    // table, read from the package file when the build was configured.
    const wchar_t* const* DriverPackageResources;
    ProductCodeList DriverProductCodes;
    const wchar_t* const* DriverProductVersions;
};

// Read-only to the whole launcher; read where needed, by name.
extern const LauncherConfiguration& LauncherConfig;
