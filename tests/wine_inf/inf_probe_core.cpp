// The probe's report, the same text whichever SetupAPI it runs on.
#include "inf_probe_core.h"

#include <stdio.h>
#include <string.h>

#include "platform.h"

namespace {

const unsigned PROBE_FIELD_SIZE = 64; // the size the program reads hardware IDs with
const unsigned char UNTOUCHED = 0xCC;

// One field, as "f<n>=ok "text"" or "f<n>=fail <error>"; a failed read must
// leave the buffer alone, which the sentinel fill shows.
void PrintField(INFCONTEXT *context, DWORD index)
{
    char buffer[PROBE_FIELD_SIZE];
    memset(buffer, UNTOUCHED, sizeof buffer);
    ProbeSetSentinelError();
    if (SetupGetStringFieldA(context, index, buffer, PROBE_FIELD_SIZE, NULL)) {
        printf(" f%u=ok \"", (unsigned)index);
        for (const unsigned char *p = (const unsigned char *)buffer; *p != 0; ++p) {
            if (*p < 0x20 || *p >= 0x7F || *p == '\\' || *p == '"') {
                printf("\\x%02x", *p);
            } else {
                putchar(*p);
            }
        }
        putchar('"');
        return;
    }
    DWORD error = GetLastError();
    bool touched = false;
    for (unsigned i = 0; i < PROBE_FIELD_SIZE; ++i) {
        touched = touched || (unsigned char)buffer[i] != UNTOUCHED;
    }
    printf(" f%u=fail 0x%08lx%s", (unsigned)index, (unsigned long)error, touched ? " buffer-touched" : "");
}

} // namespace

int ProbeInf(const char *path, int sectionCount, char **sections)
{
    ProbeSetSentinelError();
    HINF inf = SetupOpenInfFileA(path, NULL, INF_STYLE_WIN4, NULL);
    if (inf == INVALID_HANDLE_VALUE) {
        printf("open: fail 0x%08lx\n", (unsigned long)GetLastError());
        return 0;
    }
    printf("open: ok\n");
    for (int s = 0; s < sectionCount; ++s) {
        INFCONTEXT context;
        printf("[%s]\n", sections[s]);
        ProbeSetSentinelError();
        if (!SetupFindFirstLineA(inf, sections[s], NULL, &context)) {
            printf("first: fail 0x%08lx\n", (unsigned long)GetLastError());
            continue;
        }
        int line = 1;
        for (;;) {
            printf("line %d:", line);
            for (DWORD field = 0; field <= 3; ++field) {
                PrintField(&context, field);
            }
            printf("\n");
            ProbeSetSentinelError();
            if (!SetupFindNextLine(&context, &context)) {
                printf("next: fail 0x%08lx\n", (unsigned long)GetLastError());
                break;
            }
            ++line;
        }
    }
    SetupCloseInfFile(inf);
    return 0;
}
