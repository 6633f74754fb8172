// The probe's native twin: the same report through the simulated Windows.
// inf_probe_sim <host path of an INF> <section>...; the file is placed on
// the simulated drive and opened there.
#include <stdio.h>

#include <fstream>
#include <sstream>

#include "inf_probe_core.h"
#include "sim.h"
#include "sim_internal.h"

void ProbeSetSentinelError(void)
{
    sim::SetError(SENTINEL_ERROR);
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: inf_probe_sim <INF host path> <section>...\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        fprintf(stderr, "inf_probe_sim: cannot read %s\n", argv[1]);
        return 2;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    sim::Reset();
    static char path[] = "C:\\probe\\probe.inf";
    sim::AddFile(path, bytes.str());
    int result = ProbeInf(path, argc - 2, argv + 2);
    std::string unexpected = sim::UnexpectedCalls();
    if (!unexpected.empty()) {
        printf("unexpected calls:\n%s", unexpected.c_str());
        return 1;
    }
    return result;
}
