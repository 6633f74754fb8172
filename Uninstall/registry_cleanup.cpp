// Registry cleanup: the product's entry in the list of installed programs and
// the companion application's autostart value, each under HKEY_LOCAL_MACHINE
// in the 64-bit view. One key is held at a time; failures change nothing.
#include "uninstall.h"

void RemoveRegistryEntries(void)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        // Not recursive: an entry that has subkeys of its own is refused and stays.
        RegDeleteKeyA(key, PRODUCT_CODE);
        RegCloseKey(key);
    }

    key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RUN_KEY_PATH, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, COMPANION_NAME);
        RegCloseKey(key);
    }
}
