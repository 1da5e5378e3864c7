// Deleting and copying whole registry trees against Wine's registry, with the
// failures Wine will not produce injected through the call table, and every
// key handle that was opened closed again.
#include "settings/RegistryKey.h"
#include "support/CountedOsCall.h"
#include "support/HandleLedger.h"
#include "support/OsFailures.h"
#include "support/RegistryLinks.h"
#include "support/RegistryTreeContents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring TestRoot = L"Software\\InstallerLauncherTests\\RegistryTree";
const std::wstring Source = TestRoot + L"\\Source";
const std::wstring Destination = TestRoot + L"\\Destination";
const std::wstring Victim = TestRoot + L"\\Victim";

using Bytes = std::vector<std::uint8_t>;

std::wstring refusedOpen;
std::vector<REGSAM> openAccess;

LSTATUS WINAPI RecordingOpenKey(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key)
{
    openAccess.push_back(access);
    if (path == refusedOpen) {
        return ERROR_ACCESS_DENIED;
    }
    return RealOs.RegOpenKeyExW(root, path, options, access, key);
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

// Copies the tree below source into the key at path below
// HKEY_LOCAL_MACHINE, created first.
std::int32_t CopyInto(const RegistryKey& source, const std::wstring& path)
{
    RegistryKey destination(path);
    destination.Open(false);
    return CopyKeyTree(source, destination);
}

class RegistryTree : public testing::Test {
protected:
    void SetUp() override
    {
        refusedOpen.clear();
        openAccess.clear();
    }
    void TearDown() override
    {
        DeleteInBothViews(TestRoot);
        RegDeleteTreeW(HKEY_CURRENT_USER, TestRoot.c_str());
        EXPECT_EQ(0, ledger.OpenCount()) << "every key opened is closed";
    }

    // A three-level tree below Source: A\B1\C1, A\B1\C2 and A\B2, with values.
    static void PutThreeLevels(bool use64BitView = false)
    {
        for (const wchar_t* path : {L"\\A\\B1\\C1", L"\\A\\B1\\C2", L"\\A\\B2", L"\\A"}) {
            Put(Source + path, L"Level", REG_DWORD, {1, 0, 0, 0}, LocalMachine, use64BitView);
        }
    }

    OsOverride<&OsCallTable::RegOpenKeyExW> openKey{&RecordingOpenKey};
    // Made after the recorder, so that it counts what it opens.
    HandleLedger ledger;
};

TEST_F(RegistryTree, DeleteRemovesAllThreeLevelsInTheKeysViewOnly)
{
    for (const bool use64BitView : {false, true}) {
        PutThreeLevels(use64BitView);
        // The same tree in the other view, where one exists, must stay.
        const bool in64BitView = use64BitView || sizeof(void*) == 8;
        const REGSAM otherView = in64BitView ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
        HKEY other = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RealOs.RegCreateKeyExW(HKEY_LOCAL_MACHINE, (Source + L"\\A\\B1\\C1").c_str(), 0,
                                     nullptr, 0, KEY_ALL_ACCESS | otherView, nullptr, &other, nullptr));
        RealOs.RegCloseKey(other);
        CountedOsCall<&OsCallTable::NtDeleteKey> deleteCalls;
        RegistryKey parent(Source, LocalMachine, use64BitView);
        ASSERT_EQ(S_OK, parent.Open(false));
        EXPECT_EQ(S_OK, parent.DeleteSubKeyTree(L"A"));
        EXPECT_FALSE(Exists(Source + L"\\A", use64BitView));
        EXPECT_TRUE(Exists(Source, use64BitView));
        EXPECT_EQ(5, deleteCalls.Calls()) << "each key through its own handle";
        const bool viewsDiffer = sizeof(void*) == 8 || Wow64();
        HKEY kept = nullptr;
        EXPECT_EQ(viewsDiffer ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND,
            RealOs.RegOpenKeyExW(HKEY_LOCAL_MACHINE, (Source + L"\\A\\B1\\C1").c_str(), 0, KEY_READ | otherView, &kept))
            << use64BitView;
        RealOs.RegCloseKey(kept);
        DeleteInBothViews(TestRoot);
    }
}

TEST_F(RegistryTree, AKeyThatStaysKeepsItsAncestorsAndNothingElse)
{
    const struct {
        const wchar_t* refusedOpen;
        int refusedDeleteCall;
    } cases[] = {
        {L"C1", 0},
        {nullptr, 1},  // the first key deleted, children first in name order, is C1
    };
    for (const auto& refusal : cases) {
        PutThreeLevels();
        refusedOpen = refusal.refusedOpen != nullptr ? refusal.refusedOpen : L"";
        CountedOsCall<&OsCallTable::NtDeleteKey> deletes(refusal.refusedDeleteCall);
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

TEST_F(RegistryTree, WithoutTheDeletionThroughAHandleNothingIsDeleted)
{
    PutThreeLevels();
    RegistryKey parent(Source);
    ASSERT_EQ(S_OK, parent.Open(false));
    {
        const auto noModule = FailOsCall<&OsCallTable::GetModuleHandleW>(ERROR_MOD_NOT_FOUND);
        EXPECT_EQ(E_FAIL, parent.DeleteSubKeyTree(L"A")) << "ntdll.dll not found";
    }
    {
        const auto noExport = FailOsCall<&OsCallTable::GetProcAddress>(ERROR_PROC_NOT_FOUND);
        EXPECT_EQ(E_FAIL, parent.DeleteSubKeyTree(L"A")) << "NtDeleteKey missing";
    }
    EXPECT_TRUE(Exists(Source + L"\\A\\B1\\C1"));
    EXPECT_TRUE(Exists(Source + L"\\A\\B2"));
    EXPECT_EQ(S_OK, parent.DeleteSubKeyTree(L"Missing")) << "nothing to delete";
}

TEST_F(RegistryTree, ALinkIsDeletedAsItselfAndItsTargetStays)
{
    // The link as the key named, and as a sub-key below it.
    for (const wchar_t* link : {L"\\A", L"\\A\\B1\\Link"}) {
        Put(Victim, L"Kept", REG_DWORD, {7, 0, 0, 0});
        Put(Victim + L"\\Child", L"Kept", REG_DWORD, {8, 0, 0, 0});
        if (std::wstring(link) != L"\\A") {
            PutThreeLevels();
        }
        ASSERT_TRUE(PlantRegistryLink(Source + link, Victim));
        ASSERT_EQ(REG_DWORD, Get(Source + link, L"Kept").Type) << "the link leads to the victim";
        RegistryKey parent(Source);
        ASSERT_EQ(S_OK, parent.Open(false));
        EXPECT_EQ(S_OK, parent.DeleteSubKeyTree(L"A")) << link;
        EXPECT_FALSE(Exists(Source + L"\\A"));
        EXPECT_EQ((Bytes{7, 0, 0, 0}), Get(Victim, L"Kept").Bytes);
        EXPECT_EQ((Bytes{8, 0, 0, 0}), Get(Victim + L"\\Child", L"Kept").Bytes);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, TestRoot.c_str());
    }
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
    EXPECT_EQ(S_OK, CopyInto(source, Destination));
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
    EXPECT_EQ(S_OK, CopyInto(source, Destination));
    EXPECT_EQ((Bytes{'n', 0, 0, 0}), Get(Destination, L"Shared").Bytes);
    EXPECT_EQ((Bytes{'k', 0, 0, 0}), Get(Destination, L"Other").Bytes);
    EXPECT_TRUE(Exists(Destination + L"\\Extra"));
}

TEST_F(RegistryTree, TheSourceIsOnlyReadAndASubKeyThatDoesNotOpenIsCopiedEmpty)
{
    Put(Source + L"\\Unreadable", L"Hidden", REG_DWORD, {1, 0, 0, 0});
    Put(Source + L"\\Open", L"Seen", REG_DWORD, {1, 0, 0, 0});
    Put(Source, L"Top", REG_DWORD, {1, 0, 0, 0});
    RegistryKey source(Source);
    ASSERT_EQ(S_OK, source.Open(true));
    openAccess.clear();
    refusedOpen = L"Unreadable";
    EXPECT_EQ(E_FAIL, CopyInto(source, Destination));
    EXPECT_EQ(std::vector<REGSAM>(2, KEY_READ), openAccess) << "both sub-keys opened to read, nothing more";
    EXPECT_TRUE(Exists(Destination + L"\\Unreadable"));
    EXPECT_EQ(REG_NONE, Get(Destination + L"\\Unreadable", L"Hidden").Type) << "nothing copied into it";
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
        EXPECT_EQ(E_FAIL, CopyInto(source, Destination));
        EXPECT_FALSE(Exists(Destination + L"\\Child")) << "no sub-key copied";
        EXPECT_EQ(REG_DWORD, Get(Destination, L"Top").Type) << "the values still are";
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Destination.c_str());
    const auto failedValues = FailOsCall<&OsCallTable::RegEnumValueW>(ERROR_ACCESS_DENIED);
    EXPECT_EQ(E_FAIL, CopyInto(source, Destination));
    EXPECT_TRUE(Exists(Destination + L"\\Child")) << "the sub-keys still are copied";
    EXPECT_EQ(REG_NONE, Get(Destination, L"Top").Type) << "no value copied";
}

}  // namespace
