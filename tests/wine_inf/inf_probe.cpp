// The probe on Windows (or under Wine): inf_probe <INF path> <section>...
#include <stdio.h>

#include "inf_probe_core.h"
#include "platform.h"

void ProbeSetSentinelError(void)
{
    SetLastError(SENTINEL_ERROR);
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: inf_probe <INF path> <section>...\n");
        return 2;
    }
    return ProbeInf(argv[1], argc - 2, argv + 2);
}
