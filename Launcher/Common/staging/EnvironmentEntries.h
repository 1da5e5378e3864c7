#pragma once

#include <string>
#include <string_view>
#include <vector>

// An environment block being built: "NAME=value" entries, each ended by its
// NUL, without the block's closing NUL until it is complete. Names compare in
// any letter case, as Windows compares them.

// The name of an entry; a name may itself start with "=", as the per-drive
// current folders ("=C:=C:\...") do.
std::wstring NameOf(const wchar_t* entry);

// The value the entries give name, or null when they give it none.
const wchar_t* ValueOf(const std::vector<wchar_t>& entries, const std::wstring& name);

void AppendEntry(std::vector<wchar_t>& entries, const std::wstring& name, std::wstring_view value);

// text with each %NAME% that the entries give a value replaced by it; any
// other stays as written, as Windows leaves it.
std::wstring ExpandAgainst(std::wstring_view text, const std::vector<wchar_t>& entries);
