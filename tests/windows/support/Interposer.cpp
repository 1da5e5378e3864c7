#include "Interposer.h"

#include <algorithm>
#include <array>

namespace {

struct Layer {
    bool Installed = false;
    OsCallTable Beneath;
    int Counted = 0;
    // Plugging in allocates nothing, so an observer may come while
    // allocations are counted.
    std::array<CallObserver*, 8> Observers{};
    std::size_t Plugged = 0;
};
Layer layer;

std::optional<DWORD> Before(const ObservedCall& call)
{
    std::optional<DWORD> failure;
    for (std::size_t index = 0; index < layer.Plugged; ++index) {
        const std::optional<DWORD> asked = layer.Observers[index]->Before(call);
        failure = failure ? failure : asked;
    }
    return failure;
}

void After(const ObservedCall& call)
{
    // An observer's own work leaves the call's error code as the call did.
    const DWORD error = RealOs.GetLastError();
    for (std::size_t index = 0; index < layer.Plugged; ++index) {
        layer.Observers[index]->After(call);
    }
    RealOs.SetLastError(error);
}

template <auto Entry, typename Function>
struct Interposed;

template <auto Entry, typename Result, typename... Arguments>
struct Interposed<Entry, Result(WINAPI*)(Arguments...)> {
    static Result WINAPI Call(Arguments... arguments)
    {
        const InterposedCall inside(__builtin_return_address(0));
        if (layer.Plugged == 0) {
            return (layer.Beneath.*Entry)(arguments...);
        }
        constexpr OsFailureKind kind = OsCallTraits<Entry>::Failure;
        const std::tuple<Arguments...> passed(arguments...);
        const int number = layer.Counted + 1;
        layer.Counted += kind != OsFailureKind::Never ? 1 : 0;
        ObservedCall call{OsCallTraits<Entry>::Id, OsCallTraits<Entry>::Name, kind, InterposedCall::ProductCaller(),
            number, &passed, nullptr, false};
        const std::optional<DWORD> failure = Before(call);
        call.Injected = failure.has_value();
        if constexpr (std::is_void_v<Result>) {
            if (!call.Injected) {
                (layer.Beneath.*Entry)(arguments...);
            }
            After(call);
            if (call.Injected) {
                RealOs.SetLastError(*failure);
            }
        } else {
            const Result result =
                call.Injected ? FailureResult<Result>(kind, *failure) : (layer.Beneath.*Entry)(arguments...);
            call.Result = &result;
            After(call);
            return result;
        }
    }
};

void Install()
{
    if (layer.Installed) {
        return;
    }
    layer.Installed = true;
    layer.Beneath = Os;
#define OS_CALL(name, failure) Os.name = &Interposed<&OsCallTable::name, OsEntry<&OsCallTable::name>>::Call;
#include "platform/OsCallList.h"
#include "platform/LookedUpCallList.h"
#undef OS_CALL
}

}  // namespace

CallObserver::CallObserver()
{
    Install();
    layer.Observers.at(layer.Plugged++) = this;
}

CallObserver::~CallObserver()
{
    const auto end = layer.Observers.begin() + layer.Plugged;
    std::copy(std::find(layer.Observers.begin(), end, this) + 1, end, std::find(layer.Observers.begin(), end, this));
    --layer.Plugged;
}

OsCallTable& Beneath()
{
    Install();
    return layer.Beneath;
}

int CallsCounted()
{
    return layer.Counted;
}
