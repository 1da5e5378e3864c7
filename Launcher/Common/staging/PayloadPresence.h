#pragma once

// Whether the launcher's own executable carries a payload of type "EXE" under
// this name. An absent payload is no failure and prints nothing.
bool CarriesExecutablePayload(const wchar_t* resourceName);
