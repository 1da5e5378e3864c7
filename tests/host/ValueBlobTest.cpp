#include "settings/ValueBlob.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ByteList = std::vector<std::uint8_t>;

ByteList Header(std::uint32_t total, std::uint32_t reserved, std::uint32_t type, const ByteList& payload = {})
{
    ByteList blob;
    for (const std::uint32_t field : {total, reserved, type}) {
        for (int i = 0; i < 4; ++i) {
            blob.push_back(static_cast<std::uint8_t>(field >> (8 * i)));
        }
    }
    blob.insert(blob.end(), payload.begin(), payload.end());
    return blob;
}

ByteList Blob(std::uint32_t type, const ByteList& payload)
{
    return Header(static_cast<std::uint32_t>(BlobHeaderSize + payload.size()), 0, type, payload);
}

// The blob of the Variant, written into a buffer of exactly the size it needs.
ByteList Serialized(const Variant& v)
{
    std::uint32_t size = 0;
    v.GetData(size);
    ByteList blob(size + BlobHeaderSize);
    EXPECT_EQ(static_cast<std::int32_t>(blob.size()),
              SerializeValueBlob(v, blob.data(), static_cast<std::uint32_t>(blob.size())));
    return blob;
}

std::int32_t Parse(Variant& v, const ByteList& blob)
{
    return ParseValueBlob(v, blob.data(), static_cast<std::uint32_t>(blob.size()));
}

template <typename Case>
auto operator<<(std::ostream& out, const Case& c) -> decltype(out << c.description)
{
    return out << c.description;
}

// A Variant set with SetTyped, its blob, and what reading that blob gives.
struct RoundTripCase {
    const char* description;
    std::int32_t typeCode;
    ByteList payload;
    ByteList blob;
};

class RoundTripTest : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, WritesTheBlobByteForByteAndReadsItBack)
{
    const RoundTripCase& c = GetParam();
    Variant written;
    written.SetTyped(c.typeCode, c.payload.data(), static_cast<std::uint32_t>(c.payload.size()));
    EXPECT_EQ(c.blob, Serialized(written));
    Variant read;
    ASSERT_EQ(BlobOk, Parse(read, c.blob));
    EXPECT_EQ(written.GetType(), read.GetType());
    EXPECT_EQ(c.blob, Serialized(read));
}

INSTANTIATE_TEST_SUITE_P(Kinds, RoundTripTest,
    testing::Values(
        RoundTripCase{"empty", 0, {}, {0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        RoundTripCase{"bool true", 1, {1}, {0x0D, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1}},
        RoundTripCase{"int32 1", 2, {1, 0, 0, 0}, {0x10, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0}},
        RoundTripCase{"double 1.0", 5, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F},
                      {0x14, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        RoundTripCase{"string abc", 9, {'a', 'b', 'c', 0},
                      {0x10, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0x61, 0x62, 0x63, 0}},
        RoundTripCase{"int64", 3, {1, 2, 3, 4, 5, 6, 7, 0x80}, Blob(3, {1, 2, 3, 4, 5, 6, 7, 0x80})},
        RoundTripCase{"float NaN keeps its bits", 4, {1, 0, 0xC0, 0x7F}, Blob(4, {1, 0, 0xC0, 0x7F})},
        RoundTripCase{"bytes", 8, {0, 1, 2}, Blob(8, {0, 1, 2})},
        RoundTripCase{"opaque", 10, {0, 1, 2}, Blob(10, {0, 1, 2})},
        RoundTripCase{"empty opaque", 10, {}, Blob(10, {})}));

TEST(RoundTrip, EmptyBytesIsWrittenButRefusedOnReading)
{
    Variant written;
    written.SetBytes(nullptr, 0);
    const ByteList blob = Serialized(written);
    EXPECT_EQ(Blob(8, {}), blob);
    Variant read;
    EXPECT_EQ(BlobFail, Parse(read, blob));
}

// An input, and the blob the Variant writes after reading it; no blob for a
// refused input.
struct ParseCase {
    const char* description;
    ByteList input;
    ByteList result;
};

class ParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, ReadsWellFormedBlobsAndLeavesTheVariantAloneOnRefusal)
{
    const ParseCase& c = GetParam();
    Variant v;
    v = "before";
    if (c.result.empty()) {
        EXPECT_EQ(BlobFail, Parse(v, c.input));
        EXPECT_STREQ("before", v.GetString());
    } else {
        EXPECT_EQ(BlobOk, Parse(v, c.input));
        EXPECT_EQ(c.result, Serialized(v));
    }
}

const ByteList Refused;
const ByteList Empty = Blob(0, {});

INSTANTIATE_TEST_SUITE_P(Inputs, ParseTest,
    testing::Values(
        ParseCase{"11 bytes", ByteList(11), Refused},
        ParseCase{"a 4-byte registry number", {1, 0, 0, 0}, Refused},
        ParseCase{"bytes without payload", Header(12, 0, 8), Refused},
        ParseCase{"int32 without payload", Header(12, 0, 2), Refused},
        ParseCase{"total beyond the bytes", Header(16, 0, 2, {1, 2, 3}), Refused},
        ParseCase{"reserved 1", Header(16, 1, 2, {1, 2, 3, 4}), Refused},
        ParseCase{"type 11", Header(16, 0, 11, {1, 2, 3, 4}), Refused},
        ParseCase{"type FFFFFFFF", Header(16, 0, 0xFFFFFFFF, {1, 2, 3, 4}), Refused},
        ParseCase{"total below the header", Header(11, 0, 0), Refused},
        ParseCase{"empty with payload", Header(16, 0, 0, {1, 2, 3, 4}), Refused},
        ParseCase{"bytes past total ignored", Header(16, 0, 2, {1, 2, 3, 4, 5, 6, 7, 8}), Blob(2, {1, 2, 3, 4})},
        ParseCase{"int32 of one byte", Header(13, 0, 2, {1}), Empty},
        ParseCase{"bool of two bytes", Header(14, 0, 1, {1, 1}), Empty},
        ParseCase{"bytes reference", Blob(6, {1, 2}), Blob(8, {1, 2})},
        ParseCase{"opaque reference", Blob(7, {1, 2}), Blob(8, {1, 2})},
        ParseCase{"string to its NUL", Blob(9, {'a', 'b', 0, 'c'}), Blob(9, {'a', 'b', 0})},
        ParseCase{"string without NUL", Blob(9, {'a', 'b'}), Blob(9, {'a', 'b', 0})}));

TEST(ParseValueBlob, GivesAnOpaqueWithoutPayloadNoBuffer)
{
    Variant v;
    ASSERT_EQ(BlobOk, Parse(v, Blob(10, {})));
    std::uint32_t size = 1;
    EXPECT_EQ(nullptr, v.GetData(size));
    EXPECT_EQ(0u, size);
}

TEST(SerializeValueBlob, WritesNothingIntoATooSmallOrMissingBuffer)
{
    const std::uint8_t one[] = {1, 0, 0, 0};
    Variant v;
    v.SetTyped(2, one, 4);
    ByteList buffer(16, 0xAA);
    EXPECT_EQ(BlobFail, SerializeValueBlob(v, buffer.data(), 15));
    EXPECT_EQ(ByteList(16, 0xAA), buffer);
    EXPECT_EQ(BlobFail, SerializeValueBlob(v, nullptr, 16));
    EXPECT_EQ(16, SerializeValueBlob(v, buffer.data(), 16));
}

// Claims a size no real buffer has, to reach the limits of the total field.
class OversizedVariant : public Variant {
public:
    explicit OversizedVariant(std::uint32_t claimed) : claimed_(claimed) { SetBytes(nullptr, 0); }
    const std::uint8_t* GetData(std::uint32_t& size) const override
    {
        const std::uint8_t* data = Variant::GetData(size);
        size = claimed_;
        return data;
    }

private:
    std::uint32_t claimed_;
};

TEST(SerializeValueBlob, RefusesATotalBeyondThePositiveResultRange)
{
    ByteList buffer(16, 0xAA);
    for (const std::uint32_t size : {0x7FFFFFF4u, 0xFFFFFFF4u, 0xFFFFFFFFu}) {
        EXPECT_EQ(BlobFail, SerializeValueBlob(OversizedVariant(size), buffer.data(), 0xFFFFFFFFu)) << size;
    }
    EXPECT_EQ(ByteList(16, 0xAA), buffer);
}

}  // namespace
