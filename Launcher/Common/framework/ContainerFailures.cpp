// What the standard containers and strings do when a request cannot be met.
// The C++ runtime's own versions of these helpers build exception objects
// that carry a message in a string of the runtime's older layout, and linking
// them draws in that whole string class with its unwind tables: some 27 KB of
// a launcher that administrators push to thousands of machines.
//
// Running out of memory stays what it was: std::bad_alloc and
// std::bad_array_new_length, thrown as the runtime throws them.
//
// A container asked to grow past the largest size it can hold asks for memory
// that cannot be had, so it throws std::bad_alloc too, which the steps that
// guard their allocations catch; a 32-bit process meets that limit with sizes
// read from the registry.
//
// An index past the end or a string made from a null pointer is a defect in
// the launcher itself, which nothing catches. The runtime's exception would
// find no handler and end the process through std::terminate without
// unwinding; ending it there directly is the same for everyone who watches.
//
// A helper of this kind that the launcher comes to use and that is not defined
// here draws in the runtime's versions of them all, and the link then fails
// with these defined twice: define it here too, by what its failure means.

// The runtime's declarations, so that each definition below must match one.
#include <bits/functexcept.h>

#include <exception>
#include <new>

namespace std {

void __throw_bad_alloc()
{
    throw bad_alloc();
}

void __throw_bad_array_new_length()
{
    throw bad_array_new_length();
}

void __throw_length_error(const char*)
{
    throw bad_alloc();
}

void __throw_logic_error(const char*)
{
    terminate();
}

void __throw_out_of_range_fmt(const char*, ...)
{
    terminate();
}

}  // namespace std
