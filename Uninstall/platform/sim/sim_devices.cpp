// The simulated device installer.
#include "sim_internal.h"

namespace sim {

void ResetDevices()
{
}

std::string DeviceHandlesText()
{
    return "";
}

std::string DevicesText()
{
    return "";
}

void LoadDevicesText(const std::string &text)
{
    (void)text;
}

void AddSetupClass(const std::string &name, const GUID &guid)
{
    (void)name;
    (void)guid;
}

void RemoveSetupClass(const std::string &name)
{
    (void)name;
}

void AddDevice(const std::string &className, const Device &device)
{
    (void)className;
    (void)device;
}

std::vector<Device> Devices(const std::string &className)
{
    (void)className;
    return {};
}

void VetoRemoval(const std::string &instanceId, DWORD error)
{
    (void)instanceId;
    (void)error;
}

} // namespace sim

BOOL WINAPI SetupDiClassGuidsFromNameA(PCSTR ClassName, LPGUID ClassGuidList, DWORD ClassGuidListSize,
                                       PDWORD RequiredSize)
{
    (void)ClassGuidList;
    (void)ClassGuidListSize;
    (void)RequiredSize;
    sim::Enter("SetupDiClassGuidsFromNameA");
    sim::RecordUnexpected("SetupDiClassGuidsFromNameA", sim::Quote(ClassName), "not modelled yet");
    return FALSE;
}

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID *ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags)
{
    (void)ClassGuid;
    (void)Enumerator;
    (void)hwndParent;
    sim::Enter("SetupDiGetClassDevsA");
    sim::RecordUnexpected("SetupDiGetClassDevsA", sim::Hex(Flags), "not modelled yet");
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData)
{
    (void)DeviceInfoData;
    sim::Enter("SetupDiEnumDeviceInfo");
    sim::RecordUnexpected("SetupDiEnumDeviceInfo", sim::Ptr(DeviceInfoSet) + ", " + sim::Dec(MemberIndex),
                          "not modelled yet");
    return FALSE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize)
{
    (void)DeviceInfoData;
    (void)PropertyRegDataType;
    (void)PropertyBuffer;
    (void)RequiredSize;
    sim::Enter("SetupDiGetDeviceRegistryPropertyA");
    sim::RecordUnexpected("SetupDiGetDeviceRegistryPropertyA",
                          sim::Ptr(DeviceInfoSet) + ", " + sim::Dec(Property) + ", " + sim::Dec(PropertyBufferSize),
                          "not modelled yet");
    return FALSE;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData)
{
    (void)DeviceInfoData;
    sim::Enter("SetupDiCallClassInstaller");
    sim::RecordUnexpected("SetupDiCallClassInstaller", sim::Dec(InstallFunction) + ", " + sim::Ptr(DeviceInfoSet),
                          "not modelled yet");
    return FALSE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet)
{
    sim::Enter("SetupDiDestroyDeviceInfoList");
    sim::RecordUnexpected("SetupDiDestroyDeviceInfoList", sim::Ptr(DeviceInfoSet), "not modelled yet");
    return FALSE;
}
