#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// REG_SZ data is UTF-16 text; a Variant String is narrow text. They meet one
// code unit per byte: code units 0x0000 to 0x00FF are the bytes of the same
// value, and nothing else converts.

// The narrow text of REG_SZ data of size bytes (data may be null when size is
// 0). The text ends at the first NUL code unit; data without one is taken up
// to its end as the text, and a last odd byte, which belongs to no code unit,
// is dropped, so nothing past size is read. Returns false, with text
// unspecified, when any code unit of the data (after the text's NUL too) is
// above 0x00FF, since such data would not come back whole from narrow text,
// and when the text cannot be allocated.
bool NarrowRegistryText(const std::uint8_t* data, std::uint32_t size, std::string& text);

// The REG_SZ data of the narrow text of length bytes: each byte widened to a
// little-endian code unit, then a NUL code unit, so (length + 1) * 2 bytes.
// Returns false when that size would not fit 32 bits or cannot be allocated.
bool WidenToRegistryText(const char* text, std::size_t length, std::vector<std::uint8_t>& data);
