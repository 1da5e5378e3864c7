#pragma once

#include <cstddef>
#include <new>

// Resizes buffer (a vector or string) to size elements, turning an allocation
// failure into false: registry data sizes come from outside, and a value too
// large for memory is a failed read or write, not an exception.
template <typename Buffer>
bool TryResize(Buffer& buffer, std::size_t size)
{
    try {
        buffer.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
