#include "RegistryText.h"

#include "BufferAllocation.h"

namespace {

// The longest text whose REG_SZ data size, NUL included, fits 32 bits.
constexpr std::size_t MaxWidenedLength = 0x7FFFFFFEu;

std::uint16_t CodeUnitAt(const std::uint8_t* data, std::size_t index)
{
    return static_cast<std::uint16_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

}  // namespace

bool NarrowRegistryText(const std::uint8_t* data, std::uint32_t size, std::string& text)
{
    const std::size_t units = size / 2;
    std::size_t textLength = 0;
    while (textLength < units && CodeUnitAt(data, textLength) != 0) {
        if (CodeUnitAt(data, textLength) > 0x00FF) {
            return false;
        }
        ++textLength;
    }
    if (!TryResize(text, textLength)) {
        return false;
    }
    for (std::size_t index = 0; index < textLength; ++index) {
        text[index] = static_cast<char>(CodeUnitAt(data, index));
    }
    return true;
}

bool IsNarrowRegistryData(const std::uint8_t* data, std::uint32_t size)
{
    for (std::size_t index = 0; index < size / 2; ++index) {
        if (CodeUnitAt(data, index) > 0x00FF) {
            return false;
        }
    }
    return true;
}

bool WidenToRegistryText(const char* text, std::size_t length, std::vector<std::uint8_t>& data)
{
    if (length > MaxWidenedLength || !TryResize(data, (length + 1) * 2)) {
        return false;
    }
    for (std::size_t index = 0; index < length; ++index) {
        data[2 * index] = static_cast<std::uint8_t>(text[index]);
        data[2 * index + 1] = 0;
    }
    data[2 * length] = 0;
    data[2 * length + 1] = 0;
    return true;
}
