// Any command line scans to an end without reading outside it, and the
// template it leaves is the quiet one (ending in /norestart exactly when that
// option was read), a piece of the input, or what it held before.
#include "CommandLineOptions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Two bytes a code unit, as on Windows; the arguments sit in a buffer of
    // exactly their own length so that any read past them is caught.
    const std::size_t units = size / 2;
    auto* buffer = new wchar_t[units];
    for (std::size_t i = 0; i < units; ++i) {
        buffer[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    const std::wstring_view arguments(buffer, units);
    CommandLineOptions options;
    options.MsiArgumentTemplate = L"before";
    options.LogPath = L"before";
    ReadCommandLineOptions(arguments, options);
    const std::wstring& result = options.MsiArgumentTemplate;
    const bool quiet = result == WithRestartSetting(std::wstring(QuietMsiArgumentTemplate), options.NoRestart);
    const bool fromInput = arguments.find(result) != std::wstring_view::npos;
    if (!quiet && result != L"before" && !fromInput) {
        std::abort();
    }
    if (options.LogPath != L"before" && arguments.find(options.LogPath) == std::wstring_view::npos) {
        std::abort();
    }
    delete[] buffer;
    return 0;
}
