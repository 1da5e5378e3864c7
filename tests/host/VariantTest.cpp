#include "settings/Variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

namespace {

using ByteList = std::vector<std::uint8_t>;
using Setup = std::function<void(Variant&)>;

constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t Int64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t Int64Min = std::numeric_limits<std::int64_t>::min();
constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

template <typename T>
Setup Scalar(VariantType type, T value)
{
    return [type, value](Variant& v) {
        std::uint8_t bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        v.SetTyped(static_cast<std::int32_t>(type), bytes, sizeof value);
    };
}

Setup Typed(VariantType type, ByteList bytes)
{
    return [type, bytes](Variant& v) {
        v.SetTyped(static_cast<std::int32_t>(type), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    };
}

Setup Text(const char* text)
{
    return [text](Variant& v) { v = text; };
}

ByteList DataOf(const Variant& v)
{
    std::uint32_t size = 0;
    const std::uint8_t* data = v.GetData(size);
    return data != nullptr ? ByteList(data, data + size) : ByteList();
}

Setup F(float value)
{
    return Scalar(VariantType::Float, value);
}

Setup D(double value)
{
    return Scalar(VariantType::Double, value);
}

Setup I32(std::int32_t value)
{
    return Scalar(VariantType::Int32, value);
}

Setup I64(std::int64_t value)
{
    return Scalar(VariantType::Int64, value);
}

// Names a table row in test output.
template <typename Case>
auto operator<<(std::ostream& out, const Case& c) -> decltype(out << c.description)
{
    return out << c.description;
}

bool SameReal(long double expected, long double actual)
{
    return std::isnan(expected) ? std::isnan(actual) : expected == actual;
}

struct ConversionCase {
    const char* description;
    Setup setup;
    bool toBool;
    std::int32_t toInt32;
    std::int64_t toInt64;
    float toFloat;
    double toDouble;
};

class ConversionTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionTest, GivesEveryKindItsBoolIntegerAndRealValue)
{
    const ConversionCase& expected = GetParam();
    Variant v;
    expected.setup(v);
    EXPECT_EQ(expected.toBool, v.ToBool());
    EXPECT_EQ(expected.toInt32, v.ToInt32());
    EXPECT_EQ(expected.toInt64, v.ToInt64());
    // Widened at once and kept as read, so the compiler cannot compare a copy
    // spilled to memory: results left in 80-bit x87 registers would still be
    // the unrounded integers here.
    const volatile long double asFloat = v.ToFloat();
    const volatile long double asDouble = v.ToDouble();
    EXPECT_TRUE(SameReal(expected.toFloat, asFloat)) << asFloat;
    EXPECT_TRUE(SameReal(expected.toDouble, asDouble)) << asDouble;
}

constexpr double LargestSingle = std::numeric_limits<float>::max();
constexpr double SingleOverflow = 0x1p128 - 0x1p103;  // half a unit above the largest single

INSTANTIATE_TEST_SUITE_P(Kinds, ConversionTest,
    testing::Values(
        ConversionCase{"new", [](Variant&) {}, false, 0, 0, 0.0f, 0.0},
        ConversionCase{"empty text", Text(""), false, 0, 0, 0.0f, 0.0},
        ConversionCase{"text abc", Text("abc"), true, 3, 3, 3.0f, 3.0},
        ConversionCase{"bool byte FF", Typed(VariantType::Bool, {0xFF}), true, 255, 255, 255.0f, 255.0},
        ConversionCase{"int32 -5", I32(-5), true, -5, -5, -5.0f, -5.0},
        ConversionCase{"int32 to single", I32(16777217), true, 16777217, 16777217, 16777216.0f, 16777217.0},
        ConversionCase{"int64 low 32 bits", I64(0x1FFFFFFFF), true, -1, 0x1FFFFFFFF, 0x1p33f, 0x1p33 - 1},
        ConversionCase{"int64 to double", I64((1LL << 53) + 1), true, 1, (1LL << 53) + 1, 0x1p53f, 0x1p53},
        ConversionCase{"float -0.0 is false", F(-0.0f), false, 0, 0, -0.0f, -0.0},
        ConversionCase{"float NaN", F(std::nanf("")), true, 0, 0, NaN, NaN},
        ConversionCase{"double beyond every range", D(1e300), true, Int32Max, Int64Max, INFINITY, 1e300},
        ConversionCase{"double just below single overflow", D(SingleOverflow - 0x1p75), true, Int32Max, Int64Max,
                       LargestSingle, SingleOverflow - 0x1p75},
        ConversionCase{"double at single overflow", D(SingleOverflow), true, Int32Max, Int64Max, INFINITY,
                       SingleOverflow},
        ConversionCase{"bytes little-endian", Typed(VariantType::Bytes, {0x01, 0, 0, 0x80}), true, -2147483647,
                       0x80000001, -0x1p31f, 0x80000001},
        ConversionCase{"bytes past 8 unread", Typed(VariantType::Bytes, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 2}),
                       true, -1, -1, -1.0f, -1.0},
        ConversionCase{"short bytes zero-extended", Typed(VariantType::Bytes, {0xFF, 0xFF}), true, 65535, 65535,
                       65535.0f, 65535.0},
        ConversionCase{"empty bytes", Typed(VariantType::Bytes, {}), false, 0, 0, 0.0f, 0.0},
        ConversionCase{"opaque", Typed(VariantType::Opaque, ByteList(8, 1)), true, 0, 0, 0.0f, 0.0},
        ConversionCase{"empty opaque", Typed(VariantType::Opaque, {}), false, 0, 0, 0.0f, 0.0}));

// Float and double values round half away from zero: ToInt32 in double
// precision for both, ToInt64 in the value's own precision.
struct RoundingCase {
    const char* description;
    Setup setup;
    std::int32_t toInt32;
    std::int64_t toInt64;
};

class RoundingTest : public testing::TestWithParam<RoundingCase> {};

TEST_P(RoundingTest, RoundsHalfAwayFromZeroInItsPrecision)
{
    Variant v;
    GetParam().setup(v);
    EXPECT_EQ(GetParam().toInt32, v.ToInt32());
    EXPECT_EQ(GetParam().toInt64, v.ToInt64());
}

INSTANTIATE_TEST_SUITE_P(FloatAndDouble, RoundingTest,
    testing::Values(
        RoundingCase{"float 2.5", F(2.5f), 3, 3},
        RoundingCase{"float -2.5", F(-2.5f), -3, -3},
        RoundingCase{"float 0.5", F(0.5f), 1, 1},
        RoundingCase{"float -0.5", F(-0.5f), -1, -1},
        RoundingCase{"float 1.4", F(1.4f), 1, 1},
        RoundingCase{"float 2^23 + 1", F(8388609.0f), 8388609, 8388610},
        RoundingCase{"float -(2^23 + 1)", F(-8388609.0f), -8388609, -8388610},
        RoundingCase{"largest float below 0.5", F(std::nextafter(0.5f, 0.0f)), 0, 1},
        RoundingCase{"float 2^24 - 1", F(16777215.0f), 16777215, 16777216},
        RoundingCase{"float 3e9", F(3e9f), Int32Max, 3000000000},
        RoundingCase{"float 2^63", F(0x1p63f), Int32Max, Int64Max},
        RoundingCase{"float -2^63 is still in range", F(-0x1p63f), Int32Min, Int64Min},
        RoundingCase{"float infinity", F(INFINITY), Int32Max, Int64Max},
        RoundingCase{"double 2.5", D(2.5), 3, 3},
        RoundingCase{"double -0.5", D(-0.5), -1, -1},
        RoundingCase{"largest double below 0.5", D(std::nextafter(0.5, 0.0)), 1, 1},
        RoundingCase{"double 2^52 + 1", D(0x1p52 + 1), Int32Max, (1LL << 52) + 2},
        RoundingCase{"double 2^31 - 0.6", D(2147483647.4), Int32Max, 2147483647},
        RoundingCase{"double 2^31 - 0.5", D(2147483647.5), Int32Max, 2147483648},
        RoundingCase{"double -2^31 - 0.5", D(-2147483648.5), Int32Min, -2147483649},
        RoundingCase{"double 2^63", D(0x1p63), Int32Max, Int64Max},
        RoundingCase{"double -2^63", D(-0x1p63), Int32Min, Int64Min},
        RoundingCase{"double -infinity", D(-Infinity), Int32Min, Int64Min}));

struct SetTypedCase {
    const char* description;
    std::int32_t typeCode;
    ByteList bytes;
    std::int32_t result;
    VariantType type;
    ByteList data;
};

class SetTypedTest : public testing::TestWithParam<SetTypedCase> {};

TEST_P(SetTypedTest, StoresWhatTheCodeAndLengthAllow)
{
    Variant v;
    v = "before";
    const SetTypedCase& c = GetParam();
    EXPECT_EQ(c.result, v.SetTyped(c.typeCode, c.bytes.data(), static_cast<std::uint32_t>(c.bytes.size())));
    EXPECT_EQ(c.type, v.GetType());
    EXPECT_EQ(c.data, DataOf(v));
}

INSTANTIATE_TEST_SUITE_P(Codes, SetTypedTest,
    testing::Values(
        SetTypedCase{"bool", 1, {7}, 1, VariantType::Bool, {7}},
        SetTypedCase{"bool of 2 bytes", 1, {1, 0}, 0, VariantType::Empty, {}},
        SetTypedCase{"int32", 2, {1, 2, 3, 4}, 2, VariantType::Int32, {1, 2, 3, 4}},
        SetTypedCase{"int32 of 3 bytes", 2, {1, 2, 3}, 0, VariantType::Empty, {}},
        SetTypedCase{"float", 4, {0, 0, 0x80, 0x3F}, 4, VariantType::Float, {0, 0, 0x80, 0x3F}},
        SetTypedCase{"double", 5, {1, 2, 3, 4, 5, 6, 7, 8}, 5, VariantType::Double, {1, 2, 3, 4, 5, 6, 7, 8}},
        SetTypedCase{"bytes reference becomes bytes", 6, {1, 2}, 8, VariantType::Bytes, {1, 2}},
        SetTypedCase{"empty bytes", 8, {}, 8, VariantType::Bytes, {}},
        SetTypedCase{"string up to its first NUL", 9, {'a', 'b', 0, 'c', 'd'}, 9, VariantType::String, {'a', 'b', 0}},
        SetTypedCase{"string without NUL gets one", 9, {'a', 'b'}, 9, VariantType::String, {'a', 'b', 0}},
        SetTypedCase{"string of no bytes", 9, {}, 9, VariantType::String, {0}},
        SetTypedCase{"opaque", 10, {9}, 10, VariantType::Opaque, {9}},
        SetTypedCase{"code 0", 0, {1, 2, 3, 4}, 0, VariantType::Empty, {}},
        SetTypedCase{"code 11", 11, {1, 2, 3, 4}, 0, VariantType::Empty, {}},
        SetTypedCase{"negative code", -1, {1, 2, 3, 4}, 0, VariantType::Empty, {}}));

TEST(VariantViews, ExposeTheBytesOfEachKind)
{
    Variant v;
    std::uint32_t count = 7;
    EXPECT_EQ(nullptr, v.GetData(count));
    EXPECT_EQ(0u, count);

    EXPECT_EQ(9, v.SetString(""));
    EXPECT_NE(nullptr, v.GetData(count));
    EXPECT_EQ(1u, count);
    EXPECT_STREQ("", v.GetString());

    I64(1)(v);
    std::uint32_t elements = 7;
    const std::uint8_t* elementData = v.GetElements(elements);
    EXPECT_EQ(v.GetData(count), elementData);
    EXPECT_EQ(8u, count);
    EXPECT_EQ(1u, elements);
    EXPECT_EQ(nullptr, v.GetString());

    // An empty opaque still holds an allocated buffer, but shows no elements.
    Typed(VariantType::Opaque, {})(v);
    EXPECT_NE(nullptr, v.GetData(count));
    EXPECT_EQ(nullptr, v.GetElements(count));
    EXPECT_EQ(0u, count);
}

// Every buffer the hooks handed out and took back.
struct HookLog {
    std::vector<std::uint8_t*> allocated;
    std::vector<std::uint8_t*> freed;
};

class CountingVariant : public Variant {
public:
    explicit CountingVariant(HookLog& log) : log_(log) {}

protected:
    std::uint8_t* Allocate(std::uint32_t size) override
    {
        log_.allocated.push_back(Variant::Allocate(size));
        return log_.allocated.back();
    }
    void Free(std::uint8_t* buffer) override
    {
        log_.freed.push_back(buffer);
        Variant::Free(buffer);
    }

private:
    HookLog& log_;
};

TEST(VariantHooks, ReleaseEveryBufferExactlyOnceWhenReplacedOrCleared)
{
    HookLog log;
    CountingVariant v(log);
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    v.SetBytes(bytes, 4);
    v.SetString("abc");
    ASSERT_EQ(2u, log.allocated.size());
    EXPECT_EQ(std::vector<std::uint8_t*>{log.allocated[0]}, log.freed);

    v.SetTyped(2, bytes, 4);
    v.SetTyped(10, bytes, 0);
    v.Clear();
    v.Clear();
    v.SetOpaqueWithoutBuffer();
    v.Clear();
    EXPECT_EQ(3u, log.allocated.size());
    EXPECT_EQ(log.allocated, log.freed);
}

// LeakSanitizer reports the buffer if the destructor does not release it.
TEST(VariantHooks, DestructorReleasesWithTheClassesOwnFree)
{
    HookLog log;
    {
        CountingVariant v(log);
        v.SetString("abc");
    }
    EXPECT_EQ(1u, log.allocated.size());
    EXPECT_TRUE(log.freed.empty());
}

TEST(VariantHooks, RealConversionsOfBuffersGoThroughTheIntegerOnes)
{
    class Overridden : public Variant {
    public:
        std::int32_t ToInt32() const override { return 7; }
        std::int64_t ToInt64() const override { return 9; }
    } v;
    v.SetString("abc");
    EXPECT_EQ(7.0f, v.ToFloat());
    EXPECT_EQ(9.0, v.ToDouble());
    I32(3)(v);
    EXPECT_EQ(3.0f, v.ToFloat());
}

}  // namespace
