// The driver settings backup: a complete copy beside the settings key while
// the package installs, and gone afterwards.
#include "settings/DriverSettingsBackup.h"
#include "support/DescriptorText.h"
#include "support/HandleLedger.h"
#include "support/OsOverride.h"
#include "support/RegistryLinks.h"
#include "support/RegistryTreeContents.h"
#include "support/TestConfiguration.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::wstring Drivers = L"Software\\InstallerLauncherTests\\Backup\\Drivers";
const std::wstring Settings = Drivers + L"\\{3C94B1E4-D8A5-42F1-813F-629E9DCD99E5}";
const std::wstring BackupName = L"SettingsBackup_{3C94B1E4-D8A5-42F1-813F-629E9DCD99E5}";
const std::wstring Backup = Drivers + L"\\" + BackupName;
const std::wstring Victim = L"Software\\InstallerLauncherTests\\Backup\\Victim";

using Tree = RegistryTreeContents;

// Removes every test key, the links first, which a tree deletion would follow.
void DeleteTestKeys()
{
    DeleteRegistryLink(Backup);
    DeleteRegistryLink(Backup + L"\\Leftover\\Link");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\InstallerLauncherTests\\Backup");
}

void PutValue(const std::wstring& path, const wchar_t* name, DWORD value)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

// A key with values and a sub-key, where planted links lead.
Tree PutVictim()
{
    PutValue(Victim, L"Owner", 1);
    PutValue(Victim + L"\\Inner", L"Depth", 2);
    return TreeAt(Victim);
}

// How the backup's calls asked for the keys they created or opened.
struct KeyRequest {
    std::wstring Name;
    DWORD Options;
    REGSAM Access;
    std::wstring Descriptor;
};
std::vector<KeyRequest> requests;
// Put in the backup key's place just before its creation: a plain key, or
// a link to a key that does not exist.
enum class Intruder { None, Key, DanglingLink };
Intruder intruder = Intruder::None;

LSTATUS WINAPI RecordingCreateKey(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR keyClass, DWORD options,
    REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition)
{
    requests.push_back({path, options, access, OwnerAndAccessSddl(security)});
    if (path == BackupName && intruder == Intruder::Key) {
        PutValue(Backup, L"Intruder", 1);
    } else if (path == BackupName && intruder == Intruder::DanglingLink) {
        PlantRegistryLink(Backup, Victim + L"\\Missing");
    }
    return RealOs.RegCreateKeyExW(root, path, reserved, keyClass, options, access, security, key, disposition);
}

LSTATUS WINAPI RecordingOpenKey(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key)
{
    requests.push_back({path, options, access, L""});
    return RealOs.RegOpenKeyExW(root, path, options, access, key);
}

// The last request the backup made for the key name.
KeyRequest RequestFor(const std::wstring& name)
{
    for (auto request = requests.rbegin(); request != requests.rend(); ++request) {
        if (request->Name == name) {
            return *request;
        }
    }
    return {};
}

class DriverSettingsBackup : public testing::Test {
protected:
    void SetUp() override
    {
        TestConfiguration.DriversKeyPath = Drivers.c_str();
        requests.clear();
        intruder = Intruder::None;
    }
    void TearDown() override
    {
        EXPECT_TRUE(ReleaseDriverSettingsBackup());
        EXPECT_EQ(0, ledger.OpenCount()) << DescribeHandles(ledger.OpenByKind());
        DeleteTestKeys();
    }

    ScopedConfiguration configuration;
    OsOverride<&OsCallTable::RegCreateKeyExW> createKey{&RecordingCreateKey};
    OsOverride<&OsCallTable::RegOpenKeyExW> openKey{&RecordingOpenKey};
    // Made after the recorders, so that it counts what they open.
    HandleLedger ledger;
};

TEST_F(DriverSettingsBackup, HoldsTheWholeSettingsTreeUntilReleased)
{
    const struct {
        const wchar_t* path;
        const wchar_t* name;
        DWORD type;
        std::vector<BYTE> data;
    } values[] = {
        {L"", L"Name", REG_SZ, {'X', 0, 0, 0}},
        {L"", L"Level", REG_DWORD, {3, 0, 0, 0}},
        {L"", L"Devices", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {L"", L"Currency", REG_SZ, {0xAC, 0x20, 0, 0}},
        {L"", L"Gain", REG_BINARY, {16, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 9, 0, 0, 0}},
        {L"\\Output", L"Channels", REG_DWORD, {2, 0, 0, 0}},
        {L"\\Output\\Speakers", L"Layout", REG_SZ, {'L', 0, 'R', 0, 0, 0}},
        {L"\\Output\\Empty", nullptr, 0, {}},
    };
    for (const auto& value : values) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (Settings + value.path).c_str(), 0, nullptr, 0,
                                     KEY_ALL_ACCESS, nullptr, &key, nullptr));
        if (value.name != nullptr) {
            RegSetValueExW(key, value.name, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
        }
        RegCloseKey(key);
    }
    const Tree settings = TreeAt(Settings);
    ASSERT_EQ(10u, settings.size());

    EXPECT_TRUE(BackupDriverSettings());
    EXPECT_EQ(settings, TreeAt(Backup)) << "every value with its type and bytes, every sub-key";

    const KeyRequest created = RequestFor(BackupName);
    EXPECT_EQ(L"O:BAD:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)", created.Descriptor);
    EXPECT_EQ(static_cast<DWORD>(REG_OPTION_OPEN_LINK), created.Options & REG_OPTION_OPEN_LINK)
        << "a link in its place is found, not followed";
    EXPECT_EQ(static_cast<REGSAM>(KEY_READ), RequestFor(L"{3C94B1E4-D8A5-42F1-813F-629E9DCD99E5}").Access)
        << "the settings key is only read";

    EXPECT_TRUE(ReleaseDriverSettingsBackup());
    EXPECT_FALSE(KeyExists(Backup));
    EXPECT_EQ(settings, TreeAt(Settings));
}

TEST_F(DriverSettingsBackup, WithoutSettingsTheBackupCreatesThemEmptyAndAReleaseAloneDoesNothing)
{
    EXPECT_TRUE(ReleaseDriverSettingsBackup()) << "no backup to delete";
    EXPECT_FALSE(KeyExists(Drivers)) << "nor anything created";

    EXPECT_TRUE(BackupDriverSettings());
    EXPECT_TRUE(KeyExists(Settings));
    EXPECT_TRUE(KeyExists(Backup));
    EXPECT_TRUE(TreeAt(Backup).empty());
    EXPECT_TRUE(ReleaseDriverSettingsBackup());
    EXPECT_FALSE(KeyExists(Backup));
    EXPECT_TRUE(KeyExists(Settings)) << "the empty settings key stays";
}

TEST_F(DriverSettingsBackup, ALinkInTheBackupsPlaceOrBelowItIsDeletedAndItsTargetKept)
{
    // A link planted as the backup key, and one below a backup key an
    // earlier run left.
    for (const std::wstring& link : {Backup, Backup + L"\\Leftover\\Link"}) {
        PutValue(Settings, L"Level", 3);
        const Tree victim = PutVictim();
        ASSERT_TRUE(PlantRegistryLink(link, Victim));
        ASSERT_EQ(victim, TreeAt(link)) << "the link leads to the victim";

        EXPECT_TRUE(BackupDriverSettings());
        EXPECT_EQ(victim, TreeAt(Victim)) << "nothing written into the victim";
        EXPECT_EQ(TreeAt(Settings), TreeAt(Backup)) << "the backup is a key of its own";
        EXPECT_TRUE(ReleaseDriverSettingsBackup());
        EXPECT_FALSE(KeyExists(Backup));
        EXPECT_EQ(victim, TreeAt(Victim)) << "nothing deleted in the victim";
        DeleteTestKeys();
    }
}

TEST_F(DriverSettingsBackup, AKeyOrLinkPutInTheBackupsPlaceBeforeItsCreationIsRefused)
{
    for (const Intruder planted : {Intruder::Key, Intruder::DanglingLink}) {
        PutValue(Settings, L"Level", 3);
        const Tree victim = PutVictim();
        const Tree settings = TreeAt(Settings);
        intruder = planted;
        EXPECT_FALSE(BackupDriverSettings());
        intruder = Intruder::None;
        EXPECT_TRUE(ReleaseDriverSettingsBackup());
        EXPECT_TRUE(KeyExists(Backup)) << "the release leaves a key this run did not create";
        EXPECT_EQ(0u, TreeAt(Backup).count(L"Level")) << "nothing copied into it";
        EXPECT_EQ(victim, TreeAt(Victim)) << "no key created through the link";
        EXPECT_EQ(settings, TreeAt(Settings));
        DeleteTestKeys();
    }
}

}  // namespace
