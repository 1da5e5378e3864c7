#pragma once

#include "OsOverride.h"

#include <cstdint>
#include <type_traits>

// One call into the table, entered by the layer over it: the outermost
// call's return address is in the product, also for the calls a looked-up
// entry makes while serving it.
class InterposedCall {
public:
    explicit InterposedCall(void* returnAddress)
    {
        if (depth++ == 0) {
            caller = returnAddress;
        }
    }
    ~InterposedCall() { --depth; }
    InterposedCall(const InterposedCall&) = delete;
    InterposedCall& operator=(const InterposedCall&) = delete;

    // Where the product made the call under way.
    static void* ProductCaller() { return caller; }
    // Whether a call is being served: what happens inside is not the product's.
    static bool Inside() { return depth != 0; }

private:
    // The launcher makes its calls from one thread.
    static inline int depth = 0;
    static inline void* caller = nullptr;
};

// The error code a sweep fails call number `call` with: the customer bit
// keeps it apart from every code Windows has, and the number from every other
// failed call's, so a result tells which call it came from.
inline DWORD InjectedFailureCode(int call)
{
    return 0x20000000u | static_cast<DWORD>(call);
}

// How each call of the table reports failure, from the same list the table is
// made of.
enum class OsFailureKind { Zero, InvalidHandle, ErrorCode, Hresult, WaitFailed, Ntstatus, Never };

// Every entry of the table by name, for observers that tell calls apart.
enum class OsCallId {
#define OS_CALL(name, failure) name,
#include "platform/OsCallList.h"
#include "platform/LookedUpCallList.h"
#undef OS_CALL
};

template <auto Entry>
struct OsCallTraits;

#define OS_CALL(name, failure)                                              \
    template <>                                                             \
    struct OsCallTraits<&OsCallTable::name> {                               \
        static constexpr OsCallId Id = OsCallId::name;                      \
        static constexpr OsFailureKind Failure = OsFailureKind::failure;    \
        static constexpr const char* Name = #name;                          \
    };
#include "platform/OsCallList.h"
#include "platform/LookedUpCallList.h"
#undef OS_CALL

// The result a failing call of this kind returns, after leaving the error code
// where a real failure would.
template <typename Result>
Result FailureResult(OsFailureKind kind, DWORD error)
{
    if constexpr (std::is_pointer_v<Result>) {
        RealOs.SetLastError(error);
        return kind == OsFailureKind::InvalidHandle ? reinterpret_cast<Result>(INVALID_HANDLE_VALUE) : nullptr;
    } else if constexpr (std::is_void_v<Result>) {
        RealOs.SetLastError(error);
    } else {
        switch (kind) {
        case OsFailureKind::ErrorCode:
            return static_cast<Result>(error);
        case OsFailureKind::Hresult:
            return static_cast<Result>(HRESULT_FROM_WIN32(error));
        case OsFailureKind::WaitFailed:
            RealOs.SetLastError(error);
            return static_cast<Result>(WAIT_FAILED);
        case OsFailureKind::Ntstatus:
            return static_cast<Result>(0xC0000022);  // STATUS_ACCESS_DENIED
        default:
            RealOs.SetLastError(error);
            return Result{};
        }
    }
}

// Whether a call of this entry that returned result succeeded, by how the
// entry reports failure.
template <auto Entry, typename Result>
bool Succeeded(Result result)
{
    if constexpr (OsCallTraits<Entry>::Failure == OsFailureKind::InvalidHandle) {
        return result != INVALID_HANDLE_VALUE;
    } else if constexpr (OsCallTraits<Entry>::Failure == OsFailureKind::ErrorCode) {
        return result == 0;
    } else {
        return result != Result{};
    }
}
