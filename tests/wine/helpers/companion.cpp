// Stands for the companion application: a top-level dialog of the system
// dialog class "#32770" titled "Halvoren". It records every WM_CLOSE with
// its wParam and lParam in LOGFILE and closes on the first one.
//
//   companion LOGFILE [normal|hang-before|hang-on-close]
//
// hang-before: once the window is up its thread stops handling messages.
// hang-on-close: WM_CLOSE is recorded, then the thread never returns.
// Either way a watchdog thread ends the process when LOGFILE.stop appears
// or after two minutes, so that a scenario's machine always winds down.
// LOGFILE gets "ready" once the window exists and "exit" at a normal end.
#include <windows.h>

#include <stdio.h>
#include <string.h>

static char g_log[MAX_PATH];
static char g_stop[MAX_PATH + 8];
static int g_mode; // 0 normal, 1 hang-before, 2 hang-on-close

static void Record(const char *text)
{
    HANDLE file = CreateFileA(g_log, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, text, (DWORD)strlen(text), &written, NULL);
    WriteFile(file, "\n", 1, &written, NULL);
    CloseHandle(file);
}

static DWORD WINAPI Watchdog(LPVOID)
{
    for (int tick = 0; tick < 1200; ++tick) {
        if (GetFileAttributesA(g_stop) != INVALID_FILE_ATTRIBUTES) {
            break;
        }
        Sleep(100);
    }
    Record("watchdog");
    ExitProcess(0);
    return 0;
}

static const UINT WM_APP_READY = WM_APP + 1;

static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowTextA(window, "Halvoren");
        PostMessageA(window, WM_APP_READY, 0, 0);
        return TRUE;
    case WM_APP_READY:
        Record("ready");
        if (g_mode == 1) {
            Sleep(INFINITE);
        }
        return TRUE;
    case WM_CLOSE: {
        char line[128];
        snprintf(line, sizeof line, "WM_CLOSE wParam=%llu lParam=%lld", (unsigned long long)wParam,
                 (long long)lParam);
        Record(line);
        if (g_mode == 2) {
            Sleep(INFINITE);
        }
        DestroyWindow(window);
        return TRUE;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        return 100;
    }
    snprintf(g_log, sizeof g_log, "%s", argv[1]);
    snprintf(g_stop, sizeof g_stop, "%s.stop", argv[1]);
    if (argc > 2 && strcmp(argv[2], "hang-before") == 0) {
        g_mode = 1;
    } else if (argc > 2 && strcmp(argv[2], "hang-on-close") == 0) {
        g_mode = 2;
    }
    CreateThread(NULL, 0, Watchdog, NULL, 0, NULL);

    // An empty dialog template: a visible popup with a caption.
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialog;
    memset(&dialog, 0, sizeof dialog);
    dialog.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    dialog.header.cx = 120;
    dialog.header.cy = 40;
    HWND window = CreateDialogIndirectParamA(GetModuleHandleA(NULL), &dialog.header, NULL, DialogProc, 0);
    if (window == NULL) {
        char line[64];
        snprintf(line, sizeof line, "no window (error %lu)", GetLastError());
        Record(line);
        return 2;
    }
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    Record("exit");
    return 0;
}
