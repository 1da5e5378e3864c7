#include "GuidText.h"

#include "FailureReport.h"
#include "../ResultCodes.h"
#include "../platform/Handles.h"
#include "../settings/BufferAllocation.h"

std::int32_t MakeGuidText(std::wstring& text)
{
    UUID guid;
    const RPC_STATUS created = Os.UuidCreate(&guid);
    if (created != RPC_S_OK) {
        return ReportErrorCode("UuidCreate", static_cast<DWORD>(created));
    }
    RpcString formatted;
    const RPC_STATUS converted = Os.UuidToStringW(&guid, formatted.Put());
    if (converted != RPC_S_OK) {
        return ReportErrorCode("UuidToString", static_cast<DWORD>(converted));
    }
    const bool copied = OrOnAllocationFailure(false, [&] {
        text = reinterpret_cast<const wchar_t*>(formatted.Get());
        return true;
    });
    return copied ? 0 : OutOfMemory;
}
