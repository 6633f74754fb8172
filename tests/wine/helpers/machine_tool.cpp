// Fixture and inspection tool of the Wine tier, run inside the scenario's
// Wine machine. It does what a scenario cannot do from outside the machine:
// make devices through the device installer, list them, and set file
// attributes through the file system's own call.
//
//   machine_tool device-add CLASS HWID[|HWID...]   one device, new instance ID,
//                                                  printed as "added\tID\tHWIDS"
//   machine_tool device-list CLASS                 every device, present or not,
//                                                  as "CLASS\tID\tHWIDS" lines
//   machine_tool attributes PATH HEXBITS           SetFileAttributesA
//   machine_tool hold LOGFILE PATH...              keep the files open, as a
//                                                  program using them does
//
// Several commands may follow each other on one command line. CLASS is a
// setup class name ("image") or a braced class GUID. Exit code 0 when every
// command succeeded, else the number of the first failing command.
#include <windows.h>
#include <setupapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static BOOL ParseGuid(const char *text, GUID *guid)
{
    unsigned long d1;
    unsigned int d2, d3, b[8];
    if (sscanf(text, "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3,
               &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]) != 11) {
        return FALSE;
    }
    guid->Data1 = d1;
    guid->Data2 = (unsigned short)d2;
    guid->Data3 = (unsigned short)d3;
    for (int i = 0; i < 8; ++i) {
        guid->Data4[i] = (unsigned char)b[i];
    }
    return TRUE;
}

static BOOL ClassGuid(const char *name, GUID *guid)
{
    if (name[0] == '{') {
        return ParseGuid(name, guid);
    }
    DWORD required = 0;
    if (!SetupDiClassGuidsFromNameA(name, guid, 1, &required) || required == 0) {
        fprintf(stderr, "machine_tool: no setup class %s (error %lu)\n", name, GetLastError());
        return FALSE;
    }
    return TRUE;
}

// Device name for the generated instance ID: the class name in capitals, or
// OTHER for a class given by GUID (ROOT\IMAGE\0000, ROOT\OTHER\0000, ...).
static void DeviceName(const char *className, char *out, size_t size)
{
    if (className[0] == '{') {
        snprintf(out, size, "OTHER");
        return;
    }
    snprintf(out, size, "%s", className);
    for (char *c = out; *c; ++c) {
        if (*c >= 'a' && *c <= 'z') {
            *c = (char)(*c - 'a' + 'A');
        }
    }
}

static BOOL DeviceAdd(const char *className, const char *hardwareIds)
{
    GUID guid;
    if (!ClassGuid(className, &guid)) {
        return FALSE;
    }
    // The property is a multi-string: '|' separates the IDs here.
    char multi[1024];
    size_t length = strlen(hardwareIds);
    if (length + 2 > sizeof multi) {
        fprintf(stderr, "machine_tool: hardware IDs too long\n");
        return FALSE;
    }
    memcpy(multi, hardwareIds, length + 1);
    for (size_t i = 0; i < length; ++i) {
        if (multi[i] == '|') {
            multi[i] = '\0';
        }
    }
    multi[length + 1] = '\0';

    HDEVINFO set = SetupDiCreateDeviceInfoList(&guid, NULL);
    if (set == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "machine_tool: SetupDiCreateDeviceInfoList failed (%lu)\n", GetLastError());
        return FALSE;
    }
    char deviceName[64];
    DeviceName(className, deviceName, sizeof deviceName);
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    BOOL ok = SetupDiCreateDeviceInfoA(set, deviceName, &guid, NULL, NULL, DICD_GENERATE_ID, &device)
        && SetupDiRegisterDeviceInfo(set, &device, 0, NULL, NULL, NULL)
        && SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, (const BYTE *)multi,
                                             (DWORD)(length + 2));
    if (ok) {
        char instance[512] = "";
        SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance, NULL);
        printf("added\t%s\t%s\n", instance, hardwareIds);
    } else {
        fprintf(stderr, "machine_tool: making device %s failed (%lu)\n", hardwareIds, GetLastError());
    }
    SetupDiDestroyDeviceInfoList(set);
    return ok;
}

// One line per device: the class as asked for, instance ID and the hardware
// IDs joined by '|' ("-" when the device has none), separated by tabs.
static BOOL DeviceList(const char *className)
{
    GUID guid;
    if (!ClassGuid(className, &guid)) {
        return FALSE;
    }
    HDEVINFO set = SetupDiGetClassDevsA(&guid, NULL, NULL, 0);
    if (set == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "machine_tool: SetupDiGetClassDevsA failed (%lu)\n", GetLastError());
        return FALSE;
    }
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        char instance[512] = "";
        SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance, NULL);
        char ids[2048];
        memset(ids, 0, sizeof ids);
        if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, NULL, (BYTE *)ids,
                                               sizeof ids - 2, NULL)) {
            strcpy(ids, "-");
        } else {
            for (char *p = ids; *p; p += strlen(p) + 1) {
                if (p[strlen(p) + 1] != '\0') {
                    p[strlen(p)] = '|';
                }
            }
        }
        printf("%s\t%s\t%s\n", className, instance, ids);
    }
    SetupDiDestroyDeviceInfoList(set);
    return TRUE;
}

static BOOL SetAttributes(const char *path, const char *bits)
{
    DWORD value = strtoul(bits, NULL, 16);
    if (!SetFileAttributesA(path, value)) {
        fprintf(stderr, "machine_tool: SetFileAttributesA %s failed (%lu)\n", path, GetLastError());
        return FALSE;
    }
    return TRUE;
}

// Opens every file for reading with read and write sharing but no delete
// sharing, writes "held" to LOGFILE and keeps them open until LOGFILE.stop
// appears (or two minutes pass). Ends the command line.
static BOOL Hold(const char *log, char **paths, int count)
{
    for (int i = 0; i < count; ++i) {
        HANDLE file = CreateFileA(paths[i], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "machine_tool: cannot hold %s (%lu)\n", paths[i], GetLastError());
            return FALSE;
        }
    }
    HANDLE signal = CreateFileA(log, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    WriteFile(signal, "held\n", 5, &written, NULL);
    CloseHandle(signal);
    char stop[MAX_PATH + 8];
    snprintf(stop, sizeof stop, "%s.stop", log);
    for (int tick = 0; tick < 1200 && GetFileAttributesA(stop) == INVALID_FILE_ATTRIBUTES; ++tick) {
        Sleep(100);
    }
    return TRUE; // the handles close as the process ends
}

int main(int argc, char **argv)
{
    int command = 0;
    for (int i = 1; i < argc; ++command) {
        BOOL ok;
        if (strcmp(argv[i], "device-add") == 0 && i + 2 < argc) {
            ok = DeviceAdd(argv[i + 1], argv[i + 2]);
            i += 3;
        } else if (strcmp(argv[i], "device-list") == 0 && i + 1 < argc) {
            ok = DeviceList(argv[i + 1]);
            i += 2;
        } else if (strcmp(argv[i], "hold") == 0 && i + 2 < argc) {
            ok = Hold(argv[i + 1], argv + i + 2, argc - i - 2);
            i = argc;
        } else if (strcmp(argv[i], "attributes") == 0 && i + 2 < argc) {
            ok = SetAttributes(argv[i + 1], argv[i + 2]);
            i += 3;
        } else {
            fprintf(stderr, "machine_tool: bad command at %s\n", argv[i]);
            return 100;
        }
        if (!ok) {
            return command + 1;
        }
    }
    fflush(stdout);
    return 0;
}
