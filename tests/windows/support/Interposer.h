#pragma once

#include "OsFailures.h"

#include <optional>
#include <tuple>

// One call the product made through the table, as every observer sees it.
struct ObservedCall {
    OsCallId Id;
    const char* Name;
    OsFailureKind Failure;
    // The product's return address, whatever observers are plugged in.
    void* Site;
    // The number of calls that can fail made before this one, plus one.
    int Number;
    // The call's arguments as a std::tuple, and its result once made (null
    // for none).
    const void* Arguments;
    const void* Result;
    // Failed by an observer: never made, its result a failure's.
    bool Injected;
};

// What a test plugs into the one layer over the call table while it lives:
// it sees each call the product makes before and after it is made, in the
// order observers were plugged in, and may fail it. Fakes beneath the layer
// make their own calls through RealOs, unobserved.
class CallObserver {
public:
    CallObserver();
    virtual ~CallObserver();
    CallObserver(const CallObserver&) = delete;
    CallObserver& operator=(const CallObserver&) = delete;

    // The error code to fail the call with, or none; the first observer
    // that names one fails it, and every observer sees it all the same.
    virtual std::optional<DWORD> Before(const ObservedCall&) { return std::nullopt; }
    virtual void After(const ObservedCall&) {}
};

// How many calls that can fail the product has made through the layer.
int CallsCounted();

template <typename Function>
struct Signature;

template <typename Result, typename... Arguments>
struct Signature<Result(WINAPI*)(Arguments...)> {
    using ResultType = Result;
    using ArgumentTuple = std::tuple<Arguments...>;
};

// A call's arguments and result as the entry's types: ArgumentsOf<&OsCallTable::CreateFileW>(call).
template <auto Entry>
const auto& ArgumentsOf(const ObservedCall& call)
{
    return *static_cast<const typename Signature<OsEntry<Entry>>::ArgumentTuple*>(call.Arguments);
}

template <auto Entry>
auto ResultOf(const ObservedCall& call)
{
    return *static_cast<const typename Signature<OsEntry<Entry>>::ResultType*>(call.Result);
}
