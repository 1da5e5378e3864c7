#include "HandleLedger.h"

#include <tuple>

namespace {

struct OpenHandle {
    HandleKind Kind;
    // The same handle given out twice counts twice.
    int References;
};

struct Ledger {
    std::map<const void*, OpenHandle> Open;
    std::map<HandleKind, int> Opened;
    std::vector<std::string> Mismatches;
    const void* FreedText = nullptr;
};
Ledger ledger;

void Opened(const void* handle, HandleKind kind)
{
    ++ledger.Opened[kind];
    OpenHandle& entry = ledger.Open.try_emplace(handle, OpenHandle{kind, 0}).first->second;
    ++entry.References;
}

// Forgets a handle once its close succeeded, if it is of one of these kinds.
void Closed(const void* handle, std::initializer_list<HandleKind> kinds, const char* call)
{
    const auto found = ledger.Open.find(handle);
    if (found == ledger.Open.end()) {
        ledger.Mismatches.push_back(std::string(call) + " of a handle not opened through the table");
        return;
    }
    bool matches = false;
    for (const HandleKind kind : kinds) {
        matches |= found->second.Kind == kind;
    }
    if (!matches) {
        ledger.Mismatches.push_back(std::string(call) + " of a " + HandleKindName(found->second.Kind));
    }
    if (--found->second.References == 0) {
        ledger.Open.erase(found);
    }
}

// Records an open that hands back one handle of this kind: as its result,
// or through the pointer argument at this position, which may be null.
template <auto Entry, HandleKind Kind, int Out = -1>
void RecordOpen(const ObservedCall& call)
{
    const auto result = ResultOf<Entry>(call);
    if (!Succeeded<Entry>(result)) {
        return;
    }
    if constexpr (Out < 0) {
        Opened(result, Kind);
    } else if (const auto handle = std::get<Out>(ArgumentsOf<Entry>(call)); handle != nullptr) {
        Opened(*handle, Kind);
    }
}

// Records a close of the handle that is its first argument, which must be of
// one of these kinds.
template <auto Entry, HandleKind... Kinds>
void RecordClose(const ObservedCall& call)
{
    if (Succeeded<Entry>(ResultOf<Entry>(call))) {
        Closed(std::get<0>(ArgumentsOf<Entry>(call)), {Kinds...}, OsCallTraits<Entry>::Name);
    }
}

// A file opened as a folder is a folder.
void RecordCreateFile(const ObservedCall& call)
{
    const HANDLE file = ResultOf<&OsCallTable::CreateFileW>(call);
    if (file != INVALID_HANDLE_VALUE) {
        const DWORD flags = std::get<5>(ArgumentsOf<&OsCallTable::CreateFileW>(call));
        Opened(file, (flags & FILE_FLAG_BACKUP_SEMANTICS) != 0 ? HandleKind::Folder : HandleKind::File);
    }
}

void RecordCreateProcess(const ObservedCall& call)
{
    if (ResultOf<&OsCallTable::CreateProcessW>(call)) {
        const PROCESS_INFORMATION* child = std::get<9>(ArgumentsOf<&OsCallTable::CreateProcessW>(call));
        Opened(child->hProcess, HandleKind::Process);
        Opened(child->hThread, HandleKind::Thread);
    }
}

void RecordLocalFree(const ObservedCall& call)
{
    const HLOCAL memory = std::get<0>(ArgumentsOf<&OsCallTable::LocalFree>(call));
    if (ResultOf<&OsCallTable::LocalFree>(call) == nullptr && memory != nullptr) {
        Closed(memory, {HandleKind::LocalMemory}, "LocalFree");
    }
}

// The text's pointer the call was given, which the call sets to null.
void RecordRpcStringFree(const ObservedCall& call)
{
    if (ResultOf<&OsCallTable::RpcStringFreeW>(call) == RPC_S_OK) {
        Closed(ledger.FreedText, {HandleKind::RpcString}, "RpcStringFreeW");
    }
}

using Recorder = void (*)(const ObservedCall&);

const std::map<OsCallId, Recorder>& Recorders()
{
    using T = OsCallTable;
    using K = HandleKind;
    static const std::map<OsCallId, Recorder> recorders = {
        {OsCallId::CreateFileW, &RecordCreateFile},
        {OsCallId::CreateProcessW, &RecordCreateProcess},
        {OsCallId::FindFirstFileW, &RecordOpen<&T::FindFirstFileW, K::Search>},
        {OsCallId::CreateToolhelp32Snapshot, &RecordOpen<&T::CreateToolhelp32Snapshot, K::Snapshot>},
        {OsCallId::OpenProcess, &RecordOpen<&T::OpenProcess, K::Process>},
        {OsCallId::OpenMutexW, &RecordOpen<&T::OpenMutexW, K::Mutex>},
        {OsCallId::CreateMutexExW, &RecordOpen<&T::CreateMutexExW, K::Mutex>},
        {OsCallId::OpenSCManagerW, &RecordOpen<&T::OpenSCManagerW, K::ServiceManager>},
        {OsCallId::OpenServiceW, &RecordOpen<&T::OpenServiceW, K::Service>},
        {OsCallId::OpenProcessToken, &RecordOpen<&T::OpenProcessToken, K::Token, 2>},
        {OsCallId::RegOpenKeyExW, &RecordOpen<&T::RegOpenKeyExW, K::RegistryKey, 4>},
        {OsCallId::RegCreateKeyExW, &RecordOpen<&T::RegCreateKeyExW, K::RegistryKey, 7>},
        {OsCallId::ConvertStringSecurityDescriptorToSecurityDescriptorW,
            &RecordOpen<&T::ConvertStringSecurityDescriptorToSecurityDescriptorW, K::LocalMemory, 2>},
        {OsCallId::ConvertStringSidToSidW, &RecordOpen<&T::ConvertStringSidToSidW, K::LocalMemory, 1>},
        // The descriptor a security query hands back is memory the caller frees.
        {OsCallId::GetSecurityInfo, &RecordOpen<&T::GetSecurityInfo, K::LocalMemory, 7>},
        {OsCallId::GetNamedSecurityInfoW, &RecordOpen<&T::GetNamedSecurityInfoW, K::LocalMemory, 7>},
        {OsCallId::UuidToStringW, &RecordOpen<&T::UuidToStringW, K::RpcString, 1>},
        {OsCallId::CloseHandle, &RecordClose<&T::CloseHandle, K::File, K::Folder, K::Snapshot, K::Process,
                                    K::Thread, K::Token, K::Mutex>},
        {OsCallId::FindClose, &RecordClose<&T::FindClose, K::Search>},
        {OsCallId::RegCloseKey, &RecordClose<&T::RegCloseKey, K::RegistryKey>},
        {OsCallId::CloseServiceHandle, &RecordClose<&T::CloseServiceHandle, K::ServiceManager, K::Service>},
        {OsCallId::LocalFree, &RecordLocalFree},
        {OsCallId::RpcStringFreeW, &RecordRpcStringFree},
    };
    return recorders;
}

// The real call that closes a handle of this kind.
void CloseForReal(const void* handle, HandleKind kind)
{
    const auto h = const_cast<void*>(handle);
    switch (kind) {
    case HandleKind::Search:
        RealOs.FindClose(h);
        break;
    case HandleKind::RegistryKey:
        RealOs.RegCloseKey(static_cast<HKEY>(h));
        break;
    case HandleKind::ServiceManager:
    case HandleKind::Service:
        RealOs.CloseServiceHandle(static_cast<SC_HANDLE>(h));
        break;
    case HandleKind::LocalMemory:
        RealOs.LocalFree(h);
        break;
    case HandleKind::RpcString: {
        auto text = static_cast<RPC_WSTR>(h);
        RealOs.RpcStringFreeW(&text);
        break;
    }
    default:
        RealOs.CloseHandle(h);
        break;
    }
}

}  // namespace

const char* HandleKindName(HandleKind kind)
{
    static const char* const names[] = {"File", "Folder", "Search", "RegistryKey", "ServiceManager", "Service",
        "Snapshot", "Process", "Thread", "Token", "Mutex", "LocalMemory", "RpcString"};
    return names[static_cast<int>(kind)];
}

HandleLedger::HandleLedger()
{
    ledger = Ledger{};
}

// RpcStringFreeW sets the pointer to the text it frees to null.
std::optional<DWORD> HandleLedger::Before(const ObservedCall& call)
{
    if (call.Id == OsCallId::RpcStringFreeW) {
        ledger.FreedText = *std::get<0>(ArgumentsOf<&OsCallTable::RpcStringFreeW>(call));
    }
    return std::nullopt;
}

void HandleLedger::After(const ObservedCall& call)
{
    const auto recorder = Recorders().find(call.Id);
    if (!call.Injected && recorder != Recorders().end()) {
        recorder->second(call);
    }
}

std::map<HandleKind, int> HandleLedger::OpenByKind() const
{
    std::map<HandleKind, int> counts;
    for (const auto& [handle, entry] : ledger.Open) {
        counts[entry.Kind] += entry.References;
    }
    return counts;
}

int HandleLedger::OpenCount() const
{
    int count = 0;
    for (const auto& [kind, open] : OpenByKind()) {
        count += open;
    }
    return count;
}

std::map<HandleKind, int> HandleLedger::OpenedByKind() const
{
    return ledger.Opened;
}

const std::vector<std::string>& HandleLedger::Mismatches() const
{
    return ledger.Mismatches;
}

void HandleLedger::CloseLeftovers()
{
    for (const auto& [handle, entry] : ledger.Open) {
        for (int i = 0; i < entry.References; ++i) {
            CloseForReal(handle, entry.Kind);
        }
    }
    ledger.Open.clear();
}

std::string DescribeHandles(const std::map<HandleKind, int>& counts)
{
    std::string text;
    for (const auto& [kind, count] : counts) {
        if (count != 0) {
            text += (text.empty() ? "" : ", ") + std::string(HandleKindName(kind)) + " " + std::to_string(count);
        }
    }
    return text.empty() ? "none" : text;
}
