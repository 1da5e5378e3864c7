// Fails each allocation of each settings operation in turn. No exception
// leaves the operation: it gives its failure result, or, for an allocation it
// can do without, its whole success, and it closes every key it opened.
#include "settings/DriverSettingsBackup.h"
#include "settings/RegistryKey.h"
#include "support/AllocationCountdown.h"
#include "support/HandleLedger.h"
#include "support/RegistryTreeContents.h"
#include "support/TestConfiguration.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::wstring Root = L"Software\\InstallerLauncherTests\\AllocationSweep";
const std::wstring Drivers = Root + L"\\Drivers";
const std::wstring Guid = L"{3C94B1E4-D8A5-42F1-813F-629E9DCD99E5}";
const std::wstring Settings = Drivers + L"\\" + Guid;
const std::wstring Copy = Root + L"\\Copy";

// Settings with two levels of sub-keys, each with text, a DWORD and a blob.
void PutSettings(const Variant& number)
{
    for (const std::wstring& path : {Settings, Settings + L"\\Level1", Settings + L"\\Level1\\Level2"}) {
        RegistryKey key(path);
        ASSERT_EQ(S_OK, key.Open(false));
        ASSERT_EQ(S_OK, key.WriteRawValue(L"Name", {REG_SZ, {'X', 0, 0, 0}}));
        ASSERT_EQ(S_OK, key.WriteRawValue(L"Level", {REG_DWORD, {1, 0, 0, 0}}));
        ASSERT_LT(0, key.WriteValue(L"Blob", number));
    }
}

// One settings operation, with its result: E_FAIL on every failure, a step's
// false among them.
struct SettingsOperation {
    const char* Name;
    std::function<std::int32_t()> Run;
};

std::int32_t AsResult(bool succeeded)
{
    return succeeded ? S_OK : E_FAIL;
}

class AllocationSweep : public testing::Test {
protected:
    void SetUp() override
    {
        TestConfiguration.DriversKeyPath = Drivers.c_str();
        text = "abc";
        const std::uint8_t seven[] = {7, 0, 0, 0};
        number.SetTyped(2, seven, sizeof seven);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, Root.c_str()); }

    // The machine every run of an operation starts from, its keys open.
    void Prepare()
    {
        ReleaseDriverSettingsBackup();
        for (RegistryKey* key : {&drivers, &settings, &copy}) {
            key->Close();
        }
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, Root.c_str());
        PutSettings(number);
        for (RegistryKey* key : {&drivers, &settings, &copy}) {
            key->Open(false);
        }
    }

    // Sweeps every allocation of operation; the unfailed run first, after
    // prepare, and each later run from the same machine.
    void Sweep(const SettingsOperation& operation, const std::function<void()>& prepare = [] {})
    {
        SCOPED_TRACE(operation.Name);
        Prepare();
        prepare();
        std::int32_t succeeded = 0;
        int allocations = 0;
        {
            AllocationCountdown countdown(0);
            succeeded = operation.Run();
            allocations = countdown.Allocations();
        }
        const RegistryTreeContents complete = TreeAt(Root);
        ReleaseDriverSettingsBackup();
        ASSERT_GE(succeeded, 0);
        RecordProperty(operation.Name, allocations);
        std::printf("%s: %d allocations swept\n", operation.Name, allocations);
        for (int failAt = 1; failAt <= allocations; ++failAt) {
            SCOPED_TRACE("failing allocation " + std::to_string(failAt));
            Prepare();
            HandleLedger ledger;
            prepare();
            std::int32_t result = 0;
            bool escaped = false;
            {
                AllocationCountdown countdown(failAt);
                try {
                    result = operation.Run();
                } catch (...) {
                    escaped = true;
                }
            }
            ASSERT_FALSE(escaped);
            if (result != succeeded) {
                EXPECT_EQ(E_FAIL, result);
            } else {
                EXPECT_EQ(complete, TreeAt(Root)) << "a success is the whole of it";
            }
            // The backup key is held open until its release.
            ReleaseDriverSettingsBackup();
            EXPECT_EQ(0, ledger.OpenCount()) << "every key opened is closed";
        }
    }

    ScopedConfiguration configuration;
    RegistryKey drivers{Drivers};
    RegistryKey settings{Settings};
    RegistryKey copy{Copy};
    const RegistryValueData raw{REG_DWORD, {1, 2, 3, 4}};
    Variant text;
    Variant number;
};

TEST_F(AllocationSweep, EachValueOperationFailsCleanly)
{
    const SettingsOperation operations[] = {
        {"ReadValue text", [&] { Variant read; return settings.ReadValue(L"Name", read); }},
        {"ReadValue blob", [&] { Variant read; return settings.ReadValue(L"Blob", read); }},
        {"ReadRawValue", [&] { RegistryValueData read; return settings.ReadRawValue(L"Level", read); }},
        {"WriteValue text", [&] { return copy.WriteValue(L"Text", text); }},
        {"WriteValue blob", [&] { return copy.WriteValue(L"Number", number); }},
        {"WriteRawValue", [&] { return copy.WriteRawValue(L"Raw", raw); }},
        {"EnumSubKeys", [&] { std::vector<std::wstring> names; return settings.EnumSubKeys(names); }},
        {"EnumValueNames", [&] { std::vector<std::wstring> names; return settings.EnumValueNames(names); }},
        {"EnumValues", [&] { std::vector<ListedRegistryValue> values; return settings.EnumValues(values); }},
        {"SubKey exists", [&] { return AsResult(settings.SubKey(L"Level1", SubKeyAccess::Read).IsOpen()); }},
    };
    for (const SettingsOperation& operation : operations) {
        Sweep(operation);
    }
}

TEST_F(AllocationSweep, EachTreeOperationFailsCleanly)
{
    Sweep({"CopyKeyTree", [&] { return CopyKeyTree(settings, copy); }});
    Sweep({"DeleteSubKeyTree", [&] { return drivers.DeleteSubKeyTree(Guid); }});
    Sweep({"BackupDriverSettings", [] { return AsResult(BackupDriverSettings()); }});
    Sweep({"ReleaseDriverSettingsBackup", [] { return AsResult(ReleaseDriverSettingsBackup()); }},
        [] { ASSERT_TRUE(BackupDriverSettings()); });
}

}  // namespace
