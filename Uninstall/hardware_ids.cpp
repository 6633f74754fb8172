// The hardware-ID table: the IDs of the package INF's models section, read
// through the SetupAPI INF services and lower-cased, for device removal.
#include "uninstall.h"

HardwareIdTable g_hardwareIdTable;

void CollectHardwareIds(void)
{
    PackageInf inf;
    FindPackageInf(&inf);
    if (!inf.found) {
        return;
    }
    // Only the path is needed; the reader must not hold the file while
    // SetupAPI reads it.
    CloseInfTextReader(&inf.reader);

    HINF handle = SetupOpenInfFileA(inf.path, NULL, INF_STYLE_WIN4, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        (void)GetLastError();
        return;
    }

    g_hardwareIdTable.count = 0;
    INFCONTEXT context;
    if (SetupFindFirstLineA(handle, MODELS_SECTION, NULL, &context)) {
        // The table holds 64 IDs: the collection ends there, so no read
        // goes past the last slot.
        do {
            char *slot = g_hardwareIdTable.entries[g_hardwareIdTable.count];
            // A line without field 2, or with one longer than 63 characters,
            // yields no entry, and the next line's read goes into the same
            // slot. An empty field 2 (a line such as "Name=Install,,Compat")
            // reads as an empty string; it is not let in either, since an
            // empty ID is contained in every hardware ID and would select
            // every imaging device on the machine.
            if (SetupGetStringFieldA(&context, 2, slot, HARDWARE_ID_SIZE, NULL) && slot[0] != '\0') {
                LowerCaseAscii(slot);
                g_hardwareIdTable.count += 1;
            }
        } while (g_hardwareIdTable.count < HARDWARE_ID_SLOTS && SetupFindNextLine(&context, &context));
    }
    SetupCloseInfFile(handle);
}
