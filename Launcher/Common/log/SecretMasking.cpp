#include "SecretMasking.h"

#include <algorithm>

namespace {

constexpr std::wstring_view Mask = L"*****";
constexpr std::wstring_view Blanks = L" \t";

bool NamesASecret(std::wstring_view name)
{
    std::wstring folded(name);
    for (wchar_t& c : folded) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return folded.find(L"PASSWORD") != std::wstring::npos;
}

// The length of the value that starts text, read as msiexec reads it: a blank
// outside quotes ends it; a quote opens a quoted part that runs to its closing
// quote, a doubled quote inside it standing for one quote of the value; a
// quote that never closes runs to the end. A quote later in a value opens a
// quoted part as well, so that no part of a value is taken for text after it.
// quoted says that a quote before the name ("PASSWORD=a b") has opened a
// quoted part already.
size_t ValueLength(std::wstring_view text, bool quoted)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'"') {
            if (quoted && i + 1 < text.size() && text[i + 1] == L'"') {
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (!quoted && Blanks.find(text[i]) != std::wstring_view::npos) {
            return i;
        }
    }
    return text.size();
}

}  // namespace

std::wstring MaskSecrets(std::wstring_view text)
{
    std::wstring masked;
    size_t done = 0;
    for (size_t equals = text.find(L'='); equals != std::wstring_view::npos; equals = text.find(L'=', done)) {
        const size_t nameStart = text.find_last_of(Blanks, equals);
        const size_t start = nameStart == std::wstring_view::npos ? 0 : nameStart + 1;
        const std::wstring_view name = text.substr(start, equals - start);
        const bool quotedBeforeName = std::count(name.begin(), name.end(), L'"') % 2 != 0;
        const size_t valueLength = ValueLength(text.substr(equals + 1), quotedBeforeName);
        masked.append(text.substr(done, equals + 1 - done));
        if (NamesASecret(name)) {
            masked.append(Mask);
        } else {
            masked.append(text.substr(equals + 1, valueLength));
        }
        done = equals + 1 + valueLength;
    }
    masked.append(text.substr(done < text.size() ? done : text.size()));
    return masked;
}
