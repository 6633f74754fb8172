// The two text rules every test on INF and device text uses.
#include <string.h>

#include "uninstall.h"

BOOL TextContains(const char *text, const char *part)
{
    return strstr(text, part) != NULL;
}

void LowerCaseAscii(char *text)
{
    for (; *text != '\0'; ++text) {
        if (*text >= 'A' && *text <= 'Z') {
            *text = (char)(*text + ('a' - 'A'));
        }
    }
}
