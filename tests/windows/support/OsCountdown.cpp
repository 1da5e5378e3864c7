#include "OsCountdown.h"

#include "OsFailures.h"

#include <cstring>
#include <utility>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

struct Countdown {
    OsCallTable Saved;
    std::vector<FailurePoint> Failures;
    int Calls = 0;
    DWORD Error = 0;
    std::vector<int> Failed;
    std::string FirstFailed;
    OsFailureKind FailedKind = OsFailureKind::Never;
    std::set<std::string> Reached;
    std::set<std::string> FailingFromThenOn;
    std::vector<CallSite> Sites;
    void* NextCaller = nullptr;
};
Countdown countdown;

// The start of the program's code section, which a source-line lookup
// counts offsets from.
std::uintptr_t CodeStart()
{
    const auto base = reinterpret_cast<std::uintptr_t>(&__ImageBase);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + __ImageBase.e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
    for (WORD index = 0; index < headers->FileHeader.NumberOfSections; ++index, ++section) {
        if (std::strncmp(reinterpret_cast<const char*>(section->Name), ".text", IMAGE_SIZEOF_SHORT_NAME) == 0) {
            return base + section->VirtualAddress;
        }
    }
    return base;
}

bool FailsNow(int call, const char* name)
{
    for (const FailurePoint& failure : countdown.Failures) {
        if (failure.Call == call) {
            if (failure.Span == FailureSpan::FromThenOn) {
                countdown.FailingFromThenOn.insert(name);
            }
            return true;
        }
    }
    return countdown.FailingFromThenOn.count(name) != 0;
}

template <auto Entry, typename Function>
struct CountedCall;

template <auto Entry, typename Result, typename... Arguments>
struct CountedCall<Entry, Result(WINAPI*)(Arguments...)> {
    static Result WINAPI Call(Arguments... arguments)
    {
        static const std::uintptr_t codeStart = CodeStart();
        void* caller = std::exchange(countdown.NextCaller, nullptr);
        if (caller == nullptr) {
            caller = __builtin_return_address(0);
        }
        const char* name = OsCallTraits<Entry>::Name;
        countdown.Sites.push_back({reinterpret_cast<std::uintptr_t>(caller) - codeStart, name});
        countdown.Reached.insert(name);
        if (FailsNow(++countdown.Calls, name)) {
            countdown.Failed.push_back(countdown.Calls);
            if (countdown.Failed.size() == 1) {
                countdown.FirstFailed = name;
                countdown.FailedKind = OsCallTraits<Entry>::Failure;
            }
            return FailureResult<Result>(OsCallTraits<Entry>::Failure, countdown.Error);
        }
        return (countdown.Saved.*Entry)(arguments...);
    }
};

template <auto Entry>
void Count()
{
    if constexpr (OsCallTraits<Entry>::Failure != OsFailureKind::Never) {
        using Function = std::remove_reference_t<decltype(Os.*Entry)>;
        Os.*Entry = &CountedCall<Entry, Function>::Call;
    }
}

}  // namespace

OsCountdown::OsCountdown(int failAt, DWORD error)
    : OsCountdown(failAt == 0 ? std::vector<FailurePoint>{} : std::vector<FailurePoint>{{failAt, FailureSpan::Once}},
          error)
{
}

OsCountdown::OsCountdown(const std::vector<FailurePoint>& failures, DWORD error)
{
    countdown = Countdown{};
    countdown.Saved = Os;
    countdown.Failures = failures;
    countdown.Error = error;
#define OS_CALL(name, failure) Count<&OsCallTable::name>();
#include "platform/OsCallList.h"
#include "platform/LookedUpCallList.h"
#undef OS_CALL
}

OsCountdown::~OsCountdown()
{
    Os = countdown.Saved;
}

int OsCountdown::Calls() const
{
    return countdown.Calls;
}

const std::string& OsCountdown::FailedCall() const
{
    return countdown.FirstFailed;
}

OsFailureKind OsCountdown::FailedKind() const
{
    return countdown.FailedKind;
}

const std::vector<int>& OsCountdown::FailedCallNumbers() const
{
    return countdown.Failed;
}

const std::set<std::string>& OsCountdown::Reached() const
{
    return countdown.Reached;
}

const std::vector<CallSite>& OsCountdown::Sites() const
{
    return countdown.Sites;
}

void OsCountdown::NextCallFrom(void* returnAddress)
{
    countdown.NextCaller = returnAddress;
}

std::set<std::string> CountedCallNames()
{
    std::set<std::string> names;
#define OS_CALL(name, failure)                                    \
    if (OsFailureKind::failure != OsFailureKind::Never) {         \
        names.insert(#name);                                      \
    }
#include "platform/OsCallList.h"
#include "platform/LookedUpCallList.h"
#undef OS_CALL
    return names;
}
