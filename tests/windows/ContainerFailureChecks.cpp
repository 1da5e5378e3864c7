// What the launcher's containers do when a request cannot be met, checked in
// a program linked as the launcher is. GoogleTest programs link the C++
// runtime's own versions of these answers, so this one is a plain program:
// CTest runs it once per check, named by its argument, and it exits with
// Passed when the check holds.
#include "settings/BufferAllocation.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

constexpr int Passed = 0;
constexpr int Failed = 1;
constexpr int UnknownCheck = 2;

// Sizes beyond what a container holds, asked of the containers themselves
// rather than through TryResize, which refuses them before asking.
int TooLargeIsAFailedAllocation()
{
    const bool bytesGrew = OrOnAllocationFailure(false, [] {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(bytes.max_size() + 1);
        return true;
    });
    const bool textGrew = OrOnAllocationFailure(false, [] {
        std::wstring text;
        text.reserve(text.max_size() + 1);
        return true;
    });
    const bool namesMade = OrOnAllocationFailure(false, [] {
        const std::vector<std::wstring> names(std::vector<std::wstring>().max_size() + 1);
        return true;
    });
    return bytesGrew || textGrew || namesMade ? Failed : Passed;
}

// A failed allocation while another is being handled is caught too: the
// launcher's exception storage (framework/ExceptionStorage.cpp) holds both.
int FailureWhileHandlingOneIsCaught()
{
    try {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(bytes.max_size() + 1);
    } catch (const std::bad_alloc&) {
        return OrOnAllocationFailure(Passed, [] {
            std::wstring text;
            text.reserve(text.max_size() + 1);
            return Failed;
        });
    }
    return Failed;
}

[[noreturn]] void EndAsPassed()
{
    std::_Exit(Passed);
}

// A defect must end the process through std::terminate even inside an
// allocation guard: one taken for a failed allocation would let a step go on
// with whatever the defect left behind.
template <typename Defect>
int EndsTheProcess(Defect defect)
{
    std::set_terminate(EndAsPassed);
    OrOnAllocationFailure(false, [&] { return defect() != 0; });
    return Failed;
}

int IndexPastTheEndEndsTheProcess()
{
    return EndsTheProcess([] { return std::wstring(L"ab").at(2); });
}

int SubstringPastTheEndEndsTheProcess()
{
    return EndsTheProcess([] { return std::wstring(L"ab").substr(3).size(); });
}

int TextFromNullEndsTheProcess()
{
    return EndsTheProcess([] {
        const wchar_t* volatile noText = nullptr;
        return std::wstring(noText).size();
    });
}

struct Check {
    const char* Name;
    int (*Run)();
};

constexpr Check Checks[] = {
    {"too_large_is_a_failed_allocation", TooLargeIsAFailedAllocation},
    {"failure_while_handling_one_is_caught", FailureWhileHandlingOneIsCaught},
    {"index_past_the_end_ends_the_process", IndexPastTheEndEndsTheProcess},
    {"substring_past_the_end_ends_the_process", SubstringPastTheEndEndsTheProcess},
    {"text_from_null_ends_the_process", TextFromNullEndsTheProcess},
};

}  // namespace

int main(int argc, char** argv)
{
    for (const Check& check : Checks) {
        if (argc == 2 && std::strcmp(argv[1], check.Name) == 0) {
            return check.Run();
        }
    }
    return UnknownCheck;
}
