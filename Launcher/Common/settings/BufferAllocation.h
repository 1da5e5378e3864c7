#pragma once

#include <cstddef>
#include <new>
#include <stdexcept>

// Runs operation and returns its result, or failed when it could not allocate:
// std::bad_alloc when the heap has no room, std::length_error for a size
// beyond what a container can hold (a 32-bit process meets that below 4 GiB).
// Registry sizes and counts come from outside, and a value too large for
// memory is a failed read or write, never an exception that leaves a step.
template <typename Result, typename Operation>
Result OrOnAllocationFailure(Result failed, Operation&& operation)
{
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return failed;
    } catch (const std::length_error&) {
        return failed;
    }
}

// Resizes buffer (a vector or string) to size elements; false when it could
// not allocate.
template <typename Buffer>
bool TryResize(Buffer& buffer, std::size_t size)
{
    return OrOnAllocationFailure(false, [&] {
        buffer.resize(size);
        return true;
    });
}
