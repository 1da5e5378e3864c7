// The driver settings backup: a complete copy beside the settings key while
// the package installs, and gone afterwards.
#include "settings/DriverSettingsBackup.h"
#include "settings/RegistryKey.h"
#include "support/TestConfiguration.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::wstring Drivers = L"Software\\InstallerLauncherTests\\Backup\\Drivers";
const std::wstring Settings = Drivers + L"\\{3C94B1E4-D8A5-42F1-813F-629E9DCD99E5}";
const std::wstring Backup = Drivers + L"\\SettingsBackup_{3C94B1E4-D8A5-42F1-813F-629E9DCD99E5}";

// Every key and value below a key, by relative path; a key is an entry with
// type REG_NONE and no data under its path and a trailing backslash.
using Tree = std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>>;

void ReadTree(HKEY key, const std::wstring& prefix, Tree& tree)
{
    wchar_t name[256];
    BYTE data[256];
    DWORD nameLength = 256;
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    for (DWORD index = 0; RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) == 0; ++index) {
        tree[prefix + name] = {type, std::vector<BYTE>(data, data + size)};
        nameLength = 256;
        size = sizeof data;
    }
    for (DWORD index = 0; RegEnumKeyW(key, index, name, 256) == ERROR_SUCCESS; ++index) {
        HKEY child = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key, name, 0, KEY_READ, &child));
        tree[prefix + name + L"\\"];
        ReadTree(child, prefix + name + L"\\", tree);
        RegCloseKey(child);
    }
}

Tree TreeAt(const std::wstring& path)
{
    Tree tree;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        ReadTree(key, L"", tree);
        RegCloseKey(key);
    }
    return tree;
}

class DriverSettingsBackup : public testing::Test {
protected:
    void SetUp() override { TestConfiguration.DriversKeyPath = Drivers.c_str(); }
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\InstallerLauncherTests\\Backup"); }

    ScopedConfiguration configuration;
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

    EXPECT_TRUE(ReleaseDriverSettingsBackup());
    EXPECT_FALSE(KeyExists(Backup));
    EXPECT_EQ(settings, TreeAt(Settings));
}

TEST_F(DriverSettingsBackup, WithoutSettingsBothStepsCreateWhatTheyNeed)
{
    EXPECT_TRUE(ReleaseDriverSettingsBackup()) << "no backup to delete";
    EXPECT_TRUE(KeyExists(Drivers));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Drivers.c_str());

    EXPECT_TRUE(BackupDriverSettings());
    EXPECT_TRUE(KeyExists(Settings));
    EXPECT_TRUE(KeyExists(Backup));
    EXPECT_TRUE(TreeAt(Backup).empty());
    EXPECT_TRUE(ReleaseDriverSettingsBackup());
    EXPECT_FALSE(KeyExists(Backup));
    EXPECT_TRUE(KeyExists(Settings)) << "the empty settings key stays";
}

}  // namespace
