#include "RegistryKey.h"

#include "../platform/OsCalls.h"
#include "BufferAllocation.h"

namespace {

// Names are fetched into 255 characters with the NUL: a name of 254
// characters is listed, a longer one fails the enumeration.
constexpr DWORD NameBufferLength = 255;
constexpr DWORD ClassBufferLength = 260;

struct KeyCounts {
    DWORD SubKeys = 0;
    DWORD Values = 0;
};

// A failed query leaves both counts 0, so the key lists as empty.
KeyCounts QueryKeyCounts(HKEY key)
{
    KeyCounts counts;
    wchar_t keyClass[ClassBufferLength];
    DWORD classLength = ClassBufferLength;
    Os.RegQueryInfoKeyW(key, keyClass, &classLength, /*lpReserved=*/nullptr, &counts.SubKeys,
        /*lpcbMaxSubKeyLen=*/nullptr, /*lpcbMaxClassLen=*/nullptr, &counts.Values, /*lpcbMaxValueNameLen=*/nullptr,
        /*lpcbMaxValueLen=*/nullptr, /*lpcbSecurityDescriptor=*/nullptr, /*lpftLastWriteTime=*/nullptr);
    return counts;
}

// Appends the name of every sub-key; E_FAIL at the first that does not fit.
std::int32_t ListSubKeys(HKEY key, std::vector<std::wstring>& names)
{
    const DWORD count = QueryKeyCounts(key).SubKeys;
    for (DWORD index = 0; index < count; ++index) {
        wchar_t name[NameBufferLength];
        DWORD length = NameBufferLength;
        if (Os.RegEnumKeyExW(key, index, name, &length, /*lpReserved=*/nullptr, /*lpClass=*/nullptr,
                /*lpcchClass=*/nullptr, /*lpftLastWriteTime=*/nullptr) != ERROR_SUCCESS) {
            return E_FAIL;
        }
        names.emplace_back(name, length);
    }
    return S_OK;
}

// Makes names one entry per value and fills them in index order; E_FAIL at
// the first that does not fit.
std::int32_t ListValueNames(HKEY key, std::vector<std::wstring>& names)
{
    const DWORD count = QueryKeyCounts(key).Values;
    names.resize(count);
    for (DWORD index = 0; index < count; ++index) {
        wchar_t name[NameBufferLength];
        DWORD length = NameBufferLength;
        if (Os.RegEnumValueW(key, index, name, &length, /*lpReserved=*/nullptr, /*lpType=*/nullptr,
                /*lpData=*/nullptr, /*lpcbData=*/nullptr) != ERROR_SUCCESS) {
            return E_FAIL;
        }
        names[index].assign(name, length);
    }
    return S_OK;
}

}  // namespace

// A count or a list that does not fit in memory fails the enumeration too.
std::int32_t RegistryKey::EnumSubKeys(std::vector<std::wstring>& names) const
{
    names.clear();
    if (!IsOpen()) {
        return E_FAIL;
    }
    return OrOnAllocationFailure(E_FAIL, [&] { return ListSubKeys(handle_, names); });
}

std::int32_t RegistryKey::EnumValueNames(std::vector<std::wstring>& names) const
{
    if (!IsOpen()) {
        return E_FAIL;
    }
    return OrOnAllocationFailure(E_FAIL, [&] { return ListValueNames(handle_, names); });
}
