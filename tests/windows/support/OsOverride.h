#pragma once

#include "platform/OsCalls.h"

#include <type_traits>
#include <utility>

// The type of one entry of the call table.
template <auto Entry>
using OsEntry = std::remove_reference_t<decltype(Os.*Entry)>;

// The entries beneath the one layer tests observe the product's calls
// through (Interposer.h): a fake put here serves the product's calls whatever
// observers are plugged in over it.
OsCallTable& Beneath();

// Replaces one entry beneath the layer for the life of the guard and puts the
// previous one back afterwards:
// OsOverride<&OsCallTable::CreateFileW> open(&RecordingCreateFile).
template <auto Entry>
class OsOverride {
public:
    explicit OsOverride(OsEntry<Entry> replacement) : previous_(std::exchange(Beneath().*Entry, replacement)) {}
    OsOverride(const OsOverride&) = delete;
    OsOverride& operator=(const OsOverride&) = delete;
    ~OsOverride() { Beneath().*Entry = previous_; }

private:
    OsEntry<Entry> previous_;
};
