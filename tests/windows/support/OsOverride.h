#pragma once

#include "platform/OsCalls.h"

#include <type_traits>
#include <utility>

// The type of one entry of the call table.
template <auto Entry>
using OsEntry = std::remove_reference_t<decltype(Os.*Entry)>;

// Replaces one entry of the call table for the life of the guard and puts the
// previous one back afterwards:
// OsOverride<&OsCallTable::CreateFileW> open(&RecordingCreateFile).
template <auto Entry>
class OsOverride {
public:
    explicit OsOverride(OsEntry<Entry> replacement) : previous_(std::exchange(Os.*Entry, replacement)) {}
    OsOverride(const OsOverride&) = delete;
    OsOverride& operator=(const OsOverride&) = delete;
    ~OsOverride() { Os.*Entry = previous_; }

private:
    OsEntry<Entry> previous_;
};
