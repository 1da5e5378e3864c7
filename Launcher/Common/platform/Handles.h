#pragma once

#include "OsCalls.h"

#include <winsvc.h>

// A move-only owner of one operating-system handle that closes it through the
// call table. Closing from the destructor keeps the last-error value, so that a
// caller can still read the code of the failure that made it return.
template <typename Kind>
class UniqueHandle {
public:
    using Handle = typename Kind::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : value_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            CloseKeepingLastError();
            value_ = other.Release();
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { CloseKeepingLastError(); }

    Handle Get() const { return value_; }
    bool IsValid() const { return value_ != Kind::Invalid(); }

    // Closes what is held and returns where a call that hands a handle back
    // through an out-parameter writes it, so that the handle is owned from
    // the moment it exists. A failed call leaves the owner empty, as long as
    // it writes nothing there or the invalid value.
    Handle* Put()
    {
        CloseKeepingLastError();
        return &value_;
    }

    // Closes now and reports whether the close call succeeded; the last-error
    // value is the close call's. Closing an empty owner succeeds.
    bool Close()
    {
        if (!IsValid()) {
            return true;
        }
        return Kind::Close(Release());
    }

    Handle Release()
    {
        const Handle handle = value_;
        value_ = Kind::Invalid();
        return handle;
    }

private:
    void CloseKeepingLastError()
    {
        if (IsValid()) {
            const DWORD lastError = Os.GetLastError();
            Kind::Close(Release());
            Os.SetLastError(lastError);
        }
    }

    Handle value_ = Kind::Invalid();
};

struct FileHandleKind {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle handle) { return Os.CloseHandle(handle) != FALSE; }
};

// Process, thread and mutex handles are null when absent.
struct ProcessHandleKind {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle handle) { return Os.CloseHandle(handle) != FALSE; }
};

// Memory the system allocated for a result (a parsed descriptor, a SID, a
// queried descriptor), handed back with LocalFree.
struct LocalMemoryKind {
    using Handle = HLOCAL;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle memory) { return Os.LocalFree(memory) == nullptr; }
};

// Text the RPC runtime formatted, such as UuidToStringW's.
struct RpcStringKind {
    using Handle = RPC_WSTR;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle text) { return Os.RpcStringFreeW(&text) == RPC_S_OK; }
};

// An environment block that CreateEnvironmentBlock made, handed back with
// DestroyEnvironmentBlock while userenv.dll is still loaded.
struct EnvironmentBlockKind {
    using Handle = LPVOID;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle block) { return Os.DestroyEnvironmentBlock(block) != FALSE; }
};

struct FindHandleKind {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle handle) { return Os.FindClose(handle) != FALSE; }
};

// A mutex this thread owns: let go before its handle is closed, so that the
// next owner finds it released rather than abandoned.
struct HeldMutexKind {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle handle)
    {
        Os.ReleaseMutex(handle);
        return Os.CloseHandle(handle) != FALSE;
    }
};

struct RegistryKeyHandleKind {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle handle) { return Os.RegCloseKey(handle) == ERROR_SUCCESS; }
};

struct ServiceHandleKind {
    using Handle = SC_HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle handle) { return Os.CloseServiceHandle(handle) != FALSE; }
};

// A module the launcher loads itself, such as msi.dll or userenv.dll.
struct ModuleHandleKind {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle module) { return Os.FreeLibrary(module) != FALSE; }
};

using FileHandle = UniqueHandle<FileHandleKind>;
using ProcessHandle = UniqueHandle<ProcessHandleKind>;
using ThreadHandle = UniqueHandle<ProcessHandleKind>;
using TokenHandle = UniqueHandle<ProcessHandleKind>;
using MutexHandle = UniqueHandle<ProcessHandleKind>;
using HeldMutex = UniqueHandle<HeldMutexKind>;
using LocalMemory = UniqueHandle<LocalMemoryKind>;
using RpcString = UniqueHandle<RpcStringKind>;
using EnvironmentBlock = UniqueHandle<EnvironmentBlockKind>;
// A toolhelp snapshot is invalid as INVALID_HANDLE_VALUE, like a file.
using SnapshotHandle = UniqueHandle<FileHandleKind>;
using FindHandle = UniqueHandle<FindHandleKind>;
using RegistryKeyHandle = UniqueHandle<RegistryKeyHandleKind>;
using ServiceHandle = UniqueHandle<ServiceHandleKind>;
using ModuleHandle = UniqueHandle<ModuleHandleKind>;

// The process and first-thread handles that CreateProcessW hands back in one
// record. Both are closed through the table, the thread first, keeping the
// last-error value, as their own owners would close them.
class ChildProcessHandles {
public:
    ChildProcessHandles() = default;
    ChildProcessHandles(const ChildProcessHandles&) = delete;
    ChildProcessHandles& operator=(const ChildProcessHandles&) = delete;
    ~ChildProcessHandles() { CloseBoth(); }

    // Closes what is held and returns the record CreateProcessW fills.
    PROCESS_INFORMATION* Put()
    {
        CloseBoth();
        return &child_;
    }

    HANDLE Process() const { return child_.hProcess; }

private:
    void CloseBoth()
    {
        const ProcessHandle process(child_.hProcess);
        const ThreadHandle thread(child_.hThread);
        child_ = {};
    }

    PROCESS_INFORMATION child_{};
};
