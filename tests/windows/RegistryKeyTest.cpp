// The registry key object against Wine's registry: where each view lands,
// values in and out of a Variant, and the two name listings.
#include "settings/RegistryKey.h"
#include "support/CountedOsCall.h"
#include "support/HandleLedger.h"
#include "support/OsFailures.h"
#include "support/RegistryTreeContents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::wstring TestKey = L"Software\\InstallerLauncherTests\\RegistryKey";

using Bytes = std::vector<BYTE>;

// A spare code unit that is not NUL behind the data, so that the registry
// does not add a NUL to text written without one.
void Put(const wchar_t* name, DWORD type, Bytes data)
{
    const DWORD size = static_cast<DWORD>(data.size());
    data.insert(data.end(), {0xFF, 0xFF});
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, TestKey.c_str(), name, type, data.data(), size));
}

RegistryValueData Stored(const wchar_t* name)
{
    RegistryValueData value;
    HKEY key = nullptr;
    DWORD size = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TestKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, name, nullptr, &value.Type, nullptr, &size);
        value.Bytes.resize(size);
        RegQueryValueExW(key, name, nullptr, &value.Type, value.Bytes.data(), &size);
        RegCloseKey(key);
    }
    return value;
}

bool SeparateViews()
{
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

class RegistryKeyTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, key.Open(false)); }
    void TearDown() override
    {
        key.Close();
        DeleteInBothViews(TestKey);
    }

    RegistryKey key{TestKey};
};

TEST_F(RegistryKeyTest, EachViewLandsWhereThisProcessAndWindowsPutIt)
{
    // Without the flag the default view applies: the 32-bit one for a 32-bit
    // process on 64-bit Windows, the 64-bit one for a 64-bit process.
    const bool separate = SeparateViews();
    const bool defaultIs64 = sizeof(void*) == 8;
    const struct {
        const wchar_t* name;
        bool use64BitView;
        bool in64;
        bool in32;
    } cases[] = {
        {L"\\Default", false, defaultIs64 || !separate, !defaultIs64 || !separate},
        {L"\\SixtyFour", true, true, !separate},
    };
    for (const auto& view : cases) {
        RegistryKey written(TestKey + view.name, LocalMachine, view.use64BitView);
        ASSERT_EQ(S_OK, written.Open(false));
        EXPECT_EQ(view.in64, KeyExists(TestKey + view.name, KEY_WOW64_64KEY)) << view.name;
        EXPECT_EQ(view.in32, KeyExists(TestKey + view.name, KEY_WOW64_32KEY)) << view.name;
    }
}

TEST_F(RegistryKeyTest, OpeningCreatesTheMissingPathButReadingNever)
{
    const std::wstring deep = TestKey + L"\\Missing\\Deeper";
    EXPECT_EQ(E_FAIL, RegistryKey(deep).Open(true));
    EXPECT_EQ(E_FAIL, RegistryKey(TestKey + L"\\Missing").Open(true)) << "opening to read created nothing";
    RegistryKey created(deep);
    EXPECT_EQ(S_OK, created.Open(false));
    EXPECT_EQ(1, created.Open(true)) << "an open key stays as it is";
    EXPECT_EQ(S_OK, RegistryKey(deep).Open(true));
    RegistryKey unknownRoot(TestKey, 4);
    EXPECT_EQ(E_FAIL, unknownRoot.Open(true));
    EXPECT_EQ(E_FAIL, unknownRoot.Open(false));
}

TEST_F(RegistryKeyTest, EveryKeyOpenedIsClosedOnceWhateverTheOpenGave)
{
    HandleLedger ledger;
    {
        RegistryKey reopened(TestKey);
        ASSERT_EQ(S_OK, reopened.Open(true));
        reopened.Close();
        EXPECT_EQ(S_OK, reopened.Open(false));
        EXPECT_FALSE(key.SubKey(L"Missing", SubKeyAccess::Read).IsOpen());
        RegistryKey made = key.SubKey(L"Made", SubKeyAccess::ReadCreating);
        EXPECT_FALSE(key.CreateNewSubKey(L"Made", nullptr).IsOpen()) << "a key there already is let go";
        const RegistryKey moved = std::move(made);
        EXPECT_TRUE(moved.IsOpen());
        EXPECT_FALSE(made.IsOpen()) << "moving hands the handle on";
        EXPECT_EQ(E_FAIL, RegistryKey(TestKey, 4).Open(true));
    }
    EXPECT_EQ(4, ledger.OpenedByKind()[HandleKind::RegistryKey]);
    EXPECT_EQ(0, ledger.OpenCount()) << DescribeHandles(ledger.OpenByKind());
    EXPECT_TRUE(ledger.Mismatches().empty());
}

TEST_F(RegistryKeyTest, ReadValueTurnsRegistryDataIntoAVariant)
{
    const Bytes int32Blob = {16, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 7, 0, 0, 0};
    const struct {
        const char* label;
        DWORD type;
        Bytes data;
        HRESULT result;
        VariantType kind;
        std::string text;
    } cases[] = {
        {"text with its NUL", REG_SZ, {'a', 0, 'b', 0, 'c', 0, 0, 0}, S_OK, VariantType::String, "abc"},
        {"text without a NUL ends with the data", REG_SZ, {'a', 0, 'b', 0}, S_OK, VariantType::String, "ab"},
        {"a last odd byte is no character", REG_SZ, {'a', 0, 'b'}, S_OK, VariantType::String, "a"},
        {"no data is the empty text", REG_SZ, {}, S_OK, VariantType::String, ""},
        {"text ends at the first NUL", REG_SZ, {'a', 0, 0, 0, 'b', 0}, S_OK, VariantType::String, "a"},
        {"U+00E9 is one byte", REG_SZ, {0xE9, 0, 0, 0}, S_OK, VariantType::String, "\xE9"},
        {"U+20AC does not narrow", REG_SZ, {0xAC, 0x20, 0, 0}, E_FAIL, VariantType::Empty, ""},
        {"what follows the NUL is not looked at", REG_SZ, {'a', 0, 0, 0, 0xAC, 0x20}, S_OK, VariantType::String,
         "a"},
        {"a DWORD is no blob", REG_DWORD, {1, 0, 0, 0}, S_OK, VariantType::Empty, ""},
        {"a blob of any type but REG_SZ", REG_NONE, int32Blob, S_OK, VariantType::Int32, ""},
    };
    for (const auto& value : cases) {
        Put(L"Value", value.type, value.data);
        RegistryValueData raw;
        EXPECT_EQ(S_OK, key.ReadRawValue(L"Value", raw)) << value.label;
        EXPECT_EQ(value.type, raw.Type) << value.label;
        EXPECT_EQ(value.data, raw.Bytes) << value.label;
        Variant read;
        read = "stale";
        EXPECT_EQ(value.result, key.ReadValue(L"Value", read)) << value.label;
        ASSERT_EQ(value.kind, read.GetType()) << value.label;
        if (value.kind == VariantType::String) {
            std::uint32_t size = 0;
            read.GetData(size);
            EXPECT_EQ(value.text, read.GetString()) << value.label;
            EXPECT_EQ(value.text.size() + 1, size) << value.label;
        }
    }
    Variant missing;
    missing = "stale";
    EXPECT_EQ(E_FAIL, key.ReadValue(L"Missing", missing));
    EXPECT_EQ(VariantType::Empty, missing.GetType());
}

TEST_F(RegistryKeyTest, WriteValueStoresTextAsRegSzAndTheRestAsBlobs)
{
    const struct {
        const char* label;
        void (*set)(Variant&);
        HRESULT result;
        DWORD type;
        Bytes data;
    } cases[] = {
        {"Empty", [](Variant&) {}, 12, REG_BINARY, {12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"Int32",
            [](Variant& v) {
                const std::uint8_t five[] = {5, 0, 0, 0};
                v.SetTyped(2, five, 4);
            },
            16, REG_BINARY, {16, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 5, 0, 0, 0}},
        {"empty String", [](Variant& v) { v = ""; }, S_OK, REG_SZ, {0, 0}},
        {"String", [](Variant& v) { v = "A\xE9"; }, S_OK, REG_SZ, {'A', 0, 0xE9, 0, 0, 0}},
    };
    for (const auto& value : cases) {
        Variant written;
        value.set(written);
        EXPECT_EQ(value.result, key.WriteValue(L"", written)) << value.label;
        const RegistryValueData stored = Stored(L"");
        EXPECT_EQ(value.type, stored.Type) << value.label;
        EXPECT_EQ(value.data, stored.Bytes) << value.label << ", the default value";
    }
}

TEST_F(RegistryKeyTest, RawValuesKeepTheirTypeAndBytes)
{
    const RegistryValueData cases[] = {
        {REG_SZ, {0xAC, 0x20}},
        {REG_SZ, {'a', 0, 'b'}},
        {REG_EXPAND_SZ, {'%', 0, 'T', 0, '%', 0, 0, 0}},
        {REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {REG_NONE, {}},
    };
    for (const RegistryValueData& value : cases) {
        EXPECT_EQ(S_OK, key.WriteRawValue(L"Raw", value));
        const RegistryValueData stored = Stored(L"Raw");
        EXPECT_EQ(value.Type, stored.Type);
        EXPECT_EQ(value.Bytes, stored.Bytes) << "type " << value.Type;
    }
}

TEST_F(RegistryKeyTest, NamesUpTo254CharactersAreListed)
{
    std::vector<std::wstring> names{L"stale"};
    EXPECT_EQ(S_OK, key.EnumSubKeys(names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(S_OK, key.EnumValueNames(names));
    EXPECT_TRUE(names.empty());

    const std::wstring longest(254, L'k');
    RegistryKey(key.SubKeyPath(longest)).Open(false);
    Put(longest.c_str(), REG_DWORD, {1, 0, 0, 0});
    Put(L"", REG_DWORD, {1, 0, 0, 0});
    EXPECT_EQ(S_OK, key.EnumSubKeys(names));
    EXPECT_EQ(std::vector<std::wstring>{longest}, names);
    names.clear();
    EXPECT_EQ(S_OK, key.EnumValueNames(names));
    EXPECT_EQ(2u, names.size());
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), longest));
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), L"")) << "the default value";

    const std::wstring tooLong(255, L'k');
    ASSERT_EQ(S_OK, RegistryKey(key.SubKeyPath(tooLong)).Open(false));
    Put(tooLong.c_str(), REG_DWORD, {1, 0, 0, 0});
    EXPECT_EQ(E_FAIL, key.EnumSubKeys(names));
    names.clear();
    EXPECT_EQ(E_FAIL, key.EnumValueNames(names));
    std::vector<ListedRegistryValue> values;
    EXPECT_EQ(E_FAIL, key.EnumValues(values));
}

// Reports a value larger than the buffer the listing offers, once, as a
// value that grew since the key was counted would.
LSTATUS WINAPI EnumValueGrowingOnce(HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD reserved,
    LPDWORD type, LPBYTE data, LPDWORD size)
{
    static bool grown = false;
    if (!grown && data != nullptr) {
        grown = true;
        *size += 1;
        return ERROR_MORE_DATA;
    }
    return RealOs.RegEnumValueW(key, index, name, length, reserved, type, data, size);
}

LSTATUS WINAPI EnumValueReportingHugeData(HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD reserved,
    LPDWORD type, LPBYTE data, LPDWORD size)
{
    const LSTATUS status = RealOs.RegEnumValueW(key, index, name, length, reserved, type, data, size);
    if (index == 0) {
        *size = 0xFFFFFFF0;
        return ERROR_MORE_DATA;
    }
    return status;
}

TEST_F(RegistryKeyTest, ValuesAreListedWithTheirDataAsStored)
{
    const std::vector<std::pair<std::wstring, RegistryValueData>> stored = {
        {L"Text", {REG_SZ, {'a', 0, 0x20, 0xAC}}},
        {L"Level", {REG_DWORD, {5, 0, 0, 0}}},
        {L"", {REG_BINARY, Bytes(3000, 0x5A)}},
        {L"Nothing", {REG_NONE, {}}},
    };
    for (const auto& [name, value] : stored) {
        Put(name.c_str(), value.Type, value.Bytes);
    }
    const auto listed = [&] {
        std::vector<ListedRegistryValue> values{ListedRegistryValue()};
        EXPECT_EQ(S_OK, key.EnumValues(values));
        EXPECT_EQ(stored.size(), values.size());
        for (const auto& [name, value] : stored) {
            const auto found = std::find_if(values.begin(), values.end(),
                [&](const ListedRegistryValue& listed) { return listed.Name == name; });
            ASSERT_NE(values.end(), found) << "value '" << std::string(name.begin(), name.end()) << "'";
            EXPECT_TRUE(found->Read);
            EXPECT_EQ(value.Type, found->Data.Type);
            EXPECT_EQ(value.Bytes, found->Data.Bytes);
        }
    };
    listed();
    OsOverride<&OsCallTable::RegEnumValueW> growing(&EnumValueGrowingOnce);
    listed();
}

TEST_F(RegistryKeyTest, AValueTooLargeForMemoryIsListedUnreadAndTheListingGoesOn)
{
    if (sizeof(void*) == 8) {
        GTEST_SKIP() << "a 64-bit process can address every size the registry reports";
    }
    Put(L"First", REG_BINARY, {1});
    Put(L"Second", REG_BINARY, {2});
    std::vector<ListedRegistryValue> values;
    {
        OsOverride<&OsCallTable::RegEnumValueW> huge(&EnumValueReportingHugeData);
        EXPECT_EQ(S_OK, key.EnumValues(values));
    }
    ASSERT_EQ(2u, values.size());
    EXPECT_FALSE(values[0].Read);
    EXPECT_TRUE(values[1].Read);
    EXPECT_EQ(Bytes{2}, values[1].Data.Bytes);
}

LSTATUS WINAPI EnumKeyFailingFromSecond(HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD reserved,
    LPWSTR keyClass, LPDWORD classLength, PFILETIME written)
{
    return index > 0 ? ERROR_ACCESS_DENIED
                     : RealOs.RegEnumKeyExW(key, index, name, length, reserved, keyClass, classLength, written);
}

LSTATUS WINAPI EnumValueFailingFromSecond(HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD reserved,
    LPDWORD type, LPBYTE data, LPDWORD size)
{
    return index > 0 ? ERROR_ACCESS_DENIED
                     : RealOs.RegEnumValueW(key, index, name, length, reserved, type, data, size);
}

TEST_F(RegistryKeyTest, AFailedListingKeepsWhatCameBefore)
{
    for (const wchar_t* name : {L"A", L"B", L"C"}) {
        RegistryKey(key.SubKeyPath(name)).Open(false);
        Put(name, REG_DWORD, {1, 0, 0, 0});
    }
    std::vector<std::wstring> names;
    {
        OsOverride<&OsCallTable::RegEnumKeyExW> enumKey(&EnumKeyFailingFromSecond);
        OsOverride<&OsCallTable::RegEnumValueW> enumValue(&EnumValueFailingFromSecond);
        EXPECT_EQ(E_FAIL, key.EnumSubKeys(names));
        EXPECT_EQ(1u, names.size());
        names.clear();
        EXPECT_EQ(E_FAIL, key.EnumValueNames(names));
        ASSERT_EQ(3u, names.size());
        EXPECT_FALSE(names[0].empty());
        EXPECT_TRUE(names[1].empty() && names[2].empty());
    }
    const auto failedCount = FailOsCall<&OsCallTable::RegQueryInfoKeyW>(ERROR_ACCESS_DENIED);
    EXPECT_EQ(S_OK, key.EnumSubKeys(names)) << "a failed count lists nothing";
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(S_OK, key.EnumValueNames(names));
    EXPECT_TRUE(names.empty());
}

// A Variant whose memory has run out.
class ExhaustedVariant : public Variant {
protected:
    std::uint8_t* Allocate(std::uint32_t) override { throw std::bad_alloc(); }
};

TEST_F(RegistryKeyTest, AVariantWithoutMemoryFailsTheRead)
{
    Put(L"Text", REG_SZ, {'a', 0, 0, 0});
    Put(L"Blob", REG_BINARY, {16, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 1, 2, 3, 4});
    for (const wchar_t* name : {L"Text", L"Blob"}) {
        ExhaustedVariant value;
        EXPECT_EQ(E_FAIL, key.ReadValue(name, value)) << name;
        EXPECT_EQ(VariantType::Empty, value.GetType()) << name;
    }
}

// Sizes and counts beyond what a 32-bit process can hold, as a registry
// could report them.
LSTATUS WINAPI QueryReportingHugeSize(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
    LPDWORD size)
{
    const LSTATUS status = RealOs.RegQueryValueExW(key, name, reserved, type, data, size);
    if (data == nullptr && status == ERROR_SUCCESS) {
        *size = 0xFFFFFFF0;
    }
    return status;
}

LSTATUS WINAPI InfoReportingHugeValueCount(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD reserved,
    LPDWORD subKeys, LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
    LPDWORD maxValueLength, LPDWORD securityDescriptorSize, PFILETIME lastWriteTime)
{
    const LSTATUS status = RealOs.RegQueryInfoKeyW(key, keyClass, classLength, reserved, subKeys, maxSubKeyLength,
        maxClassLength, values, maxValueNameLength, maxValueLength, securityDescriptorSize, lastWriteTime);
    if (values != nullptr) {
        *values = 0xFFFFFFFF;
    }
    return status;
}

TEST_F(RegistryKeyTest, SizesBeyondWhatTheProcessHoldsFailWithoutAnException)
{
    if (sizeof(void*) == 8) {
        GTEST_SKIP() << "a 64-bit process can address every size the registry reports";
    }
    Put(L"Value", REG_BINARY, {1});
    const std::wstring copyPath = TestKey + L"Copy";
    RegistryKey destination(copyPath);
    ASSERT_EQ(S_OK, destination.Open(false));
    {
        OsOverride<&OsCallTable::RegQueryValueExW> query(&QueryReportingHugeSize);
        OsOverride<&OsCallTable::RegQueryInfoKeyW> info(&InfoReportingHugeValueCount);
        RegistryValueData raw;
        Variant value;
        std::vector<std::wstring> names;
        EXPECT_EQ(E_FAIL, key.ReadRawValue(L"Value", raw));
        EXPECT_EQ(E_FAIL, key.ReadValue(L"Value", value));
        EXPECT_EQ(E_FAIL, key.EnumValueNames(names));
        EXPECT_EQ(E_FAIL, CopyKeyTree(key, destination));
    }
    destination.Close();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, copyPath.c_str());
}

TEST_F(RegistryKeyTest, AClosedKeyFailsEveryOperation)
{
    key.Close();
    Variant value;
    RegistryValueData data;
    std::vector<std::wstring> names;
    EXPECT_EQ(E_FAIL, key.ReadValue(L"", value));
    EXPECT_EQ(E_FAIL, key.WriteValue(L"", value));
    EXPECT_EQ(E_FAIL, key.ReadRawValue(L"", data));
    EXPECT_EQ(E_FAIL, key.WriteRawValue(L"", data));
    EXPECT_EQ(E_FAIL, key.EnumSubKeys(names));
    EXPECT_EQ(E_FAIL, key.EnumValueNames(names));
    EXPECT_EQ(E_FAIL, key.DeleteSubKeyTree(L"Any"));
}

}  // namespace
