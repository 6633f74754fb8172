// Driver file removal: the files the package INF names, the INF and its PNF.
#include "uninstall.h"

BOOL ForceDeleteFile(const char *path)
{
    (void)path;
    return FALSE;
}

BOOL RemoveDriverFiles(void)
{
    return FALSE;
}
