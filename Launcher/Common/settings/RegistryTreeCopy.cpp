#include "RegistryKey.h"

#include "BufferAllocation.h"
#include "RegistryText.h"

namespace {

// Copies one sub-key's tree, the source read only; the destination child is
// created even when the source child does not open, and closes before the
// source child.
bool CopySubKey(
    const RegistryKey& source, const RegistryKey& destination, const std::wstring& name, RegistryTreeSize* copied)
{
    const RegistryKey sourceChild = source.SubKey(name, SubKeyAccess::Read);
    RegistryKey destinationChild = destination.SubKey(name, SubKeyAccess::Write);
    if (copied != nullptr && destinationChild.IsOpen()) {
        ++copied->Keys;
    }
    return CopyKeyTree(sourceChild, destinationChild, copied) >= 0;
}

// A listing that failed part-way copies no sub-key at all.
bool CopySubKeys(const RegistryKey& source, const RegistryKey& destination, RegistryTreeSize* copied)
{
    std::vector<std::wstring> names;
    if (source.EnumSubKeys(names) < 0) {
        return false;
    }
    bool allCopied = true;
    for (const std::wstring& name : names) {
        allCopied = CopySubKey(source, destination, name, copied) && allCopied;
    }
    return allCopied;
}

// Whether the value goes through a Variant, filling value: REG_SZ text only
// when nothing in its data, after the text's NUL either, would be lost.
bool CarriedByVariant(const RegistryValueData& data, Variant& value)
{
    const auto size = static_cast<std::uint32_t>(data.Bytes.size());
    if (data.Type == REG_SZ && !IsNarrowRegistryData(data.Bytes.data(), size)) {
        return false;
    }
    return VariantFromValueData(data, value);
}

// Values a Variant carries go through one, as every reader of the key
// expects; any other value keeps its own type and data, so the copy loses
// nothing. A value that does not fit in memory fails, and the copy goes on.
bool CopyValue(RegistryKey& destination, const ListedRegistryValue& value)
{
    if (!value.Read) {
        return false;
    }
    return OrOnAllocationFailure(false, [&] {
        Variant carried;
        if (CarriedByVariant(value.Data, carried)) {
            return destination.WriteValue(value.Name, carried) >= 0;
        }
        return destination.WriteRawValue(value.Name, value.Data) >= 0;
    });
}

// Every value is read with its data in one listing, which leaves the source
// key once per value rather than three times. A listing that failed part-way
// copies no value at all.
bool CopyValues(const RegistryKey& source, RegistryKey& destination, RegistryTreeSize* copied)
{
    std::vector<ListedRegistryValue> values;
    if (source.EnumValues(values) < 0) {
        return false;
    }
    bool allCopied = true;
    for (const ListedRegistryValue& value : values) {
        const bool valueCopied = CopyValue(destination, value);
        if (copied != nullptr && valueCopied) {
            ++copied->Values;
        }
        allCopied = valueCopied && allCopied;
    }
    return allCopied;
}

}  // namespace

std::int32_t CopyKeyTree(const RegistryKey& source, RegistryKey& destination, RegistryTreeSize* copied)
{
    if (!source.IsOpen() || !destination.IsOpen()) {
        return E_FAIL;
    }
    const bool subKeysCopied = CopySubKeys(source, destination, copied);
    const bool valuesCopied = CopyValues(source, destination, copied);
    return subKeysCopied && valuesCopied ? S_OK : E_FAIL;
}
