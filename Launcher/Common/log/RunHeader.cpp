#include "RunHeader.h"

#include "SupportLog.h"
#include "../platform/Handles.h"

#include <string>

namespace {

constexpr DWORD FixedFileInfoSignature = 0xFEEF04BD;

std::wstring LauncherPath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = Os.GetModuleFileNameW(/*hModule=*/nullptr, path, MAX_PATH);
    return length != 0 && length < MAX_PATH ? std::wstring(path, length) : L"(unknown path)";
}

// The file version of the launcher's own version resource, found by its
// fixed part's signature, without the version library.
std::wstring FileVersion()
{
    const HMODULE self = Os.GetModuleHandleW(nullptr);
    const HRSRC found =
        self != nullptr ? Os.FindResourceW(self, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION) : nullptr;
    const DWORD size = found != nullptr ? Os.SizeofResource(self, found) : 0;
    const HGLOBAL loaded = size != 0 ? Os.LoadResource(self, found) : nullptr;
    const auto* words = static_cast<const DWORD*>(loaded != nullptr ? Os.LockResource(loaded) : nullptr);
    for (DWORD i = 0; words != nullptr && (i + 1) * sizeof(DWORD) + sizeof(VS_FIXEDFILEINFO) <= size; ++i) {
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
    Log(info, {L"InstallerLauncher ", FileVersion(), L" at ", LauncherPath()});
    Log(info, {L"command line: ", Os.GetCommandLineW()});
    Log(info, {L"Windows ", Decimal(version.dwMajorVersion), L".", Decimal(version.dwMinorVersion), L" build ",
                  Decimal(version.dwBuildNumber)});
    Log(info, {L"64-bit Windows (WOW64): ", is64BitWindows ? L"yes" : L"no", L", native processor ",
                  ProcessorName(is64BitWindows, nativeMachine)});
    Log(info, {L"elevated: ", Elevation()});
    Log(info, {L"log: ", SupportLogPath().empty() ? std::wstring_view(L"none") : SupportLogPath()});
}
