#include "HandleLedger.h"

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

HANDLE WINAPI LedgerCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
    DWORD disposition, DWORD flags, HANDLE templateFile)
{
    const HANDLE file = ledger.Saved.CreateFileW(path, access, share, security, disposition, flags, templateFile);
    if (file != INVALID_HANDLE_VALUE) {
        Opened(file, (flags & FILE_FLAG_BACKUP_SEMANTICS) != 0 ? HandleKind::Folder : HandleKind::File);
    }
    return file;
}

HANDLE WINAPI LedgerFindFirstFile(LPCWSTR pattern, LPWIN32_FIND_DATAW entry)
{
    const HANDLE search = ledger.Saved.FindFirstFileW(pattern, entry);
    if (search != INVALID_HANDLE_VALUE) {
        Opened(search, HandleKind::Search);
    }
    return search;
}

HANDLE WINAPI LedgerSnapshot(DWORD flags, DWORD processId)
{
    const HANDLE snapshot = ledger.Saved.CreateToolhelp32Snapshot(flags, processId);
    if (snapshot != INVALID_HANDLE_VALUE) {
        Opened(snapshot, HandleKind::Snapshot);
    }
    return snapshot;
}

HANDLE WINAPI LedgerOpenProcess(DWORD access, BOOL inherit, DWORD processId)
{
    const HANDLE process = ledger.Saved.OpenProcess(access, inherit, processId);
    if (process != nullptr) {
        Opened(process, HandleKind::Process);
    }
    return process;
}

BOOL WINAPI LedgerCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags, LPVOID environment,
    LPCWSTR workingFolder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION child)
{
    const BOOL created = ledger.Saved.CreateProcessW(application, commandLine, processAttributes, threadAttributes,
        inheritHandles, flags, environment, workingFolder, startup, child);
    if (created) {
        Opened(child->hProcess, HandleKind::Process);
        Opened(child->hThread, HandleKind::Thread);
    }
    return created;
}

BOOL WINAPI LedgerOpenProcessToken(HANDLE process, DWORD access, PHANDLE token)
{
    const BOOL opened = ledger.Saved.OpenProcessToken(process, access, token);
    if (opened) {
        Opened(*token, HandleKind::Token);
    }
    return opened;
}

HANDLE WINAPI LedgerOpenMutex(DWORD access, BOOL inherit, LPCWSTR name)
{
    const HANDLE mutex = ledger.Saved.OpenMutexW(access, inherit, name);
    if (mutex != nullptr) {
        Opened(mutex, HandleKind::Mutex);
    }
    return mutex;
}

LSTATUS WINAPI LedgerRegOpenKey(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key)
{
    const LSTATUS status = ledger.Saved.RegOpenKeyExW(root, path, options, access, key);
    if (status == ERROR_SUCCESS) {
        Opened(*key, HandleKind::RegistryKey);
    }
    return status;
}

LSTATUS WINAPI LedgerRegCreateKey(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR keyClass, DWORD options,
    REGSAM access, const LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition)
{
    const LSTATUS status =
        ledger.Saved.RegCreateKeyExW(root, path, reserved, keyClass, options, access, security, key, disposition);
    if (status == ERROR_SUCCESS) {
        Opened(*key, HandleKind::RegistryKey);
    }
    return status;
}

SC_HANDLE WINAPI LedgerOpenManager(LPCWSTR machine, LPCWSTR database, DWORD access)
{
    const SC_HANDLE manager = ledger.Saved.OpenSCManagerW(machine, database, access);
    if (manager != nullptr) {
        Opened(manager, HandleKind::ServiceManager);
    }
    return manager;
}

SC_HANDLE WINAPI LedgerOpenService(SC_HANDLE manager, LPCWSTR name, DWORD access)
{
    const SC_HANDLE service = ledger.Saved.OpenServiceW(manager, name, access);
    if (service != nullptr) {
        Opened(service, HandleKind::Service);
    }
    return service;
}

BOOL WINAPI LedgerParseDescriptor(LPCWSTR text, DWORD revision, PSECURITY_DESCRIPTOR* descriptor, PULONG size)
{
    const BOOL parsed =
        ledger.Saved.ConvertStringSecurityDescriptorToSecurityDescriptorW(text, revision, descriptor, size);
    if (parsed) {
        Opened(*descriptor, HandleKind::LocalMemory);
    }
    return parsed;
}

BOOL WINAPI LedgerParseSid(LPCWSTR text, PSID* sid)
{
    const BOOL parsed = ledger.Saved.ConvertStringSidToSidW(text, sid);
    if (parsed) {
        Opened(*sid, HandleKind::LocalMemory);
    }
    return parsed;
}

// The descriptor a security query hands back is memory the caller frees.
DWORD QueriedDescriptor(DWORD status, PSECURITY_DESCRIPTOR* descriptor)
{
    if (status == ERROR_SUCCESS && descriptor != nullptr) {
        Opened(*descriptor, HandleKind::LocalMemory);
    }
    return status;
}

DWORD WINAPI LedgerGetSecurityInfo(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION information,
    PSID* owner, PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor)
{
    return QueriedDescriptor(
        ledger.Saved.GetSecurityInfo(object, type, information, owner, group, dacl, sacl, descriptor), descriptor);
}

DWORD WINAPI LedgerGetNamedSecurityInfo(LPCWSTR name, SE_OBJECT_TYPE type, SECURITY_INFORMATION information,
    PSID* owner, PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor)
{
    return QueriedDescriptor(
        ledger.Saved.GetNamedSecurityInfoW(name, type, information, owner, group, dacl, sacl, descriptor), descriptor);
}

RPC_STATUS RPC_ENTRY LedgerUuidToString(UUID* uuid, RPC_WSTR* text)
{
    const RPC_STATUS status = ledger.Saved.UuidToStringW(uuid, text);
    if (status == RPC_S_OK) {
        Opened(*text, HandleKind::RpcString);
    }
    return status;
}

BOOL WINAPI LedgerCloseHandle(HANDLE handle)
{
    const BOOL closed = ledger.Saved.CloseHandle(handle);
    if (closed) {
        Closed(handle,
            {HandleKind::File, HandleKind::Folder, HandleKind::Snapshot, HandleKind::Process, HandleKind::Thread,
                HandleKind::Token, HandleKind::Mutex},
            "CloseHandle");
    }
    return closed;
}

BOOL WINAPI LedgerFindClose(HANDLE search)
{
    const BOOL closed = ledger.Saved.FindClose(search);
    if (closed) {
        Closed(search, {HandleKind::Search}, "FindClose");
    }
    return closed;
}

LSTATUS WINAPI LedgerRegCloseKey(HKEY key)
{
    const LSTATUS status = ledger.Saved.RegCloseKey(key);
    if (status == ERROR_SUCCESS) {
        Closed(key, {HandleKind::RegistryKey}, "RegCloseKey");
    }
    return status;
}

BOOL WINAPI LedgerCloseServiceHandle(SC_HANDLE handle)
{
    const BOOL closed = ledger.Saved.CloseServiceHandle(handle);
    if (closed) {
        Closed(handle, {HandleKind::ServiceManager, HandleKind::Service}, "CloseServiceHandle");
    }
    return closed;
}

HLOCAL WINAPI LedgerLocalFree(HLOCAL memory)
{
    const HLOCAL kept = ledger.Saved.LocalFree(memory);
    if (kept == nullptr && memory != nullptr) {
        Closed(memory, {HandleKind::LocalMemory}, "LocalFree");
    }
    return kept;
}

RPC_STATUS RPC_ENTRY LedgerRpcStringFree(RPC_WSTR* text)
{
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
    Os.FindFirstFileW = &LedgerFindFirstFile;
    Os.CreateToolhelp32Snapshot = &LedgerSnapshot;
    Os.OpenProcess = &LedgerOpenProcess;
    Os.CreateProcessW = &LedgerCreateProcess;
    Os.OpenProcessToken = &LedgerOpenProcessToken;
    Os.OpenMutexW = &LedgerOpenMutex;
    Os.RegOpenKeyExW = &LedgerRegOpenKey;
    Os.RegCreateKeyExW = &LedgerRegCreateKey;
    Os.OpenSCManagerW = &LedgerOpenManager;
    Os.OpenServiceW = &LedgerOpenService;
    Os.ConvertStringSecurityDescriptorToSecurityDescriptorW = &LedgerParseDescriptor;
    Os.ConvertStringSidToSidW = &LedgerParseSid;
    Os.GetSecurityInfo = &LedgerGetSecurityInfo;
    Os.GetNamedSecurityInfoW = &LedgerGetNamedSecurityInfo;
    Os.UuidToStringW = &LedgerUuidToString;
    Os.CloseHandle = &LedgerCloseHandle;
    Os.FindClose = &LedgerFindClose;
    Os.RegCloseKey = &LedgerRegCloseKey;
    Os.CloseServiceHandle = &LedgerCloseServiceHandle;
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
