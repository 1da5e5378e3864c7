#include "ProbeCommandLine.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

std::wstring ReadCommandLine(const wchar_t* path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    const std::string utf8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring text(utf8.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0],
        static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) {
        text.pop_back();
    }
    return text;
}
