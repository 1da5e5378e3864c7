#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How much a support log line matters: information, a warning, an error.
enum class LogLevel { Information, Warning, Error };

// The local time a line was written, to the millisecond.
struct LogTime {
    std::uint16_t Year;
    std::uint16_t Month;
    std::uint16_t Day;
    std::uint16_t Hour;
    std::uint16_t Minute;
    std::uint16_t Second;
    std::uint16_t Milliseconds;
};

// One support log line, UTF-8, ended by CR LF:
// "YYYY-MM-DD hh:mm:ss.mmm [pid:tid] I|W|E message". A line break inside the
// message is written as a blank, so that one line is always one entry.
std::string FormatLogLine(
    const LogTime& time, std::uint32_t processId, std::uint32_t threadId, LogLevel level, std::wstring_view message);

// The decimal digits of value, with a minus sign when negative and padded
// with zeros to width. Written by hand: the C++ runtime's conversions draw its
// own formatter, some 25 KB, into the launcher.
std::wstring Decimal(std::int64_t value, int width = 1);

// dividend / divisor, and its remainder, by long division in 16-bit digits:
// 64-bit division would draw the runtime's own, some 750 bytes, into the
// 32-bit launcher.
std::uint64_t DivideByShort(std::uint64_t dividend, std::uint16_t divisor, std::uint32_t& remainder);

// The UTF-8 form of UTF-16 text; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);
