#pragma once

#include "Variant.h"

#include <cstdint>

// The results of the value blob functions, with the values of S_OK and E_FAIL
// under names of their own so that <windows.h> may be included beside them.
constexpr std::int32_t BlobOk = 0;
constexpr std::int32_t BlobFail = static_cast<std::int32_t>(0x80004005u);

// A value blob is a 12-byte header of three little-endian 32-bit fields, the
// total length in bytes (header included), a reserved 0 and the VariantType
// code, followed by the bytes GetData of the Variant delivers.
constexpr std::uint32_t BlobHeaderSize = 12;

// Writes the blob of the value into output, which holds capacity bytes (the
// GetData size plus 12 suffice). Returns the number of bytes written, or
// BlobFail, with nothing written, for a null or too small output, an empty
// BytesRef or OpaqueRef, and a value whose total would not fit a positive
// 32-bit result (above 2^31 - 1 bytes).
std::int32_t SerializeValueBlob(const Variant& value, std::uint8_t* output, std::uint32_t capacity);

// Reads the blob in the available bytes at blob into value; bytes past its
// total are ignored. Returns BlobOk, or BlobFail, with value unchanged, for a
// null blob and a malformed header (fewer than 12 bytes, total beyond the
// bytes available or below 12, reserved not 0, type code not 0 to 10, a
// header-only blob of a type other than 0 or 10, a payload on type 0). A
// payload that SetTyped does not store (a scalar of the wrong width) leaves
// value Empty and still gives BlobOk.
std::int32_t ParseValueBlob(Variant& value, const std::uint8_t* blob, std::uint32_t available);
