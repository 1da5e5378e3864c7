#include "OsCountdown.h"

#include <cstring>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

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

}  // namespace

OsCountdown::OsCountdown(const std::vector<FailurePoint>& failures) : start_(CallsCounted()), failures_(failures)
{
}

bool OsCountdown::FailsNow(int number, const char* name)
{
    for (const FailurePoint& failure : failures_) {
        if (failure.Call == number) {
            if (failure.Span == FailureSpan::FromThenOn) {
                failingFromThenOn_.insert(name);
            }
            return true;
        }
    }
    return failingFromThenOn_.count(name) != 0;
}

std::optional<DWORD> OsCountdown::Before(const ObservedCall& call)
{
    if (call.Failure == OsFailureKind::Never) {
        return std::nullopt;
    }
    static const std::uintptr_t codeStart = CodeStart();
    counted_.Count = NumberOf(call);
    counted_.Sites.push_back({reinterpret_cast<std::uintptr_t>(call.Site) - codeStart, call.Name});
    counted_.Reached.insert(call.Name);
    if (!FailsNow(counted_.Count, call.Name)) {
        return std::nullopt;
    }
    counted_.Failed.push_back(counted_.Count);
    const DWORD error = InjectedFailureCode(counted_.Count);
    if (counted_.Failed.size() == 1) {
        counted_.FirstFailed = call.Name;
        counted_.FailedKind = call.Failure;
        counted_.FirstFailedCode = error;
    }
    return error;
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
