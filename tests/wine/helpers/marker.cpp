// Stands for a program that a scenario expects to be started, or not: it
// appends its own path and its command line to the file named by the
// environment variable MARKER_LOG, then ends. A windows-subsystem program,
// like the installer's maintenance program it stands for.
#include <windows.h>

#include <stdio.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show)
{
    char log[MAX_PATH];
    if (GetEnvironmentVariableA("MARKER_LOG", log, sizeof log) == 0) {
        return 1;
    }
    char self[MAX_PATH] = "";
    GetModuleFileNameA(NULL, self, sizeof self);
    // Two markers may start at once: retry while the other one holds the log.
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileA(log, FILE_APPEND_DATA, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            char line[2 * MAX_PATH + 64];
            int length = snprintf(line, sizeof line, "%s\t%s\t%d\n", self, GetCommandLineA(), show);
            DWORD written = 0;
            WriteFile(file, line, (DWORD)length, &written, NULL);
            CloseHandle(file);
            return 0;
        }
        Sleep(10);
    }
    return 2;
}
