// Entry point and uninstall sequence. One decision: while the product's own
// key still opens, the package is in its installer's care and the installer's
// maintenance program is started; otherwise the program removes what the
// package left behind, step by step, whatever became of the step before.
#include "uninstall.h"

static void CloseCompanionWindow(void)
{
    HWND window = FindWindowA(COMPANION_WINDOW_CLASS, COMPANION_NAME);
    if (window == NULL) {
        return;
    }
    // Bounded, and abandoned at once when the companion is hung: a plain
    // SendMessage would wait for ever on a companion that never answers.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, COMPANION_CLOSE_TIMEOUT_MS, &result);
    Sleep(COMPANION_CLOSE_WAIT_MS);
}

int main()
{
    HKEY productKey = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRODUCT_KEY_PATH, 0, KEY_ALL_ACCESS, &productKey) == ERROR_SUCCESS) {
        RegCloseKey(productKey);
        WinExec(MAINTENANCE_COMMAND_LINE, MAINTENANCE_SHOW_COMMAND);
        return 0;
    }

    RemoveRegistryEntries();
    CloseCompanionWindow();
    RemoveDevices();
    // Second file pass: the first one deleted the package INF, so this finds
    // the next copy of it, if any, or the same INF when its deletion failed.
    RemoveDriverFiles();
    return 0;
}
