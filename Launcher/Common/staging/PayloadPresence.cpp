#include "PayloadPresence.h"

#include "../platform/OsCalls.h"

bool CarriesExecutablePayload(const wchar_t* resourceName)
{
    return Os.FindResourceW(Os.GetModuleHandleW(nullptr), resourceName, L"EXE") != nullptr;
}
