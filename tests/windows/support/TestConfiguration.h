#pragma once

#include "LauncherConfig.h"

// The configuration the launcher code sees in test programs; tests change it
// and put it back with ScopedConfiguration.
extern LauncherConfiguration TestConfiguration;

class ScopedConfiguration {
public:
    ScopedConfiguration() : saved_(TestConfiguration) {}
    ScopedConfiguration(const ScopedConfiguration&) = delete;
    ScopedConfiguration& operator=(const ScopedConfiguration&) = delete;
    ~ScopedConfiguration() { TestConfiguration = saved_; }

private:
    LauncherConfiguration saved_;
};
