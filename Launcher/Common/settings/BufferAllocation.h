#pragma once

#include <cstddef>
#include <new>

// Runs operation and returns its result, or failed when it could not allocate.
// Registry sizes and counts come from outside, and a value too large for
// memory is a failed read or write, never an exception that leaves a step.
// Such sizes go through TryResize, which refuses one beyond what a container
// can hold; the launcher's containers throw std::bad_alloc for any other such
// request (framework/ContainerFailures.cpp). A catch of std::length_error here
// would keep that exception's type, and with it the C++ runtime's string
// classes, in the launcher.
template <typename Result, typename Operation>
Result OrOnAllocationFailure(Result failed, Operation&& operation)
{
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return failed;
    }
}

// Resizes buffer (a vector or string) to size elements; false when it could
// not allocate. A size beyond what the buffer can hold (a 32-bit process meets
// that below 4 GiB) is refused before any allocation, so it fails the same way
// whichever C++ runtime's containers the program links.
template <typename Buffer>
bool TryResize(Buffer& buffer, std::size_t size)
{
    if (size > buffer.max_size()) {
        return false;
    }
    return OrOnAllocationFailure(false, [&] {
        buffer.resize(size);
        return true;
    });
}
