// Package INF location and the INF text reader.
#include "uninstall.h"

BOOL OpenInfTextReader(InfTextReader *reader, const char *path)
{
    (void)reader;
    (void)path;
    return FALSE;
}

BOOL ReadInfLine(InfTextReader *reader, char line[LINE_BUFFER_SIZE])
{
    (void)reader;
    (void)line;
    return FALSE;
}

void CloseInfTextReader(InfTextReader *reader)
{
    (void)reader;
}

void FindPackageInf(PackageInf *inf)
{
    inf->found = FALSE;
}
