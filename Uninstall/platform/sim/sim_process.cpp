// The native program's machine: the folder named by UNINSTALL_MACHINE is
// loaded before main runs and saved back by the exit handlers that run
// after main returns, so the logic's own main stays the program's entry.
// Without the variable the program runs on an empty machine and saves nothing.
#include <stdlib.h>

#include <string>

#include "sim.h"

namespace {

std::string &MachineFolder()
{
    static std::string folder;
    return folder;
}

void SaveAtExit()
{
    sim::SaveMachine(MachineFolder());
}

struct LoadBeforeMain {
    LoadBeforeMain()
    {
        const char *folder = getenv("UNINSTALL_MACHINE");
        if (folder == nullptr || *folder == '\0') {
            return;
        }
        MachineFolder() = folder;
        sim::LoadMachine(folder);
        atexit(SaveAtExit);
    }
};

const LoadBeforeMain loadBeforeMain;

} // namespace
