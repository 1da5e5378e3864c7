#include "SecretMasking.h"

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

// The length of the value that starts text: up to the closing quote when it
// starts with one (to the end when none closes it), else up to a blank.
size_t ValueLength(std::wstring_view text)
{
    if (!text.empty() && text[0] == L'"') {
        const size_t closing = text.find(L'"', 1);
        return closing == std::wstring_view::npos ? text.size() : closing + 1;
    }
    const size_t blank = text.find_first_of(Blanks);
    return blank == std::wstring_view::npos ? text.size() : blank;
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
        const size_t valueLength = ValueLength(text.substr(equals + 1));
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
