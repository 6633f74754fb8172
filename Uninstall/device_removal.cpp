// Device removal through the device installer. The hardware IDs are read
// first, while the package INF still exists; then every device of the setup
// class "image", present or not, whose first hardware ID contains one of them
// gets one removal request; the first driver-file pass, which deletes that
// INF, comes last.
#include <string.h>

#include "uninstall.h"

// The first table entry that the device's first hardware ID contains, in slot
// order. An empty entry would be contained in every ID and so would remove
// every device of the class: it never matches.
static BOOL MatchesHardwareIdTable(const char *firstHardwareId)
{
    for (int32_t slot = 0; slot < g_hardwareIdTable.count && slot < HARDWARE_ID_SLOTS; ++slot) {
        const char *entry = g_hardwareIdTable.entries[slot];
        if (entry[0] != '\0' && TextContains(firstHardwareId, entry)) {
            return TRUE;
        }
    }
    return FALSE;
}

// Walks the set member by member; a device that cannot be read, does not
// match, or refuses its removal is left alone and the walk goes on.
static void RemoveMatchingDevices(HDEVINFO devices)
{
    SP_DEVINFO_DATA device;
    char hardwareIds[HARDWARE_ID_PROPERTY_SIZE];
    DWORD requiredSize = 0;
    DWORD index = 0;

    memset(&device, 0, sizeof(device));
    device.cbSize = sizeof(SP_DEVINFO_DATA);
    while (SetupDiEnumDeviceInfo(devices, index, &device)) {
        // Anything but exactly TRUE, a property larger than the buffer
        // included, leaves the device untouched.
        if (SetupDiGetDeviceRegistryPropertyA(devices, &device, SPDRP_HARDWAREID, NULL, (PBYTE)hardwareIds,
                                              HARDWARE_ID_PROPERTY_SIZE, &requiredSize) == TRUE) {
            // Registry data need not end in a zero byte; of the multi-string
            // only the first ID, the most specific one, takes part.
            hardwareIds[HARDWARE_ID_PROPERTY_SIZE - 1] = '\0';
            LowerCaseAscii(hardwareIds);
            if (MatchesHardwareIdTable(hardwareIds)) {
                // The record goes out exactly as the enumeration filled it.
                if (!SetupDiCallClassInstaller(DIF_REMOVE, devices, &device)) {
                    GetLastError();
                }
            }
        }
        ++index;
        device.cbSize = sizeof(SP_DEVINFO_DATA);
    }
    GetLastError();
}

BOOL RemoveDevices(void)
{
    GUID classGuids[1];
    DWORD classCount = 0;
    BOOL released = FALSE;

    CollectHardwareIds();

    // Without a class named "image" the list holds no GUID, and a set asked
    // for with whatever it holds could be another class's devices: without a
    // GUID no device is examined.
    memset(classGuids, 0, sizeof(classGuids));
    if (SetupDiClassGuidsFromNameA(IMAGE_CLASS_NAME, classGuids, 1, &classCount) && classCount > 0) {
        // Flags 0: devices installed but not plugged in are removed too.
        HDEVINFO devices = SetupDiGetClassDevsA(&classGuids[0], NULL, NULL, 0);
        if (devices != INVALID_HANDLE_VALUE) {
            RemoveMatchingDevices(devices);
            released = SetupDiDestroyDeviceInfoList(devices);
        }
    }

    RemoveDriverFiles();
    return released;
}
