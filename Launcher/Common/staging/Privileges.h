#pragma once

#include "../platform/Handles.h"

#include <cstdint>

// Enables, for the life of the scope, the privileges with which an
// administrator takes over a folder whatever its owner and access list allow
// (backup, restore, take ownership), and puts the token's earlier state back
// afterwards, so that no child program inherits them enabled.
class OwnershipPrivileges {
public:
    OwnershipPrivileges() = default;
    OwnershipPrivileges(const OwnershipPrivileges&) = delete;
    OwnershipPrivileges& operator=(const OwnershipPrivileges&) = delete;
    ~OwnershipPrivileges();

    // Returns 0, or the failing call's code after printing its diagnostic
    // line. A privilege the token lacks is no failure here: the call that
    // needs it then fails with its own code. Once enabled, further calls do
    // nothing and return 0.
    std::int32_t Enable();

private:
    static constexpr DWORD Count = 3;
    struct PrivilegeSet {
        DWORD PrivilegeCount;
        LUID_AND_ATTRIBUTES Privileges[Count];
    };

    TokenHandle token_;
    PrivilegeSet previous_{};
    bool enabled_ = false;
};
