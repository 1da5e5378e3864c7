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
// unspecified, when a code unit of the text is above 0x00FF or the text cannot
// be allocated; what follows the text's NUL is not looked at.
bool NarrowRegistryText(const std::uint8_t* data, std::uint32_t size, std::string& text);

// Whether every code unit of REG_SZ data of size bytes, after the text's NUL
// too, lies in 0x0000 to 0x00FF: only then does the data come back from
// narrow text without losing a character.
bool IsNarrowRegistryData(const std::uint8_t* data, std::uint32_t size);

// The REG_SZ data of the narrow text of length bytes: each byte widened to a
// little-endian code unit, then a NUL code unit, so (length + 1) * 2 bytes.
// Returns false when that size would not fit 32 bits or cannot be allocated.
bool WidenToRegistryText(const char* text, std::size_t length, std::vector<std::uint8_t>& data);
