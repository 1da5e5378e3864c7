#pragma once

#include <cstdint>

// Sends the driver's device-monitor service its control code. Returns 0 when
// the service accepted it or is not installed, ServiceNoticeRefused otherwise.
std::int32_t NotifyDeviceMonitorService();
