#include "DeviceMonitorNotice.h"

std::int32_t NotifyDeviceMonitorService()
{
    return -1;
}
