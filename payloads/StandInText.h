#pragma once

#include <string>

// The stand-in's files are UTF-8; Windows hands it UTF-16.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
