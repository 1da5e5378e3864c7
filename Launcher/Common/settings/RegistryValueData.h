#pragma once

#include "Variant.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One registry value as stored: its registry type and its data bytes.
struct RegistryValueData {
    DWORD Type = REG_NONE;
    std::vector<std::uint8_t> Bytes;
};

// One value of a key as a listing found it. Read is false for a value whose
// data did not fit in memory; its name and data are then unknown.
struct ListedRegistryValue {
    std::wstring Name;
    RegistryValueData Data;
    bool Read = false;
};

// Fills value (cleared first) from data the way a Variant carries registry
// values: REG_SZ text up to its NUL as a String, data of any other type as a
// value blob. Returns false, with value Empty, when data cannot be carried:
// REG_SZ text with a code unit above 0x00FF, or other data that is not a
// valid blob. An allocation failure of value's Allocate propagates.
bool VariantFromValueData(const RegistryValueData& data, Variant& value);
