#pragma once

#include "platform/OsCalls.h"

#include <utility>

// Replaces one entry of the call table for the life of the guard and puts the
// previous one back afterwards.
template <typename Function>
class OsOverride {
public:
    OsOverride(Function OsCallTable::*entry, Function replacement) : entry_(entry), previous_(Os.*entry)
    {
        Os.*entry_ = replacement;
    }
    OsOverride(OsOverride&& other) noexcept
        : entry_(other.entry_), previous_(std::exchange(other.previous_, nullptr))
    {
    }
    OsOverride(const OsOverride&) = delete;
    OsOverride& operator=(const OsOverride&) = delete;
    OsOverride& operator=(OsOverride&&) = delete;
    ~OsOverride()
    {
        if (previous_ != nullptr) {
            Os.*entry_ = previous_;
        }
    }

private:
    Function OsCallTable::*entry_;
    Function previous_;
};
