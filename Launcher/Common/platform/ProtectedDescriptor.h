#pragma once

#include "Handles.h"

#include <cstdint>

// A security descriptor parsed from its text form, and the attributes that
// create an object with it. The parsed memory belongs to this object.
class ProtectedDescriptor {
public:
    // Returns 0, or the failing call's code after printing its line.
    std::int32_t Parse(const wchar_t* text);

    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

private:
    LocalMemory memory_;
    SECURITY_ATTRIBUTES attributes_{};
};
