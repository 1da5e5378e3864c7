// Deleting and copying whole registry trees against Wine's registry, with the
// failures Wine will not produce injected through the call table, and every
// key handle that was opened closed again.
#include "settings/RegistryKey.h"
#include "support/OsFailures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::wstring TestRoot = L"Software\\InstallerLauncherTests\\RegistryTree";
const std::wstring Source = TestRoot + L"\\Source";
const std::wstring Destination = TestRoot + L"\\Destination";

using Bytes = std::vector<std::uint8_t>;

int keysOpen = 0;
bool forceWow64 = false;
bool refuseDeleteKeyEx = false;
std::wstring refusedDelete;
std::wstring refusedCreate;
std::vector<REGSAM> deleteAccess;

LSTATUS WINAPI CountingOpenKey(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key)
{
    const LSTATUS status = RealOs.RegOpenKeyExW(root, path, options, access, key);
    keysOpen += status == ERROR_SUCCESS;
    return status;
}

LSTATUS WINAPI CountingCreateKey(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR keyClass, DWORD options,
    REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition)
{
    if (path == refusedCreate) {
        return ERROR_ACCESS_DENIED;
    }
    const LSTATUS status =
        RealOs.RegCreateKeyExW(root, path, reserved, keyClass, options, access, security, key, disposition);
    keysOpen += status == ERROR_SUCCESS;
    return status;
}

LSTATUS WINAPI CountingCloseKey(HKEY key)
{
    --keysOpen;
    return RealOs.RegCloseKey(key);
}

LSTATUS WINAPI RefusingDeleteKey(HKEY parent, LPCWSTR name)
{
    return name == refusedDelete ? ERROR_ACCESS_DENIED : RealOs.RegDeleteKeyW(parent, name);
}

LSTATUS WINAPI RecordingDeleteKeyEx(HKEY parent, LPCWSTR name, REGSAM access, DWORD reserved)
{
    deleteAccess.push_back(access);
    return name == refusedDelete ? ERROR_ACCESS_DENIED : RegDeleteKeyExW(parent, name, access, reserved);
}

BOOL WINAPI Wow64Process(HANDLE, PBOOL isWow64)
{
    *isWow64 = TRUE;
    return TRUE;
}

// Hands out the deletion with a view as a recorder, and under forceWow64 an
// IsWow64Process that says yes, so both deletion paths run in either bitness.
FARPROC WINAPI SteeringGetProcAddress(HMODULE module, LPCSTR name)
{
    if (std::strcmp(name, "RegDeleteKeyExW") == 0) {
        return refuseDeleteKeyEx ? nullptr : reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&RecordingDeleteKeyEx));
    }
    if (forceWow64 && std::strcmp(name, "IsWow64Process") == 0) {
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&Wow64Process));
    }
    return RealOs.GetProcAddress(module, name);
}

bool Wow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool Exists(const std::wstring& path, bool use64BitView = false)
{
    return RegistryKey(path, LocalMachine, use64BitView).Open(true) >= 0;
}

// Values written and read back through the key object, whose raw operations
// are checked against the registry on their own.
void Put(const std::wstring& path, const wchar_t* name, DWORD type, const Bytes& data,
    std::int32_t root = LocalMachine, bool use64BitView = false)
{
    RegistryKey key(path, root, use64BitView);
    ASSERT_EQ(S_OK, key.Open(false));
    ASSERT_EQ(S_OK, key.WriteRawValue(name, {type, data}));
}

RegistryValueData Get(const std::wstring& path, const wchar_t* name)
{
    RegistryKey key(path);
    RegistryValueData value;
    key.Open(true);
    key.ReadRawValue(name, value);
    return value;
}

class RegistryTree : public testing::Test {
protected:
    void SetUp() override
    {
        keysOpen = 0;
        forceWow64 = refuseDeleteKeyEx = false;
        refusedDelete.clear();
        refusedCreate.clear();
        deleteAccess.clear();
    }
    void TearDown() override
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, TestRoot.c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, TestRoot.c_str());
        EXPECT_EQ(0, keysOpen) << "every key opened is closed";
    }

    // A three-level tree below Source: A\B1\C1, A\B1\C2 and A\B2, with values.
    static void PutThreeLevels(bool use64BitView = false)
    {
        for (const wchar_t* path : {L"\\A\\B1\\C1", L"\\A\\B1\\C2", L"\\A\\B2", L"\\A"}) {
            Put(Source + path, L"Level", REG_DWORD, {1, 0, 0, 0}, LocalMachine, use64BitView);
        }
    }

    OsOverride<decltype(&::RegOpenKeyExW)> openKey{&OsCallTable::RegOpenKeyExW, &CountingOpenKey};
    OsOverride<decltype(&::RegCreateKeyExW)> createKey{&OsCallTable::RegCreateKeyExW, &CountingCreateKey};
    OsOverride<decltype(&::RegCloseKey)> closeKey{&OsCallTable::RegCloseKey, &CountingCloseKey};
    OsOverride<decltype(&::RegDeleteKeyW)> deleteKey{&OsCallTable::RegDeleteKeyW, &RefusingDeleteKey};
    OsOverride<decltype(&::GetProcAddress)> lookUp{&OsCallTable::GetProcAddress, &SteeringGetProcAddress};
};

TEST_F(RegistryTree, DeleteRemovesAllThreeLevelsOnEitherPath)
{
    const struct {
        bool forceWow64;
        bool use64BitView;
        REGSAM access;
    } cases[] = {
        {false, false, KEY_ALL_ACCESS},
        {true, false, KEY_ALL_ACCESS},
        {true, true, KEY_ALL_ACCESS | KEY_WOW64_64KEY},
    };
    for (const auto& path : cases) {
        PutThreeLevels(path.use64BitView);
        forceWow64 = path.forceWow64;
        deleteAccess.clear();
        RegistryKey parent(Source, LocalMachine, path.use64BitView);
        ASSERT_EQ(S_OK, parent.Open(false));
        EXPECT_EQ(S_OK, parent.DeleteSubKeyTree(L"A"));
        EXPECT_FALSE(Exists(Source + L"\\A", path.use64BitView));
        EXPECT_TRUE(Exists(Source, path.use64BitView));
        // Five keys, each through RegDeleteKeyExW under WOW64 and through
        // RegDeleteKeyW, which is not recorded, otherwise.
        const bool underWow64 = path.forceWow64 || Wow64();
        EXPECT_EQ(std::vector<REGSAM>(underWow64 ? 5 : 0, path.access), deleteAccess) << path.use64BitView;
    }
}

TEST_F(RegistryTree, AnUndeletableLeafKeepsItsAncestorsAndNothingElse)
{
    for (const bool wow64 : {false, true}) {
        PutThreeLevels();
        forceWow64 = wow64;
        refusedDelete = L"C1";
        RegistryKey parent(Source);
        ASSERT_EQ(S_OK, parent.Open(false));
        EXPECT_EQ(E_FAIL, parent.DeleteSubKeyTree(L"A"));
        for (const wchar_t* kept : {L"\\A", L"\\A\\B1", L"\\A\\B1\\C1"}) {
            EXPECT_TRUE(Exists(Source + kept)) << kept;
        }
        EXPECT_FALSE(Exists(Source + L"\\A\\B1\\C2"));
        EXPECT_FALSE(Exists(Source + L"\\A\\B2"));
    }
}

TEST_F(RegistryTree, AFailedLookUpOfTheDeletionWithAViewDeletesNothing)
{
    forceWow64 = true;
    PutThreeLevels();
    RegistryKey parent(Source);
    ASSERT_EQ(S_OK, parent.Open(false));
    {
        const auto failedLoad = FailOsCall<&OsCallTable::LoadLibraryW>(ERROR_MOD_NOT_FOUND);
        EXPECT_EQ(E_FAIL, parent.DeleteSubKeyTree(L"A")) << "AdvAPI32.dll not loaded";
    }
    refuseDeleteKeyEx = true;
    EXPECT_EQ(E_FAIL, parent.DeleteSubKeyTree(L"A")) << "RegDeleteKeyExW missing";
    EXPECT_TRUE(Exists(Source + L"\\A\\B1\\C1"));
    EXPECT_TRUE(Exists(Source + L"\\A\\B2"));
}

TEST_F(RegistryTree, CopyCarriesEveryRegistryType)
{
    const Bytes int32Blob = {16, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 7, 0, 0, 0};
    const struct {
        const wchar_t* name;
        RegistryValueData source;
        RegistryValueData copy;
    } cases[] = {
        {L"Text", {REG_SZ, {'X', 0, 0, 0}}, {REG_SZ, {'X', 0, 0, 0}}},
        {L"TextWithoutNul", {REG_SZ, {'X', 0}}, {REG_SZ, {'X', 0, 0, 0}}},
        {L"Euro", {REG_SZ, {0xAC, 0x20, 0, 0}}, {REG_SZ, {0xAC, 0x20, 0, 0}}},
        {L"EuroAfterTheNul", {REG_SZ, {'a', 0, 0, 0, 0xAC, 0x20}}, {REG_SZ, {'a', 0, 0, 0, 0xAC, 0x20}}},
        {L"TextBlob", {REG_BINARY, {15, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 'h', 'i', 0}}, {REG_SZ, {'h', 0, 'i', 0, 0, 0}}},
        {L"Int32Blob", {REG_BINARY, int32Blob}, {REG_BINARY, int32Blob}},
        {L"BlobAsNone", {REG_NONE, int32Blob}, {REG_BINARY, int32Blob}},
        {L"BytesRefBlob", {REG_BINARY, {14, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 1, 2, 3, 4}},
            {REG_BINARY, {14, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 1, 2}}},
        {L"Dword", {REG_DWORD, {1, 2, 3, 4}}, {REG_DWORD, {1, 2, 3, 4}}},
        {L"Qword", {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}, {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {L"Expand", {REG_EXPAND_SZ, {'%', 0, 'T', 0, '%', 0, 0, 0}}, {REG_EXPAND_SZ, {'%', 0, 'T', 0, '%', 0, 0, 0}}},
        {L"Multi", {REG_MULTI_SZ, {'a', 0, 0, 0, 0xAC, 0x20, 0, 0, 0, 0}},
            {REG_MULTI_SZ, {'a', 0, 0, 0, 0xAC, 0x20, 0, 0, 0, 0}}},
        {L"None", {REG_NONE, {}}, {REG_NONE, {}}},
        {L"Binary", {REG_BINARY, {0xDE, 0xAD}}, {REG_BINARY, {0xDE, 0xAD}}},
    };
    for (const auto& value : cases) {
        Put(Source + L"\\Level1\\Level2", value.name, value.source.Type, value.source.Bytes);
    }
    RegistryKey source(Source);
    ASSERT_EQ(S_OK, source.Open(false));
    EXPECT_EQ(S_OK, source.CopyTo(Destination));
    for (const auto& value : cases) {
        const RegistryValueData copy = Get(Destination + L"\\Level1\\Level2", value.name);
        EXPECT_EQ(value.copy.Type, copy.Type) << value.name;
        EXPECT_EQ(value.copy.Bytes, copy.Bytes) << value.name;
    }
}

TEST_F(RegistryTree, CopyOverwritesSameNamesAndKeepsTheOthers)
{
    Put(Source, L"Shared", REG_SZ, {'n', 0, 0, 0});
    Put(Destination, L"Shared", REG_SZ, {'o', 0, 0, 0});
    Put(Destination, L"Other", REG_SZ, {'k', 0, 0, 0});
    Put(Destination + L"\\Extra", L"", REG_DWORD, {1, 0, 0, 0});
    RegistryKey source(Source);
    ASSERT_EQ(S_OK, source.Open(false));
    EXPECT_EQ(S_OK, source.CopyTo(Destination));
    EXPECT_EQ((Bytes{'n', 0, 0, 0}), Get(Destination, L"Shared").Bytes);
    EXPECT_EQ((Bytes{'k', 0, 0, 0}), Get(Destination, L"Other").Bytes);
    EXPECT_TRUE(Exists(Destination + L"\\Extra"));
}

TEST_F(RegistryTree, CopyToAlwaysLandsBelowLocalMachine)
{
    Put(Source, L"Name", REG_SZ, {'X', 0, 0, 0}, CurrentUser);
    RegistryKey userKey(Source, CurrentUser);
    ASSERT_EQ(S_OK, userKey.Open(false));
    EXPECT_EQ(S_OK, userKey.CopyTo(Destination));
    EXPECT_EQ((Bytes{'X', 0, 0, 0}), Get(Destination, L"Name").Bytes);
    EXPECT_LT(RegistryKey(Destination, CurrentUser).Open(true), 0) << "nothing below HKEY_CURRENT_USER";

    RegistryKey closed(Source);
    EXPECT_EQ(E_FAIL, closed.CopyTo(Destination + L"\\FromClosed"));
    EXPECT_TRUE(Exists(Destination + L"\\FromClosed")) << "the destination is created first";
}

TEST_F(RegistryTree, ASubKeyWithoutWriteAccessIsCopiedEmpty)
{
    Put(Source + L"\\ReadOnly", L"Hidden", REG_DWORD, {1, 0, 0, 0});
    Put(Source + L"\\Open", L"Seen", REG_DWORD, {1, 0, 0, 0});
    Put(Source, L"Top", REG_DWORD, {1, 0, 0, 0});
    refusedCreate = Source + L"\\ReadOnly";
    ASSERT_TRUE(KeyExists(refusedCreate)) << "it opens read-only";
    RegistryKey source(Source);
    ASSERT_EQ(S_OK, source.Open(false));
    EXPECT_EQ(E_FAIL, source.CopyTo(Destination));
    EXPECT_TRUE(Exists(Destination + L"\\ReadOnly"));
    EXPECT_EQ(REG_NONE, Get(Destination + L"\\ReadOnly", L"Hidden").Type) << "nothing copied into it";
    EXPECT_EQ(REG_DWORD, Get(Destination + L"\\Open", L"Seen").Type) << "its siblings are copied";
    EXPECT_EQ(REG_DWORD, Get(Destination, L"Top").Type);
}

TEST_F(RegistryTree, AFailedListingSkipsItsPartAndTheCopyGoesOn)
{
    Put(Source + L"\\Child", L"Inner", REG_DWORD, {1, 0, 0, 0});
    Put(Source, L"Top", REG_DWORD, {1, 0, 0, 0});
    RegistryKey source(Source);
    ASSERT_EQ(S_OK, source.Open(false));
    {
        const auto failedKeys = FailOsCall<&OsCallTable::RegEnumKeyExW>(ERROR_ACCESS_DENIED);
        EXPECT_EQ(E_FAIL, source.CopyTo(Destination));
        EXPECT_FALSE(Exists(Destination + L"\\Child")) << "no sub-key copied";
        EXPECT_EQ(REG_DWORD, Get(Destination, L"Top").Type) << "the values still are";
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Destination.c_str());
    const auto failedValues = FailOsCall<&OsCallTable::RegEnumValueW>(ERROR_ACCESS_DENIED);
    EXPECT_EQ(E_FAIL, source.CopyTo(Destination));
    EXPECT_TRUE(Exists(Destination + L"\\Child")) << "the sub-keys still are copied";
    EXPECT_EQ(REG_NONE, Get(Destination, L"Top").Type) << "no value copied";
}

}  // namespace
