#include "DeviceMonitorNotice.h"

#include "../LauncherConfig.h"
#include "../ResultCodes.h"
#include "../log/RunEvents.h"
#include "../platform/Handles.h"

namespace {

// The first of the control codes Windows leaves to services to define.
constexpr DWORD DeviceMonitorControlCode = 128;

}  // namespace

std::int32_t NotifyDeviceMonitorService()
{
    // Connecting and sending a control code defined by the service are all
    // the rights the notice needs.
    const ServiceHandle manager(
        Os.OpenSCManagerW(/*lpMachineName=*/nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_CONNECT));
    if (!manager.IsValid()) {
        return ServiceNoticeRefused;
    }
    // Declared after the manager, so it is closed first.
    const ServiceHandle service(
        Os.OpenServiceW(manager.Get(), LauncherConfig.DeviceMonitorServiceName, SERVICE_USER_DEFINED_CONTROL));
    if (!service.IsValid()) {
        // The first install on a machine comes before the driver's service.
        if (Os.GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
            LogServiceNotInstalled(LauncherConfig.DeviceMonitorServiceName);
            return 0;
        }
        return ServiceNoticeRefused;
    }
    SERVICE_STATUS status = {};
    return Os.ControlService(service.Get(), DeviceMonitorControlCode, &status) ? 0 : ServiceNoticeRefused;
}
