// The device-monitor service notice: one control code, every handle closed,
// service before manager.
#include "preparation/DeviceMonitorNotice.h"
#include "support/OsFailures.h"
#include "support/TestConfiguration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> events;
bool refuseManager = false;
DWORD serviceRefusal = 0;
bool refuseControl = false;
const SC_HANDLE Manager = reinterpret_cast<SC_HANDLE>(0x10);
const SC_HANDLE Service = reinterpret_cast<SC_HANDLE>(0x20);

SC_HANDLE WINAPI FakeOpenManager(LPCWSTR machine, LPCWSTR database, DWORD access)
{
    EXPECT_EQ(nullptr, machine);
    EXPECT_EQ(std::wstring(L"ServicesActive"), database);
    EXPECT_EQ(static_cast<DWORD>(SC_MANAGER_CONNECT), access) << "connecting, nothing more";
    events.push_back("open manager");
    return refuseManager ? nullptr : Manager;
}

SC_HANDLE WINAPI FakeOpenService(SC_HANDLE manager, LPCWSTR name, DWORD access)
{
    EXPECT_EQ(Manager, manager);
    EXPECT_EQ(std::wstring(L"TAVRINAudioDevMon"), name);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_USER_DEFINED_CONTROL), access) << "the one control, nothing more";
    events.push_back("open service");
    SetLastError(serviceRefusal);
    return serviceRefusal != 0 ? nullptr : Service;
}

BOOL WINAPI FakeControl(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status)
{
    EXPECT_EQ(Service, service);
    EXPECT_NE(nullptr, status);
    events.push_back("control " + std::to_string(control));
    return refuseControl ? FALSE : TRUE;
}

BOOL WINAPI FakeCloseService(SC_HANDLE handle)
{
    events.push_back(handle == Service ? "close service" : "close manager");
    return TRUE;
}

class ServiceNotice : public testing::Test {
protected:
    void SetUp() override
    {
        events.clear();
        refuseManager = refuseControl = false;
        serviceRefusal = 0;
    }

    ScopedConfiguration configuration;
    OsOverride<&OsCallTable::OpenSCManagerW> manager{&FakeOpenManager};
    OsOverride<&OsCallTable::OpenServiceW> service{&FakeOpenService};
    OsOverride<&OsCallTable::ControlService> control{&FakeControl};
    OsOverride<&OsCallTable::CloseServiceHandle> close{&FakeCloseService};
};

using Events = std::vector<std::string>;

TEST_F(ServiceNotice, AcceptedControlIsZero)
{
    EXPECT_EQ(0, NotifyDeviceMonitorService());
    EXPECT_EQ(Events({"open manager", "open service", "control 128", "close service", "close manager"}), events);
}

TEST_F(ServiceNotice, RefusedControlIsMinusOneWithBothHandlesClosed)
{
    refuseControl = true;
    EXPECT_EQ(-1, NotifyDeviceMonitorService());
    EXPECT_EQ(Events({"open manager", "open service", "control 128", "close service", "close manager"}), events);
}

TEST_F(ServiceNotice, ServiceNotInstalledIsNothingToNotifyAndAnyOtherRefusalIsMinusOne)
{
    for (const auto& [error, expected] : {std::pair<DWORD, int>{ERROR_SERVICE_DOES_NOT_EXIST, 0}, {ERROR_ACCESS_DENIED, -1}}) {
        events.clear();
        serviceRefusal = error;
        EXPECT_EQ(expected, NotifyDeviceMonitorService()) << error;
        EXPECT_EQ(Events({"open manager", "open service", "close manager"}), events);
    }
}

TEST_F(ServiceNotice, NoManagerNoService)
{
    refuseManager = true;
    EXPECT_EQ(-1, NotifyDeviceMonitorService());
    EXPECT_EQ(Events({"open manager"}), events);
}

TEST(ServiceNoticeOnThisWindows, AbsentServiceIsNothingToNotify)
{
    ScopedConfiguration configuration;
    TestConfiguration.DeviceMonitorServiceName = L"TAVRINAudioDevMonNotInstalled";
    EXPECT_EQ(0, NotifyDeviceMonitorService());
}

}  // namespace
