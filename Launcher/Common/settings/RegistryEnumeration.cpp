#include "RegistryKey.h"

#include "../platform/OsCalls.h"

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

}  // namespace

std::int32_t RegistryKey::EnumSubKeys(std::vector<std::wstring>& names) const
{
    names.clear();
    if (!IsOpen()) {
        return E_FAIL;
    }
    const DWORD count = QueryKeyCounts(handle_).SubKeys;
    for (DWORD index = 0; index < count; ++index) {
        wchar_t name[NameBufferLength];
        DWORD length = NameBufferLength;
        if (Os.RegEnumKeyExW(handle_, index, name, &length, /*lpReserved=*/nullptr, /*lpClass=*/nullptr,
                /*lpcchClass=*/nullptr, /*lpftLastWriteTime=*/nullptr) != ERROR_SUCCESS) {
            return E_FAIL;
        }
        names.emplace_back(name, length);
    }
    return S_OK;
}

std::int32_t RegistryKey::EnumValueNames(std::vector<std::wstring>& names) const
{
    if (!IsOpen()) {
        return E_FAIL;
    }
    const DWORD count = QueryKeyCounts(handle_).Values;
    names.resize(count);
    for (DWORD index = 0; index < count; ++index) {
        wchar_t name[NameBufferLength];
        DWORD length = NameBufferLength;
        if (Os.RegEnumValueW(handle_, index, name, &length, /*lpReserved=*/nullptr, /*lpType=*/nullptr,
                /*lpData=*/nullptr, /*lpcbData=*/nullptr) != ERROR_SUCCESS) {
            return E_FAIL;
        }
        names[index].assign(name, length);
    }
    return S_OK;
}
