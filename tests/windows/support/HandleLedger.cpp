#include "HandleLedger.h"

#include "OsFailures.h"

#include <tuple>

namespace {

struct OpenHandle {
    HandleKind Kind;
    // The same handle given out twice counts twice.
    int References;
};

struct Ledger {
    OsCallTable Saved;
    std::map<const void*, OpenHandle> Open;
    std::map<HandleKind, int> Opened;
    std::vector<std::string> Mismatches;
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

// An open that hands back one handle of this kind: as its result, or
// through the pointer argument at this position, which may be null.
template <auto Entry, HandleKind Kind, int Out, typename Function = OsEntry<Entry>>
struct LedgerOpen;

template <auto Entry, HandleKind Kind, int Out, typename Result, typename... Arguments>
struct LedgerOpen<Entry, Kind, Out, Result(WINAPI*)(Arguments...)> {
    static Result WINAPI Call(Arguments... arguments)
    {
    const InterposedCall call(__builtin_return_address(0));
        const Result result = (ledger.Saved.*Entry)(arguments...);
        if (!Succeeded<Entry>(result)) {
            return result;
        }
        if constexpr (Out < 0) {
            Opened(result, Kind);
        } else if (const auto handle = std::get<Out>(std::tie(arguments...)); handle != nullptr) {
            Opened(*handle, Kind);
        }
        return result;
    }
};

// A close of the handle that is its first argument, which must be of one of
// these kinds.
template <auto Entry, typename Function, HandleKind... Kinds>
struct LedgerClose;

template <auto Entry, typename Result, typename Handle, HandleKind... Kinds>
struct LedgerClose<Entry, Result(WINAPI*)(Handle), Kinds...> {
    static Result WINAPI Call(Handle handle)
    {
    const InterposedCall call(__builtin_return_address(0));
        const Result result = (ledger.Saved.*Entry)(handle);
        if (Succeeded<Entry>(result)) {
            Closed(handle, {Kinds...}, OsCallTraits<Entry>::Name);
        }
        return result;
    }
};

template <auto Entry, HandleKind Kind, int Out = -1>
void RecordOpens()
{
    Os.*Entry = &LedgerOpen<Entry, Kind, Out>::Call;
}

template <auto Entry, HandleKind... Kinds>
void RecordCloses()
{
    Os.*Entry = &LedgerClose<Entry, OsEntry<Entry>, Kinds...>::Call;
}

// A file opened as a folder is a folder.
HANDLE WINAPI LedgerCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
    DWORD disposition, DWORD flags, HANDLE templateFile)
{
    const InterposedCall call(__builtin_return_address(0));
    const HANDLE file = ledger.Saved.CreateFileW(path, access, share, security, disposition, flags, templateFile);
    if (file != INVALID_HANDLE_VALUE) {
        Opened(file, (flags & FILE_FLAG_BACKUP_SEMANTICS) != 0 ? HandleKind::Folder : HandleKind::File);
    }
    return file;
}

BOOL WINAPI LedgerCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags, LPVOID environment,
    LPCWSTR workingFolder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION child)
{
    const InterposedCall call(__builtin_return_address(0));
    const BOOL created = ledger.Saved.CreateProcessW(application, commandLine, processAttributes, threadAttributes,
        inheritHandles, flags, environment, workingFolder, startup, child);
    if (created) {
        Opened(child->hProcess, HandleKind::Process);
        Opened(child->hThread, HandleKind::Thread);
    }
    return created;
}

HLOCAL WINAPI LedgerLocalFree(HLOCAL memory)
{
    const InterposedCall call(__builtin_return_address(0));
    const HLOCAL kept = ledger.Saved.LocalFree(memory);
    if (kept == nullptr && memory != nullptr) {
        Closed(memory, {HandleKind::LocalMemory}, "LocalFree");
    }
    return kept;
}

RPC_STATUS RPC_ENTRY LedgerRpcStringFree(RPC_WSTR* text)
{
    const InterposedCall call(__builtin_return_address(0));
    const RPC_WSTR freed = *text;
    const RPC_STATUS status = ledger.Saved.RpcStringFreeW(text);
    if (status == RPC_S_OK) {
        Closed(freed, {HandleKind::RpcString}, "RpcStringFreeW");
    }
    return status;
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
    ledger = Ledger{Os, {}, {}, {}};
    Os.CreateFileW = &LedgerCreateFile;
    Os.CreateProcessW = &LedgerCreateProcess;
    RecordOpens<&OsCallTable::FindFirstFileW, HandleKind::Search>();
    RecordOpens<&OsCallTable::CreateToolhelp32Snapshot, HandleKind::Snapshot>();
    RecordOpens<&OsCallTable::OpenProcess, HandleKind::Process>();
    RecordOpens<&OsCallTable::OpenMutexW, HandleKind::Mutex>();
    RecordOpens<&OsCallTable::CreateMutexExW, HandleKind::Mutex>();
    RecordOpens<&OsCallTable::OpenSCManagerW, HandleKind::ServiceManager>();
    RecordOpens<&OsCallTable::OpenServiceW, HandleKind::Service>();
    RecordOpens<&OsCallTable::OpenProcessToken, HandleKind::Token, 2>();
    RecordOpens<&OsCallTable::RegOpenKeyExW, HandleKind::RegistryKey, 4>();
    RecordOpens<&OsCallTable::RegCreateKeyExW, HandleKind::RegistryKey, 7>();
    RecordOpens<&OsCallTable::ConvertStringSecurityDescriptorToSecurityDescriptorW, HandleKind::LocalMemory, 2>();
    RecordOpens<&OsCallTable::ConvertStringSidToSidW, HandleKind::LocalMemory, 1>();
    // The descriptor a security query hands back is memory the caller frees.
    RecordOpens<&OsCallTable::GetSecurityInfo, HandleKind::LocalMemory, 7>();
    RecordOpens<&OsCallTable::GetNamedSecurityInfoW, HandleKind::LocalMemory, 7>();
    RecordOpens<&OsCallTable::UuidToStringW, HandleKind::RpcString, 1>();
    RecordCloses<&OsCallTable::CloseHandle, HandleKind::File, HandleKind::Folder, HandleKind::Snapshot,
        HandleKind::Process, HandleKind::Thread, HandleKind::Token, HandleKind::Mutex>();
    RecordCloses<&OsCallTable::FindClose, HandleKind::Search>();
    RecordCloses<&OsCallTable::RegCloseKey, HandleKind::RegistryKey>();
    RecordCloses<&OsCallTable::CloseServiceHandle, HandleKind::ServiceManager, HandleKind::Service>();
    Os.LocalFree = &LedgerLocalFree;
    Os.RpcStringFreeW = &LedgerRpcStringFree;
}

HandleLedger::~HandleLedger()
{
    Os = ledger.Saved;
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
