// The hardware-ID table: the IDs of the package INF's models section.
#include "uninstall.h"

HardwareIdTable g_hardwareIdTable;

void CollectHardwareIds(void)
{
}
