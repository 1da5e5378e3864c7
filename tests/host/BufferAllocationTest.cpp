// Sizes that come from the registry may be beyond what a container can hold:
// in a 32-bit process a request below 4 GiB already is. The C++ runtime the
// tests link throws std::length_error for it, which TryResize must never let
// out: it refuses such a size before asking the container.
#include "settings/BufferAllocation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace {

TEST(TryResize, FailsBeyondWhatTheContainerHoldsAndKeepsTheContent)
{
    std::vector<std::uint8_t> bytes(3, 7);
    EXPECT_FALSE(TryResize(bytes, bytes.max_size() + 1));
    EXPECT_EQ(std::vector<std::uint8_t>(3, 7), bytes);
    std::wstring text = L"ab";
    EXPECT_FALSE(TryResize(text, text.max_size() + 1));
    EXPECT_EQ(L"ab", text);
    EXPECT_TRUE(TryResize(bytes, 5));
    EXPECT_EQ(5u, bytes.size());
}

TEST(OrOnAllocationFailure, GivesTheFailedResultWhenMemoryRunsOut)
{
    EXPECT_EQ(-1, OrOnAllocationFailure(-1, []() -> int { throw std::bad_alloc(); }));
    EXPECT_EQ(-1, OrOnAllocationFailure(-1, []() -> int { throw std::bad_array_new_length(); }));
    EXPECT_EQ(7, OrOnAllocationFailure(-1, [] { return 7; }));
}

TEST(OrOnAllocationFailure, LetsEveryOtherFailureThrough)
{
    EXPECT_THROW(OrOnAllocationFailure(-1, []() -> int { throw 5; }), int);
}

}  // namespace
