#include "GuidText.h"

#include "FailureReport.h"
#include "../ResultCodes.h"
#include "../platform/OsCalls.h"
#include "../settings/BufferAllocation.h"

std::int32_t MakeGuidText(std::wstring& text)
{
    UUID guid;
    const RPC_STATUS created = Os.UuidCreate(&guid);
    if (created != RPC_S_OK) {
        return ReportErrorCode("UuidCreate", static_cast<DWORD>(created));
    }
    RPC_WSTR formatted = nullptr;
    const RPC_STATUS converted = Os.UuidToStringW(&guid, &formatted);
    if (converted != RPC_S_OK) {
        return ReportErrorCode("UuidToString", static_cast<DWORD>(converted));
    }
    const bool copied = OrOnAllocationFailure(false, [&] {
        text = reinterpret_cast<const wchar_t*>(formatted);
        return true;
    });
    Os.RpcStringFreeW(&formatted);
    return copied ? 0 : OutOfMemory;
}
