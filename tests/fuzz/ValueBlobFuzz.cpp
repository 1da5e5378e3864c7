// Any bytes parse without reading outside them, and a refusal leaves the
// Variant as it was. Whatever parses converts without undefined behaviour and
// writes a blob again that reads back to the same kind and bytes: the kinds
// whose round trip differs (an empty Bytes, the two reference kinds) never
// come out of a parse.
#include "settings/ValueBlob.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool SameData(const Variant& a, const Variant& b)
{
    std::uint32_t sizeA = 0;
    std::uint32_t sizeB = 0;
    const std::uint8_t* dataA = a.GetData(sizeA);
    const std::uint8_t* dataB = b.GetData(sizeB);
    return sizeA == sizeB && (sizeA == 0 || std::memcmp(dataA, dataB, sizeA) == 0);
}

// The conversions of whatever parsed; the sanitizers catch undefined ones.
void ConvertAll(const Variant& v)
{
    volatile double sink = static_cast<double>(v.ToBool()) + static_cast<double>(v.ToInt32()) +
                           static_cast<double>(v.ToInt64()) + v.ToFloat() + v.ToDouble();
    static_cast<void>(sink);
}

void CheckRoundTrip(const Variant& parsed)
{
    const VariantType type = parsed.GetType();
    std::uint32_t size = 0;
    parsed.GetData(size);
    Require(type != VariantType::BytesRef && type != VariantType::OpaqueRef);
    Require(type != VariantType::Bytes || size != 0);

    auto* blob = new std::uint8_t[size + BlobHeaderSize];
    const std::int32_t written = SerializeValueBlob(parsed, blob, size + BlobHeaderSize);
    Require(written == static_cast<std::int32_t>(size + BlobHeaderSize));
    Variant reread;
    Require(ParseValueBlob(reread, blob, static_cast<std::uint32_t>(written)) == BlobOk);
    Require(reread.GetType() == type && SameData(parsed, reread));
    delete[] blob;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The bytes sit in a buffer of exactly their length, so that any read past
    // them is caught; it is gone before the Variant is looked at, so that the
    // Variant cannot hold on to it either.
    auto* input = new std::uint8_t[size];
    if (size != 0) {
        std::memcpy(input, data, size);
    }
    Variant parsed;
    parsed = "before";
    const std::int32_t result = ParseValueBlob(parsed, input, static_cast<std::uint32_t>(size));
    delete[] input;
    if (result == BlobFail) {
        Require(parsed.GetType() == VariantType::String && std::strcmp(parsed.GetString(), "before") == 0);
        return 0;
    }
    Require(result == BlobOk);
    ConvertAll(parsed);
    CheckRoundTrip(parsed);
    return 0;
}
