#pragma once

#include "../LauncherConfig.h"
#include "../platform/Handles.h"

#include <string>

// Asks Windows Installer which products are installed on the machine, through
// msi.dll loaded from the system folder on first use and held until the
// object ends. The launcher does not import msi.dll, so that a machine whose
// Windows Installer is damaged still starts it and runs the prerequisites.
class InstalledProducts {
public:
    // True when Windows Installer reports one of the codes installed for the
    // machine; found then names it. A failure to ask answers false, so the
    // prerequisite runs: the first failure prints its "<call> failed (<code>)"
    // line, later ones nothing, and once msi.dll could not be loaded it is not
    // tried again.
    bool AnyInstalled(const ProductCodeList& codes, std::wstring& found);
    // The code of the first failure to ask, or 0 when every answer was
    // Windows Installer's own: only then does false mean "not installed".
    std::int32_t Failure() const { return failure_; }

private:
    bool Load();
    bool InstalledForMachine(const wchar_t* code);
    void ReportOnce(const char* call, std::int32_t code);

    ModuleHandle msi_;
    bool loadFailed_ = false;
    std::int32_t failure_ = 0;
};
