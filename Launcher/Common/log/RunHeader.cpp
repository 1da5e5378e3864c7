#include "RunHeader.h"

#include "SupportLog.h"
#include "../platform/Handles.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace {

constexpr DWORD FixedFileInfoSignature = 0xFEEF04BD;

std::wstring LauncherPath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = Os.GetModuleFileNameW(/*hModule=*/nullptr, path, MAX_PATH);
    return length != 0 && length < MAX_PATH ? std::wstring(path, length) : L"(unknown path)";
}

struct VersionResource {
    const BYTE* Data;
    DWORD Size;
};

// The launcher's own version resource, read without the version library.
VersionResource OwnVersionResource()
{
    const HMODULE self = Os.GetModuleHandleW(nullptr);
    const HRSRC found =
        self != nullptr ? Os.FindResourceW(self, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION) : nullptr;
    const DWORD size = found != nullptr ? Os.SizeofResource(self, found) : 0;
    const HGLOBAL loaded = size != 0 ? Os.LoadResource(self, found) : nullptr;
    const auto* data = static_cast<const BYTE*>(loaded != nullptr ? Os.LockResource(loaded) : nullptr);
    return {data, data != nullptr ? size : 0};
}

// The file version of the fixed part, found by its signature.
std::wstring FileVersion(const VersionResource& resource)
{
    const auto* words = reinterpret_cast<const DWORD*>(resource.Data);
    for (DWORD i = 0; (i + 1) * sizeof(DWORD) + sizeof(VS_FIXEDFILEINFO) <= resource.Size; ++i) {
        if (words[i] == FixedFileInfoSignature) {
            const auto* info = reinterpret_cast<const VS_FIXEDFILEINFO*>(words + i);
            std::wstring version;
            for (const DWORD part : {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                     HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)}) {
                version += (version.empty() ? L"" : L".") + Decimal(part);
            }
            return version;
        }
    }
    return L"(no version)";
}

// A string of the version block: its key, ended by a zero and padded to 32
// bits, is followed by its value.
std::wstring VersionString(const VersionResource& resource, std::wstring_view key, const wchar_t* absent)
{
    const auto* text = reinterpret_cast<const wchar_t*>(resource.Data);
    const std::size_t length = resource.Size / sizeof(wchar_t);
    for (std::size_t i = 0; i + key.size() < length; ++i) {
        if (text[i + key.size()] == L'\0' && std::wstring_view(text + i, key.size()) == key) {
            const std::size_t value = std::min((i + key.size() + 2) & ~std::size_t{1}, length);
            std::size_t end = value;
            while (end < length && text[end] != L'\0') {
                ++end;
            }
            return std::wstring(text + value, text + end);
        }
    }
    return absent;
}

const wchar_t* ProcessorName(bool is64BitWindows, const NativeMachineReport& nativeMachine)
{
    if (!nativeMachine.Told) {
        return is64BitWindows ? L"x64" : L"x86";
    }
    switch (nativeMachine.Machine) {
    case IMAGE_FILE_MACHINE_I386:
        return L"x86";
    case IMAGE_FILE_MACHINE_AMD64:
        return L"x64";
    case IMAGE_FILE_MACHINE_ARM64:
        return L"ARM64";
    default:
        return L"other";
    }
}

const wchar_t* Elevation()
{
    TokenHandle token;
    if (!Os.OpenProcessToken(Os.GetCurrentProcess(), TOKEN_QUERY, token.Put())) {
        return L"unknown";
    }
    TOKEN_ELEVATION elevation = {};
    DWORD length = 0;
    if (!Os.GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &length)) {
        return L"unknown";
    }
    return elevation.TokenIsElevated != 0 ? L"yes" : L"no";
}

}  // namespace

void LogRunHeader(const OSVERSIONINFOW& version, bool is64BitWindows, const NativeMachineReport& nativeMachine)
{
    const LogLevel info = LogLevel::Information;
    const VersionResource resource = OwnVersionResource();
    Log(info, {VersionString(resource, L"ProductName", L"InstallerLauncher"), L" ", FileVersion(resource), L" at ",
                  LauncherPath()});
    Log(info, {L"command line: ", Os.GetCommandLineW()});
    Log(info, {L"Windows ", Decimal(version.dwMajorVersion), L".", Decimal(version.dwMinorVersion), L" build ",
                  Decimal(version.dwBuildNumber)});
    Log(info, {L"64-bit Windows (WOW64): ", is64BitWindows ? L"yes" : L"no", L", native processor ",
                  ProcessorName(is64BitWindows, nativeMachine)});
    Log(info, {L"elevated: ", Elevation()});
    Log(info, {L"log: ", SupportLogPath().empty() ? std::wstring_view(L"none") : SupportLogPath()});
}
