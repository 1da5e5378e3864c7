#include "ValueBlob.h"

#include <cstring>

namespace {

constexpr std::uint32_t TotalOffset = 0;
constexpr std::uint32_t ReservedOffset = 4;
constexpr std::uint32_t TypeOffset = 8;
constexpr std::uint32_t LargestTotal = 0x7FFFFFFFu;

std::uint32_t ReadField(const std::uint8_t* blob, std::uint32_t offset)
{
    return static_cast<std::uint32_t>(blob[offset]) | static_cast<std::uint32_t>(blob[offset + 1]) << 8 |
           static_cast<std::uint32_t>(blob[offset + 2]) << 16 | static_cast<std::uint32_t>(blob[offset + 3]) << 24;
}

void WriteField(std::uint8_t* blob, std::uint32_t offset, std::uint32_t value)
{
    for (std::uint32_t i = 0; i < 4; ++i) {
        blob[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

bool IsReference(VariantType type)
{
    return type == VariantType::BytesRef || type == VariantType::OpaqueRef;
}

}  // namespace

std::int32_t SerializeValueBlob(const Variant& value, std::uint8_t* output, std::uint32_t capacity)
{
    const VariantType type = value.GetType();
    std::uint32_t size = 0;
    const std::uint8_t* payload = value.GetData(size);
    if (size == 0 && IsReference(type)) {
        return BlobFail;
    }
    if (size > LargestTotal - BlobHeaderSize) {
        return BlobFail;
    }
    const std::uint32_t total = size + BlobHeaderSize;
    if (output == nullptr || capacity < total) {
        return BlobFail;
    }
    WriteField(output, TotalOffset, total);
    WriteField(output, ReservedOffset, 0);
    WriteField(output, TypeOffset, static_cast<std::uint32_t>(type));
    if (size != 0) {
        std::memcpy(output + BlobHeaderSize, payload, size);
    }
    return static_cast<std::int32_t>(total);
}

std::int32_t ParseValueBlob(Variant& value, const std::uint8_t* blob, std::uint32_t available)
{
    if (blob == nullptr || available < BlobHeaderSize) {
        return BlobFail;
    }
    const std::uint32_t total = ReadField(blob, TotalOffset);
    const std::uint32_t typeCode = ReadField(blob, TypeOffset);
    if (total > available || ReadField(blob, ReservedOffset) != 0 ||
        typeCode > static_cast<std::uint32_t>(VariantType::Opaque) || total < BlobHeaderSize) {
        return BlobFail;
    }
    const auto type = static_cast<VariantType>(typeCode);
    if (total == BlobHeaderSize) {
        if (type == VariantType::Empty) {
            value.Clear();
            return BlobOk;
        }
        if (type == VariantType::Opaque) {
            value.SetOpaqueWithoutBuffer();
            return BlobOk;
        }
        return BlobFail;
    }
    if (type == VariantType::Empty) {
        return BlobFail;
    }
    value.SetTyped(static_cast<std::int32_t>(typeCode), blob + BlobHeaderSize, total - BlobHeaderSize);
    return BlobOk;
}
