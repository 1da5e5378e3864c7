#include "EveryMechanism.h"

#include "ShippedIdentity.h"
#include "TestPaths.h"
#include "WaitingProcess.h"

#include <filesystem>
#include <string>

namespace {

const wchar_t* const ListedNames[] = {L"TavrinTray.exe", L"TavrinHelper.exe"};
const wchar_t* const RunningName = L"TavrinTray.exe";
const wchar_t* const ProductCodes[] = {
    L"{8B3F4D21-6C9E-4A17-B0E5-D27A19C36F58}", L"{00000000-0000-0000-0000-000000000000}"};
const std::wstring UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring SettingsKey = std::wstring(Shipped::DriversKeyPath) + L"\\" + Shipped::SettingsGuid;
const wchar_t* const ServiceName = Shipped::DeviceMonitorServiceName;
const wchar_t* const RegisteredProduct = ProductCodes[0];
const wchar_t* const UnregisteredProduct = ProductCodes[1];

// The launcher looks in the 64-bit view on 64-bit Windows; a 64-bit test
// program and 32-bit Windows have that one view only.
constexpr REGSAM ProductView = KEY_WOW64_64KEY;

void CreateKey(const std::wstring& path, REGSAM view, const wchar_t* valueName, const std::wstring& text)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
            nullptr) == ERROR_SUCCESS) {
        if (valueName != nullptr) {
            RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        }
        RegCloseKey(key);
    }
}

void CreateSettings()
{
    CreateKey(SettingsKey, 0, L"Name", L"Studio");
    CreateKey(SettingsKey + L"\\Devices", 0, L"Default", L"Speakers");
    CreateKey(SettingsKey + L"\\Devices\\Speakers", 0, L"Level", L"80");
    CreateKey(SettingsKey + L"\\Profiles", 0, nullptr, L"");
}

EveryMechanism* machine = nullptr;
decltype(&::TerminateProcess) terminateBelow = nullptr;

BOOL WINAPI TerminateToTheEnd(HANDLE process, UINT exitCode)
{
    const BOOL started = terminateBelow(process, exitCode);
    if (started) {
        machine->WaitForListedProcessEnd();
    }
    return started;
}

// The mark of a product folder a user left, which the machine plants before
// each run and which goes with the folder when the run moves it aside.
std::wstring UsersFolderMark()
{
    return ProductPackageFolderPath() + L"left-by-a-user.txt";
}

// The product folder holding that mark shows an access list that lets
// everyone write: what a folder a user made in its place would show.
DWORD WINAPI ProductFolderOthersMayWriteIn(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION parts,
    PSID* owner, PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetFinalPathNameByHandleW(object, path, MAX_PATH, 0);
    const std::wstring folder = ProductPackageFolderPath();
    if (length == 0 || _wcsicmp(path + 4, folder.substr(0, folder.size() - 1).c_str()) != 0 ||
        GetFileAttributesW(UsersFolderMark().c_str()) == INVALID_FILE_ATTRIBUTES) {
        return RealOs.GetSecurityInfo(object, type, parts, owner, group, dacl, sacl, descriptor);
    }
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:(A;OICI;FA;;;WD)", SDDL_REVISION_1, descriptor, nullptr);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    GetSecurityDescriptorOwner(*descriptor, owner, &defaulted);
    GetSecurityDescriptorDacl(*descriptor, &present, dacl, &defaulted);
    return ERROR_SUCCESS;
}

}  // namespace

EveryMechanism::EveryMechanism()
    : termination_(&TerminateToTheEnd),
      productFolderSecurity_(&ProductFolderOthersMayWriteIn)
{
    machine = this;
    terminateBelow = RealOs.TerminateProcess;
    TestConfiguration.ProcessNames = ListedNames;
    TestConfiguration.ProcessNameCount = 2;
    TestConfiguration.ProductCodes32 = ProductCodes;
    TestConfiguration.ProductCodes64 = ProductCodes;
    TestConfiguration.ProductCodeCount = 2;
    // Windows Installer knows neither earlier product, so the prerequisites
    // are asked about and still run.
    TestConfiguration.InstalledRedist32 = {ProductCodes, 2};
    TestConfiguration.InstalledRedist64 = {ProductCodes, 2};
    CreateKey(UninstallKey + RegisteredProduct, ProductView, nullptr, L"");
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (UninstallKey + UnregisteredProduct).c_str(), ProductView, 0);
    CreateSettings();
    installerMutex_ = CreateMutexW(nullptr, FALSE, L"Global\\_MSIExecute");
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    service_ = CreateServiceW(manager_, ServiceName, ServiceName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, BuiltPayloadProgram(L"StandInService.exe").c_str(), nullptr,
        nullptr, nullptr, nullptr, nullptr);
    if (service_ == nullptr) {
        service_ = OpenServiceW(manager_, ServiceName, SERVICE_ALL_ACCESS);
    }
    StartServiceW(service_, 0, nullptr);
    // Started means running once the service has said so.
    for (int i = 0; i < 100 && !ServiceRunning(); ++i) {
        Sleep(50);
    }
}

EveryMechanism::~EveryMechanism()
{
    if (listedProcess_ != nullptr) {
        TerminateProcess(listedProcess_, 0);
        CloseHandle(listedProcess_);
    }
    SERVICE_STATUS status;
    ControlService(service_, SERVICE_CONTROL_STOP, &status);
    DeleteService(service_);
    CloseServiceHandle(service_);
    CloseServiceHandle(manager_);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (UninstallKey + RegisteredProduct).c_str(), ProductView, 0);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, SettingsKey.c_str());
    RemoveMovedAsideFolders();
    CloseHandle(installerMutex_);
}

void EveryMechanism::LeaveAUsersProductFolder() const
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(ProductPackageFolderPath()), error);
    CloseHandle(CreateFileW(UsersFolderMark().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    RemoveMovedAsideFolders();
}

void EveryMechanism::RemoveMovedAsideFolders() const
{
    const std::filesystem::path product(ProductPackageFolderPath());
    const std::filesystem::path installers = product.parent_path().parent_path();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(installers, error)) {
        if (entry.path().filename().wstring().find(L".untrusted-") != std::wstring::npos) {
            std::filesystem::remove_all(entry.path(), error);
        }
    }
}

bool EveryMechanism::KeepListedProcessRunning()
{
    if (listedProcess_ != nullptr && !ListedProcessEnded()) {
        return true;
    }
    if (listedProcess_ != nullptr) {
        CloseHandle(listedProcess_);
    }
    listedProcess_ = StartWaitingProcess(RunningName);
    return listedProcess_ != nullptr;
}

void EveryMechanism::WaitForListedProcessEnd() const
{
    WaitForSingleObject(listedProcess_, INFINITE);
}

bool EveryMechanism::ListedProcessEnded() const
{
    return WaitForSingleObject(listedProcess_, 0) == WAIT_OBJECT_0;
}

bool EveryMechanism::ServiceRunning() const
{
    SERVICE_STATUS status = {};
    return QueryServiceStatus(service_, &status) && status.dwCurrentState == SERVICE_RUNNING;
}

const wchar_t* SettingsBackupKeyPath()
{
    static const std::wstring path =
        std::wstring(Shipped::DriversKeyPath) + L"\\SettingsBackup_" + Shipped::SettingsGuid;
    return path.c_str();
}
