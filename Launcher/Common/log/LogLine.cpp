#include "LogLine.h"

namespace {

void AppendUtf8(std::string& out, std::uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool IsHighSurrogate(std::uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(std::uint32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Digits by hand: the C++ runtime's formatter would add some 25 KB to the
// launcher for a few numbers.
void AppendNumber(std::string& out, std::uint32_t value, int width)
{
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = count; pad < width; ++pad) {
        out += '0';
    }
    while (count > 0) {
        out += digits[--count];
    }
}

char LevelLetter(LogLevel level)
{
    switch (level) {
    case LogLevel::Warning:
        return 'W';
    case LogLevel::Error:
        return 'E';
    case LogLevel::Information:
        break;
    }
    return 'I';
}

}  // namespace

std::uint64_t DivideByShort(std::uint64_t dividend, std::uint16_t divisor, std::uint32_t& remainder)
{
    std::uint64_t quotient = 0;
    remainder = 0;
    for (int shift = 48; shift >= 0; shift -= 16) {
        const std::uint32_t part = (remainder << 16) | static_cast<std::uint32_t>((dividend >> shift) & 0xFFFF);
        quotient |= static_cast<std::uint64_t>(part / divisor) << shift;
        remainder = part % divisor;
    }
    return quotient;
}

std::wstring Decimal(std::int64_t value, int width)
{
    const bool negative = value < 0;
    auto magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::wstring digits;
    do {
        std::uint32_t digit = 0;
        magnitude = DivideByShort(magnitude, 10, digit);
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + digit));
    } while (magnitude != 0);
    if (digits.size() < static_cast<std::size_t>(width)) {
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), L'0');
    }
    return negative ? L"-" + digits : digits;
}

std::string ToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<std::uint32_t>(text[i]) & 0xFFFF;
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1] & 0xFFFF)) {
            const auto low = static_cast<std::uint32_t>(text[++i]) & 0xFFFF;
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else {
            AppendUtf8(out, IsHighSurrogate(unit) || IsLowSurrogate(unit) ? 0xFFFD : unit);
        }
    }
    return out;
}

std::string FormatLogLine(
    const LogTime& time, std::uint32_t processId, std::uint32_t threadId, LogLevel level, std::wstring_view message)
{
    struct Field {
        std::uint32_t Value;
        int Width;
        const char* After;
    };
    const Field fields[] = {{time.Year, 4, "-"}, {time.Month, 2, "-"}, {time.Day, 2, " "}, {time.Hour, 2, ":"},
        {time.Minute, 2, ":"}, {time.Second, 2, "."}, {time.Milliseconds, 3, " ["}, {processId, 1, ":"},
        {threadId, 1, "] "}};
    std::string line;
    for (const Field& field : fields) {
        AppendNumber(line, field.Value, field.Width);
        line += field.After;
    }
    line += LevelLetter(level);
    line += ' ';
    for (char c : ToUtf8(message)) {
        line += c == '\r' || c == '\n' ? ' ' : c;
    }
    return line + "\r\n";
}
