#pragma once

#include <string_view>

// Logs "driver package <resource>: product code <code>, version <version>"
// for the driver package the build carries under this resource name, the
// values a detection rule or a support call asks for; nothing for one it
// does not carry.
void LogDriverPackageFacts(std::wstring_view resource);
