#include "DriverPackageFacts.h"

#include "../LauncherConfig.h"
#include "../log/SupportLog.h"

void LogDriverPackageFacts(std::wstring_view resourceOrProductCode)
{
    for (std::int32_t i = 0; i < LauncherConfig.DriverProductCodes.Count; ++i) {
        const wchar_t* const code = LauncherConfig.DriverProductCodes.Codes[i];
        if (resourceOrProductCode == LauncherConfig.DriverPackageResources[i] || resourceOrProductCode == code) {
            return Log(LogLevel::Information, {L"driver package ", LauncherConfig.DriverPackageResources[i],
                                                  L": product code ", code, L", version ",
                                                  LauncherConfig.DriverProductVersions[i]});
        }
    }
}
