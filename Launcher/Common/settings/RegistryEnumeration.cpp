#include "RegistryKey.h"

#include "../platform/OsCalls.h"
#include "BufferAllocation.h"

namespace {

// Names are fetched into 255 characters with the NUL: a name of 254
// characters is listed, a longer one fails the enumeration.
constexpr DWORD NameBufferLength = 255;
constexpr DWORD ClassBufferLength = 260;

// A value that keeps growing while it is read is given up after this many
// reads.
constexpr int ValueReadAttempts = 4;

struct KeyCounts {
    DWORD SubKeys = 0;
    DWORD Values = 0;
    // In bytes.
    DWORD LongestValueData = 0;
};

// A failed query leaves every count 0, so the key lists as empty.
KeyCounts QueryKeyCounts(HKEY key)
{
    KeyCounts counts;
    wchar_t keyClass[ClassBufferLength];
    DWORD classLength = ClassBufferLength;
    if (Os.RegQueryInfoKeyW(key, keyClass, &classLength, /*lpReserved=*/nullptr, &counts.SubKeys,
            /*lpcbMaxSubKeyLen=*/nullptr, /*lpcbMaxClassLen=*/nullptr, &counts.Values,
            /*lpcbMaxValueNameLen=*/nullptr, &counts.LongestValueData, /*lpcbSecurityDescriptor=*/nullptr,
            /*lpftLastWriteTime=*/nullptr) != ERROR_SUCCESS) {
        return KeyCounts();
    }
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
    if (!TryResize(names, count)) {
        return E_FAIL;
    }
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

// Reads the value at index with its data through buffer, which grows when
// the value is larger. Returns ERROR_SUCCESS, with value unread when its data
// did not fit in memory, or the code of the failed read.
LSTATUS ListValue(HKEY key, DWORD index, std::vector<std::uint8_t>& buffer, ListedRegistryValue& value)
{
    for (int attempt = 0; attempt < ValueReadAttempts; ++attempt) {
        wchar_t name[NameBufferLength];
        DWORD length = NameBufferLength;
        DWORD type = REG_NONE;
        DWORD size = static_cast<DWORD>(buffer.size());
        const LSTATUS status =
            Os.RegEnumValueW(key, index, name, &length, /*lpReserved=*/nullptr, &type, buffer.data(), &size);
        // An empty buffer is no buffer: the size alone comes back then.
        const bool larger = (status == ERROR_MORE_DATA || status == ERROR_SUCCESS) && size > buffer.size();
        if (larger) {
            if (!TryResize(buffer, size)) {
                return ERROR_SUCCESS;
            }
            continue;
        }
        // A name too long for its buffer reports more data too.
        if (status != ERROR_SUCCESS) {
            return status;
        }
        value.Name.assign(name, length);
        value.Data.Type = type;
        value.Read = OrOnAllocationFailure(false, [&] {
            value.Data.Bytes.assign(buffer.begin(), buffer.begin() + size);
            return true;
        });
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

// Makes values one entry per value and fills them in index order through one
// buffer of the longest value's size; E_FAIL at the first that cannot be
// listed.
std::int32_t ListValues(HKEY key, std::vector<ListedRegistryValue>& values)
{
    const KeyCounts counts = QueryKeyCounts(key);
    if (!TryResize(values, counts.Values)) {
        return E_FAIL;
    }
    // A buffer that cannot be had stays empty, and each value tries its own.
    std::vector<std::uint8_t> buffer;
    TryResize(buffer, counts.LongestValueData);
    for (DWORD index = 0; index < counts.Values; ++index) {
        if (ListValue(key, index, buffer, values[index]) != ERROR_SUCCESS) {
            return E_FAIL;
        }
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
    return OrOnAllocationFailure(E_FAIL, [&] { return ListSubKeys(handle_.Get(), names); });
}

std::int32_t RegistryKey::EnumValueNames(std::vector<std::wstring>& names) const
{
    if (!IsOpen()) {
        return E_FAIL;
    }
    return OrOnAllocationFailure(E_FAIL, [&] { return ListValueNames(handle_.Get(), names); });
}

std::int32_t RegistryKey::EnumValues(std::vector<ListedRegistryValue>& values) const
{
    values.clear();
    if (!IsOpen()) {
        return E_FAIL;
    }
    return OrOnAllocationFailure(E_FAIL, [&] { return ListValues(handle_.Get(), values); });
}
