#pragma once

#include "Interposer.h"

#include <map>
#include <string>
#include <vector>

// Every kind of handle or system allocation the launcher opens through the
// call table, told apart by the call that opened it.
enum class HandleKind {
    File,
    Folder,
    Search,
    RegistryKey,
    ServiceManager,
    Service,
    Snapshot,
    Process,
    Thread,
    Token,
    Mutex,
    LocalMemory,
    RpcString,
};

const char* HandleKindName(HandleKind kind);

// Counts, while it lives, every open and close the product makes, kind by
// kind, whatever fakes serve them. A close of a handle with the call of
// another kind is recorded as a mismatch. A failed close leaves exactly its
// own handle in the ledger.
class HandleLedger : public CallObserver {
public:
    HandleLedger();
    std::optional<DWORD> Before(const ObservedCall& call) override;
    void After(const ObservedCall& call) override;

    // Handles opened and not closed, by kind.
    std::map<HandleKind, int> OpenByKind() const;
    int OpenCount() const;
    // Opens counted so far, by kind, whether closed since or not.
    std::map<HandleKind, int> OpenedByKind() const;
    // Closes made with the call of another kind, or of a handle never opened.
    const std::vector<std::string>& Mismatches() const;
    // Closes what is still open with the real calls and forgets it.
    void CloseLeftovers();
};

// "Process 1, RegistryKey 2", or "none".
std::string DescribeHandles(const std::map<HandleKind, int>& counts);
