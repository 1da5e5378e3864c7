// The driver settings backup and its release against the system's own tree
// calls, RegCopyTreeW and RegDeleteTreeW, on the same settings key, measured
// alternately in this one process, for several sizes of key.
//
// usage: SettingsBackupBench.exe REPETITIONS SUBKEYS...
#include "BenchClock.h"

#include "LauncherConfig.h"
#include "settings/DriverSettingsBackup.h"
#include "settings/RegistryKey.h"
#include "settings/Variant.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const wchar_t* BaselineKeyName = L"BaselineCopy";

void Require(LSTATUS status, const char* what)
{
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "%s failed (%ld)\n", what, static_cast<long>(status));
        std::exit(3);
    }
}

HKEY CreateKey(HKEY parent, const std::wstring& name)
{
    HKEY key = nullptr;
    Require(RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        "RegCreateKeyExW");
    return key;
}

void SetValue(HKEY key, const std::wstring& name, DWORD type, const void* data, DWORD size)
{
    Require(RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), "RegSetValueExW");
}

// Ten values of the kinds a driver keeps: text, numbers, raw bytes, and the
// value blobs the launcher itself writes.
void FillDevice(const std::wstring& path, int index)
{
    const HKEY key = CreateKey(HKEY_LOCAL_MACHINE, path);
    for (int text = 0; text < 3; ++text) {
        const std::wstring value = L"Device " + std::to_wstring(index) + L" setting " + std::to_wstring(text);
        SetValue(key, L"Text" + std::to_wstring(text), REG_SZ, value.c_str(),
            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    for (int number = 0; number < 3; ++number) {
        const DWORD value = static_cast<DWORD>(index * 10 + number);
        SetValue(key, L"Number" + std::to_wstring(number), REG_DWORD, &value, sizeof(value));
    }
    std::uint8_t bytes[64];
    for (int raw = 0; raw < 2; ++raw) {
        for (size_t at = 0; at < sizeof(bytes); ++at) {
            bytes[at] = static_cast<std::uint8_t>(index + raw + at);
        }
        SetValue(key, L"Raw" + std::to_wstring(raw), REG_BINARY, bytes, sizeof(bytes));
    }
    RegCloseKey(key);
    RegistryKey blobs(path);
    blobs.Open(/*readOnly=*/false);
    for (int blob = 0; blob < 2; ++blob) {
        Variant value;
        const std::uint8_t scalar[8] = {static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(blob)};
        value.SetTyped(static_cast<std::int32_t>(blob == 0 ? VariantType::Int32 : VariantType::Double), scalar,
            blob == 0 ? 4 : 8);
        if (blobs.WriteValue(L"Blob" + std::to_wstring(blob), value) < 0) {
            std::fprintf(stderr, "writing a value blob failed\n");
            std::exit(3);
        }
    }
}

std::wstring DriversPath()
{
    return LauncherConfig.DriversKeyPath;
}

std::wstring SettingsPath()
{
    return DriversPath() + L"\\" + LauncherConfig.SettingsGuid;
}

void CreateSettings(int subKeys)
{
    for (int index = 0; index < subKeys; ++index) {
        FillDevice(SettingsPath() + L"\\Device" + std::to_wstring(index), index);
    }
}

void DeleteDrivers()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, DriversPath().c_str());
}

// The system's own copy and delete of the same tree.
void CopyAndDeleteWithSystemCalls(Samples& copies, Samples& deletions)
{
    HKEY settings = nullptr;
    Require(RegOpenKeyExW(HKEY_LOCAL_MACHINE, SettingsPath().c_str(), 0, KEY_READ, &settings), "RegOpenKeyExW");
    const HKEY drivers = CreateKey(HKEY_LOCAL_MACHINE, DriversPath());
    const Stopwatch copy;
    const HKEY destination = CreateKey(drivers, BaselineKeyName);
    Require(RegCopyTreeW(settings, nullptr, destination), "RegCopyTreeW");
    RegCloseKey(destination);
    copies.Add(copy.Seconds());
    const Stopwatch deletion;
    Require(RegDeleteTreeW(drivers, BaselineKeyName), "RegDeleteTreeW");
    deletions.Add(deletion.Seconds());
    RegCloseKey(drivers);
    RegCloseKey(settings);
}

void BackUpAndRelease(Samples& backups, Samples& releases)
{
    const Stopwatch backup;
    const bool backedUp = BackupDriverSettings();
    backups.Add(backup.Seconds());
    const Stopwatch release;
    const bool released = ReleaseDriverSettingsBackup();
    releases.Add(release.Seconds());
    if (!backedUp || !released) {
        std::fprintf(stderr, "the backup or its release failed\n");
        std::exit(3);
    }
}

void MeasureSize(int subKeys, int repetitions)
{
    DeleteDrivers();
    CreateSettings(subKeys);
    Samples backups, releases, copies, deletions;
    // Each side goes first in every other repetition, so neither always
    // meets the registry as the other left it.
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        if (repetition % 2 != 0) {
            CopyAndDeleteWithSystemCalls(copies, deletions);
        }
        BackUpAndRelease(backups, releases);
        if (repetition % 2 == 0) {
            CopyAndDeleteWithSystemCalls(copies, deletions);
        }
    }
    const std::string keys = std::to_string(subKeys) + " sub-keys: ";
    PrintSamples(keys + "BackupDriverSettings", backups);
    PrintSamples(keys + "ReleaseDriverSettingsBackup", releases);
    PrintSamples(keys + "RegCopyTreeW", copies);
    PrintSamples(keys + "RegDeleteTreeW", deletions);
    const double launcherTime = backups.Median() + releases.Median();
    const double systemTime = copies.Median() + deletions.Median();
    const std::string figure = "settings." + std::to_string(subKeys);
    PrintFigure(figure + ".seconds_per_key", launcherTime / subKeys);
    PrintFigure(figure + ".ratio", launcherTime / systemTime);
    DeleteDrivers();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int repetitions = argc > 1 ? _wtoi(argv[1]) : 3;
    for (int argument = 2; argument < argc; ++argument) {
        MeasureSize(_wtoi(argv[argument]), repetitions);
    }
    return 0;
}
