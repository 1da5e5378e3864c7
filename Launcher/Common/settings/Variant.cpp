#include "Variant.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

// Every conversion to float or double must round to that type. Arithmetic in
// x87 registers keeps 80 bits and hands back the unrounded value, so the
// 32-bit build does its floating-point arithmetic in SSE2 registers.
static_assert(FLT_EVAL_METHOD == 0, "floating-point results must be rounded to their own type");

namespace {

template <typename T>
T LoadScalar(const std::uint8_t* payload)
{
    T value;
    std::memcpy(&value, payload, sizeof value);
    return value;
}

// Two's complement reading of the bits, without the implementation-defined
// conversion of unsigned values above the signed range.
std::int32_t AsSigned32(std::uint32_t bits)
{
    return bits <= 0x7FFFFFFFu ? static_cast<std::int32_t>(bits) : -static_cast<std::int32_t>(~bits) - 1;
}

std::int64_t AsSigned64(std::uint64_t bits)
{
    return bits <= 0x7FFFFFFFFFFFFFFFu ? static_cast<std::int64_t>(bits) : -static_cast<std::int64_t>(~bits) - 1;
}

// The first width bytes of the buffer, little-endian; a shorter buffer is read
// as far as it goes and zero-extended, a null one gives 0.
std::uint64_t ReadLittleEndian(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t width)
{
    if (bytes == nullptr) {
        return 0;
    }
    const std::uint32_t count = size < width ? size : width;
    std::uint64_t value = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        value |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    }
    return value;
}

// value - 0.5 below zero, value + 0.5 otherwise (a NaN too), rounded to Real.
template <typename Real>
Real AddHalfAwayFromZero(Real value)
{
    return value < Real(0) ? value - Real(0.5) : value + Real(0.5);
}

// The value truncated toward zero; a NaN gives 0, a value beyond the range of
// Int its smallest or largest value. A plain cast of those is undefined.
template <typename Int, typename Real>
Int TruncateSaturating(Real value)
{
    constexpr Real lowest = static_cast<Real>(std::numeric_limits<Int>::min());  // -2^(n-1), exact
    if (std::isnan(value)) {
        return 0;
    }
    if (value < lowest) {
        return std::numeric_limits<Int>::min();
    }
    if (value >= -lowest) {
        return std::numeric_limits<Int>::max();
    }
    return static_cast<Int>(value);
}

template <typename Int, typename Real>
Int RoundHalfAwayFromZero(Real value)
{
    return TruncateSaturating<Int>(AddHalfAwayFromZero(value));
}

// The integer rounded to Real. Even with SSE2 arithmetic a 32-bit x86 build
// converts a 64-bit integer in the x87 unit, and a result returned in the x87
// register would stay unrounded; the store to memory rounds it.
template <typename Real>
Real RoundToReal(std::int64_t value)
{
    volatile Real rounded = static_cast<Real>(value);
    return rounded;
}

// The double rounded to the nearest single; beyond the largest single by half
// a unit or more it is an infinity, as IEEE-754 rounding gives, where a plain
// cast would be undefined.
float NarrowToFloat(double value)
{
    constexpr double overflowThreshold = 0x1p128 - 0x1p103;
    if (std::fabs(value) >= overflowThreshold) {
        constexpr float infinity = std::numeric_limits<float>::infinity();
        return value > 0 ? infinity : -infinity;
    }
    return static_cast<float>(value);
}

bool OwnsBuffer(VariantType type)
{
    return type >= VariantType::Bytes && type <= VariantType::Opaque;
}

bool HoldsBuffer(VariantType type)
{
    return type >= VariantType::BytesRef && type <= VariantType::Opaque;
}

}  // namespace

Variant::Variant() : payload_{}, size_(0), type_(VariantType::Empty) {}

Variant::~Variant()
{
    if (std::uint8_t* buffer = OwnedBuffer()) {
        Variant::Free(buffer);
    }
}

VariantType Variant::GetType() const
{
    return type_;
}

std::uint8_t* Variant::Buffer() const
{
    return LoadScalar<std::uint8_t*>(payload_);
}

void Variant::TakeBuffer(std::uint8_t* buffer, std::uint32_t size, VariantType type)
{
    std::memcpy(payload_, &buffer, sizeof buffer);
    size_ = size;
    type_ = type;
}

std::uint8_t* Variant::OwnedBuffer() const
{
    return OwnsBuffer(type_) ? Buffer() : nullptr;
}

void Variant::Clear()
{
    if (std::uint8_t* buffer = OwnedBuffer()) {
        Free(buffer);
    }
    std::memset(payload_, 0, sizeof payload_);
    size_ = 0;
    type_ = VariantType::Empty;
}

std::int32_t Variant::SetBytes(const std::uint8_t* bytes, std::uint32_t length)
{
    Clear();
    std::uint8_t* buffer = Allocate(length);
    if (length != 0) {
        std::memcpy(buffer, bytes, length);
    }
    TakeBuffer(buffer, length, VariantType::Bytes);
    return static_cast<std::int32_t>(VariantType::Bytes);
}

std::int32_t Variant::StoreText(const std::uint8_t* text, std::uint32_t textLength)
{
    Clear();
    // The size counts the NUL, so the longest text is one byte short of 4 GiB.
    if (textLength == std::numeric_limits<std::uint32_t>::max()) {
        return 0;
    }
    std::uint8_t* buffer = Allocate(textLength + 1);
    if (textLength != 0) {
        std::memcpy(buffer, text, textLength);
    }
    buffer[textLength] = 0;
    TakeBuffer(buffer, textLength + 1, VariantType::String);
    return static_cast<std::int32_t>(VariantType::String);
}

std::int32_t Variant::SetString(const char* text)
{
    return StoreText(reinterpret_cast<const std::uint8_t*>(text), static_cast<std::uint32_t>(std::strlen(text)));
}

Variant& Variant::operator=(const char* text)
{
    SetString(text);
    return *this;
}

std::int32_t Variant::StoreScalar(VariantType type, const std::uint8_t* bytes, std::uint32_t length,
                                  std::uint32_t width)
{
    Clear();
    if (length != width) {
        return 0;
    }
    std::memcpy(payload_, bytes, width);
    type_ = type;
    return static_cast<std::int32_t>(type);
}

std::int32_t Variant::SetTyped(std::int32_t typeCode, const std::uint8_t* bytes, std::uint32_t length)
{
    const auto type = static_cast<VariantType>(typeCode);
    switch (type) {
    case VariantType::Bool:
        return StoreScalar(type, bytes, length, 1);
    case VariantType::Int32:
    case VariantType::Float:
        return StoreScalar(type, bytes, length, 4);
    case VariantType::Int64:
    case VariantType::Double:
        return StoreScalar(type, bytes, length, 8);
    case VariantType::BytesRef:
    case VariantType::OpaqueRef:
    case VariantType::Bytes:
        return SetBytes(bytes, length);
    case VariantType::String: {
        const void* nul = length != 0 ? std::memchr(bytes, 0, length) : nullptr;
        const auto textLength =
            nul != nullptr ? static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(nul) - bytes) : length;
        return StoreText(bytes, textLength);
    }
    case VariantType::Opaque:
        SetBytes(bytes, length);
        type_ = VariantType::Opaque;
        return typeCode;
    default:
        Clear();
        return 0;
    }
}

std::int32_t Variant::SetOpaqueWithoutBuffer()
{
    Clear();
    type_ = VariantType::Opaque;
    return static_cast<std::int32_t>(VariantType::Opaque);
}

bool Variant::ToBool() const
{
    switch (type_) {
    case VariantType::Bool:
        return payload_[0] != 0;
    case VariantType::Int32:
        return LoadScalar<std::int32_t>(payload_) != 0;
    case VariantType::Int64:
        return LoadScalar<std::int64_t>(payload_) != 0;
    case VariantType::Float:
        return LoadScalar<float>(payload_) != 0.0f;
    case VariantType::Double:
        return LoadScalar<double>(payload_) != 0.0;
    case VariantType::BytesRef:
    case VariantType::OpaqueRef:
        return Buffer() != nullptr;
    case VariantType::Bytes:
    case VariantType::Opaque:
        return size_ != 0;
    case VariantType::String:
        return size_ > 1;
    default:
        return false;
    }
}

std::int32_t Variant::BufferToInt32() const
{
    return AsSigned32(static_cast<std::uint32_t>(ReadLittleEndian(Buffer(), size_, 4)));
}

std::int64_t Variant::BufferToInt64() const
{
    return AsSigned64(ReadLittleEndian(Buffer(), size_, 8));
}

std::int32_t Variant::ToInt32() const
{
    switch (type_) {
    case VariantType::Bool:
        return payload_[0];
    case VariantType::Int32:
        return LoadScalar<std::int32_t>(payload_);
    case VariantType::Int64:
        return AsSigned32(static_cast<std::uint32_t>(LoadScalar<std::int64_t>(payload_)));
    case VariantType::Float:
        return RoundHalfAwayFromZero<std::int32_t>(static_cast<double>(LoadScalar<float>(payload_)));
    case VariantType::Double:
        return RoundHalfAwayFromZero<std::int32_t>(LoadScalar<double>(payload_));
    case VariantType::BytesRef:
    case VariantType::OpaqueRef:
    case VariantType::Bytes:
        return BufferToInt32();
    case VariantType::String:
        return AsSigned32(size_ - 1);
    default:
        return 0;
    }
}

std::int64_t Variant::ToInt64() const
{
    switch (type_) {
    case VariantType::Bool:
        return payload_[0];
    case VariantType::Int32:
        return LoadScalar<std::int32_t>(payload_);
    case VariantType::Int64:
        return LoadScalar<std::int64_t>(payload_);
    case VariantType::Float:
        return RoundHalfAwayFromZero<std::int64_t>(LoadScalar<float>(payload_));
    case VariantType::Double:
        return RoundHalfAwayFromZero<std::int64_t>(LoadScalar<double>(payload_));
    case VariantType::BytesRef:
    case VariantType::OpaqueRef:
    case VariantType::Bytes:
        return BufferToInt64();
    case VariantType::String:
        return static_cast<std::int64_t>(size_ - 1);
    default:
        return 0;
    }
}

float Variant::ToFloat() const
{
    switch (type_) {
    case VariantType::Bool:
        return payload_[0];
    case VariantType::Int32:
        return static_cast<float>(LoadScalar<std::int32_t>(payload_));
    case VariantType::Int64:
        return RoundToReal<float>(LoadScalar<std::int64_t>(payload_));
    case VariantType::Float:
        return LoadScalar<float>(payload_);
    case VariantType::Double:
        return NarrowToFloat(LoadScalar<double>(payload_));
    case VariantType::BytesRef:
    case VariantType::OpaqueRef:
    case VariantType::Bytes:
    case VariantType::String:
        return static_cast<float>(ToInt32());
    default:
        return 0.0f;
    }
}

double Variant::ToDouble() const
{
    switch (type_) {
    case VariantType::Bool:
        return payload_[0];
    case VariantType::Int32:
        return LoadScalar<std::int32_t>(payload_);
    case VariantType::Int64:
        return RoundToReal<double>(LoadScalar<std::int64_t>(payload_));
    case VariantType::Float:
        return LoadScalar<float>(payload_);
    case VariantType::Double:
        return LoadScalar<double>(payload_);
    case VariantType::BytesRef:
    case VariantType::OpaqueRef:
    case VariantType::Bytes:
    case VariantType::String:
        return RoundToReal<double>(ToInt64());
    default:
        return 0.0;
    }
}

const std::uint8_t* Variant::GetData(std::uint32_t& size) const
{
    switch (type_) {
    case VariantType::Bool:
        size = 1;
        return payload_;
    case VariantType::Int32:
    case VariantType::Float:
        size = 4;
        return payload_;
    case VariantType::Int64:
    case VariantType::Double:
        size = 8;
        return payload_;
    default:
        size = HoldsBuffer(type_) ? size_ : 0;
        return HoldsBuffer(type_) ? Buffer() : nullptr;
    }
}

const std::uint8_t* Variant::GetElements(std::uint32_t& count) const
{
    switch (type_) {
    case VariantType::Bool:
    case VariantType::Int32:
    case VariantType::Int64:
    case VariantType::Float:
    case VariantType::Double:
        count = 1;
        return payload_;
    case VariantType::BytesRef:
    case VariantType::Bytes:
    case VariantType::String:
        count = size_;
        return Buffer();
    default:
        count = 0;
        return nullptr;
    }
}

const char* Variant::GetString() const
{
    return type_ == VariantType::String ? reinterpret_cast<const char*>(Buffer()) : nullptr;
}

std::uint8_t* Variant::Allocate(std::uint32_t size)
{
    return new std::uint8_t[size];
}

void Variant::Free(std::uint8_t* buffer)
{
    delete[] buffer;
}
