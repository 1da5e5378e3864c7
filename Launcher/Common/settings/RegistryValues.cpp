#include "RegistryKey.h"

#include "../platform/OsCalls.h"
#include "BufferAllocation.h"
#include "RegistryText.h"
#include "ValueBlob.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

namespace {

constexpr std::size_t SpareCodeUnitSize = 2;

bool StoreValue(HKEY key, const std::wstring& name, DWORD type, const std::uint8_t* bytes, std::size_t size)
{
    return Os.RegSetValueExW(key, name.c_str(), /*Reserved=*/0, type, bytes, static_cast<DWORD>(size)) ==
        ERROR_SUCCESS;
}

// A String is stored as REG_SZ with its NUL.
std::int32_t StoreText(HKEY key, const std::wstring& name, const Variant& value)
{
    std::uint32_t size = 0;
    const std::uint8_t* text = value.GetData(size);
    const std::size_t length = static_cast<std::size_t>(std::find(text, text + size, 0) - text);
    std::vector<std::uint8_t> data;
    if (!WidenToRegistryText(reinterpret_cast<const char*>(text), length, data)) {
        return E_FAIL;
    }
    return StoreValue(key, name, REG_SZ, data.data(), data.size()) ? S_OK : E_FAIL;
}

// Every other kind is stored as its value blob; the result is the blob's
// length.
std::int32_t StoreBlob(HKEY key, const std::wstring& name, const Variant& value)
{
    std::uint32_t payloadSize = 0;
    value.GetData(payloadSize);
    const std::uint64_t capacity = std::uint64_t{payloadSize} + BlobHeaderSize;
    // No blob beyond a positive 32-bit length can be serialized, so a buffer
    // for one is not even asked for.
    std::vector<std::uint8_t> blob;
    if (capacity > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) ||
        !TryResize(blob, static_cast<std::size_t>(capacity))) {
        return E_FAIL;
    }
    const std::int32_t total = SerializeValueBlob(value, blob.data(), static_cast<std::uint32_t>(capacity));
    if (total < 0) {
        return total;
    }
    return StoreValue(key, name, REG_BINARY, blob.data(), static_cast<std::size_t>(total)) ? total : E_FAIL;
}

}  // namespace

std::int32_t RegistryKey::ReadValue(const std::wstring& name, Variant& value) const
{
    value.Clear();
    RegistryValueData data;
    if (ReadRawValue(name, data) < 0) {
        return E_FAIL;
    }
    // Data of another type that is no blob reads as an Empty value; only
    // text that does not narrow, or a value that does not fit in memory, is a
    // failed read.
    const std::int32_t result = OrOnAllocationFailure(E_FAIL, [&] {
        return VariantFromValueData(data, value) || data.Type != REG_SZ ? S_OK : E_FAIL;
    });
    if (result < 0) {
        value.Clear();
    }
    return result;
}

std::int32_t RegistryKey::WriteValue(const std::wstring& name, const Variant& value)
{
    if (!IsOpen()) {
        return E_FAIL;
    }
    return value.GetType() == VariantType::String ? StoreText(handle_.Get(), name, value)
                                                   : StoreBlob(handle_.Get(), name, value);
}

std::int32_t RegistryKey::ReadRawValue(const std::wstring& name, RegistryValueData& value) const
{
    if (!IsOpen()) {
        return E_FAIL;
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (Os.RegQueryValueExW(handle_.Get(), name.c_str(), /*lpReserved=*/nullptr, &type, /*lpData=*/nullptr, &size) !=
        ERROR_SUCCESS) {
        return E_FAIL;
    }
    std::vector<std::uint8_t> bytes;
    if (!TryResize(bytes, size)) {
        return E_FAIL;
    }
    // The first query found the value, so the second one's return is not
    // checked; a value that grew in between is kept only as far as the buffer
    // goes, and the size it reports never reaches past it.
    DWORD read = size;
    Os.RegQueryValueExW(handle_.Get(), name.c_str(), /*lpReserved=*/nullptr, &type, bytes.data(), &read);
    bytes.resize(std::min(read, size));
    value.Type = type;
    value.Bytes = std::move(bytes);
    return S_OK;
}

std::int32_t RegistryKey::WriteRawValue(const std::wstring& name, const RegistryValueData& value)
{
    if (!IsOpen()) {
        return E_FAIL;
    }
    // For string types the registry looks one code unit past the data and
    // adds a NUL the caller seems to have left out when it finds one there. A
    // spare code unit that is not NUL behind the data keeps that look inside
    // our buffer and the stored bytes exactly those given.
    std::vector<std::uint8_t> padded;
    if (!TryResize(padded, value.Bytes.size() + SpareCodeUnitSize)) {
        return E_FAIL;
    }
    std::fill(std::copy(value.Bytes.begin(), value.Bytes.end(), padded.begin()), padded.end(), 0xFF);
    return StoreValue(handle_.Get(), name, value.Type, padded.data(), value.Bytes.size()) ? S_OK : E_FAIL;
}
