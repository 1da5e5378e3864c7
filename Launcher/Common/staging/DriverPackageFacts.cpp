#include "DriverPackageFacts.h"

#include "../LauncherConfig.h"
#include "../log/SupportLog.h"

void LogDriverPackageFacts(std::wstring_view resource)
{
    for (std::int32_t i = 0; i < LauncherConfig.DriverProductCodes.Count; ++i) {
        if (resource == LauncherConfig.DriverPackageResources[i]) {
            return Log(LogLevel::Information, {L"driver package ", resource, L": product code ",
                                                  LauncherConfig.DriverProductCodes.Codes[i], L", version ",
                                                  LauncherConfig.DriverProductVersions[i]});
        }
    }
}
