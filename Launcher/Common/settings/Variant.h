#pragma once

#include <cstdint>

// The kind of content a Variant holds. The codes are stored in value blobs and
// must keep their numbers.
enum class VariantType : std::int32_t {
    Empty = 0,
    Bool = 1,       // one byte, 0 false, anything else true
    Int32 = 2,
    Int64 = 3,
    Float = 4,      // IEEE-754 single
    Double = 5,     // IEEE-754 double
    BytesRef = 6,   // bytes the Variant does not own
    OpaqueRef = 7,  // bytes the Variant does not own
    Bytes = 8,
    String = 9,     // narrow characters and their NUL; size counts the NUL
    Opaque = 10,
};

// The content of one registry value: a type code and either a scalar kept
// inline or a byte buffer. The Variant owns its buffer exactly when the type
// code is 8 or above; it obtains every such buffer through Allocate and
// releases it through Free whenever it is cleared, set anew or destroyed.
// Variants are not copied.
class Variant {
public:
    Variant();
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    // Releases an owned buffer with this class's own Free, whatever a derived
    // class supplies: a derived class that brings its own memory calls Clear
    // in its own destructor.
    virtual ~Variant();

    // Conversions of the content. Empty gives false, 0 or 0.0. Floating-point
    // values round to integers half away from zero (a NaN adds 0.5 too); a
    // NaN sum gives 0 and a sum beyond the integer's range gives its largest
    // or smallest value. The numeric conversions of the buffer kinds read the
    // first 4 or 8 bytes little-endian; a shorter buffer is read as far as it
    // goes and zero-extended, and a null buffer reads as 0.
    virtual bool ToBool() const;
    // Rounds Float and Double in double precision.
    virtual std::int32_t ToInt32() const;
    // Rounds Double in double precision and Float in single precision, so a
    // Float whose sum with 0.5 is not a single rounds to the nearest one first.
    virtual std::int64_t ToInt64() const;
    // The buffer kinds and String go through ToInt32.
    virtual float ToFloat() const;
    // The buffer kinds and String go through ToInt64.
    virtual double ToDouble() const;

    // The value's bytes and their count in size: the inline payload for the
    // scalars (1, 4 or 8 bytes), the buffer and its size for codes 6 to 10,
    // null and 0 for Empty. The pointer stays valid until the next setter.
    virtual const std::uint8_t* GetData(std::uint32_t& size) const;
    // The value as elements and their count in count: the inline payload and
    // 1 for the scalars, the buffer and its size in bytes for BytesRef, Bytes
    // and String, null and 0 for Empty, OpaqueRef and Opaque.
    virtual const std::uint8_t* GetElements(std::uint32_t& count) const;
    // The NUL-terminated text of a String; null for every other kind.
    virtual const char* GetString() const;

    // The kind of the content; Empty for a new or cleared Variant.
    VariantType GetType() const;

    // Every setter first releases an owned buffer and makes the Variant Empty,
    // so the bytes it is given must not lie in that buffer.
    void Clear();
    // Stores a copy of length bytes (bytes may be null when length is 0; an
    // empty Bytes still holds an allocated buffer). Returns 8.
    std::int32_t SetBytes(const std::uint8_t* bytes, std::uint32_t length);
    // Stores the NUL-terminated text (not null) with its NUL as a String.
    // Returns 9.
    std::int32_t SetString(const char* text);
    // The assignment form of SetString.
    Variant& operator=(const char* text);
    // Stores length bytes as the kind with this code; returns the code stored,
    // or 0 when it stays Empty (code 0 or outside 1 to 10, or a scalar whose
    // length is not its width). Codes 6, 7 and 8 store a copy as Bytes. Code 9
    // stores the bytes up to the first NUL within length plus a NUL, and
    // bytes without a NUL whole with a NUL added; it stays Empty only when
    // that NUL would not fit the 32-bit size.
    std::int32_t SetTyped(std::int32_t typeCode, const std::uint8_t* bytes, std::uint32_t length);
    // Makes the Variant an Opaque without a buffer (null, size 0): what a
    // blob of type 10 without payload reads back as. Returns 10.
    std::int32_t SetOpaqueWithoutBuffer();

protected:
    // A new buffer of size bytes from the general heap; never null. Throws
    // std::bad_alloc when the heap has none.
    virtual std::uint8_t* Allocate(std::uint32_t size);
    // Returns a buffer obtained from Allocate to the heap. Never called with
    // null.
    virtual void Free(std::uint8_t* buffer);

private:
    std::uint8_t* Buffer() const;
    // The buffer to release: null when there is none or it is not owned.
    std::uint8_t* OwnedBuffer() const;
    void TakeBuffer(std::uint8_t* buffer, std::uint32_t size, VariantType type);
    std::int32_t StoreScalar(VariantType type, const std::uint8_t* bytes, std::uint32_t length,
                             std::uint32_t width);
    std::int32_t StoreText(const std::uint8_t* text, std::uint32_t textLength);
    std::int32_t BufferToInt32() const;
    std::int64_t BufferToInt64() const;

    // A scalar, or the buffer pointer for codes 6 to 10, in its bytes.
    alignas(8) std::uint8_t payload_[8];
    std::uint32_t size_;
    VariantType type_;
};
