// Driver file removal: every line after the package INF's catalog line that
// contains "=1" names a driver file, up to the "[DestinationDirs]" header.
// Each is deleted from <System>\drivers and, for names of user-mode parts
// (".ax", ".exe", ".dll"), from <Windows>\SysWOW64; then the INF goes, and
// the PNF that Windows keeps beside it.
#include <stdio.h>
#include <string.h>

#include "uninstall.h"

// The three characters cut from a file line: "=1" and its line feed.
enum { FILE_LINE_TAIL = 3 };

// The INF is text from the package: a name that is empty, "." or "..", or
// holds a path separator or a drive colon would reach outside the folder it
// is appended to, so it names no driver file.
static BOOL IsPlainFileName(const char *name)
{
    if (name[0] == '\0' || strcmp(name, ".") == 0 || strcmp(name, "..") == 0) {
        return FALSE;
    }
    return strpbrk(name, "\\/:") == NULL;
}

// Forms "<directory>\<folder>\<name>" from a fresh directory query. A failed
// query or a path longer than the buffer forms nothing: a path cut short
// could name another file.
static BOOL FormDeletionPath(char path[PATH_BUFFER_SIZE], BOOL systemDirectory, const char *folder,
                             const char *name)
{
    char directory[PATH_BUFFER_SIZE];
    UINT length = systemDirectory ? GetSystemDirectoryA(directory, PATH_BUFFER_SIZE)
                                  : GetWindowsDirectoryA(directory, PATH_BUFFER_SIZE);
    if (length == 0 || length >= PATH_BUFFER_SIZE) {
        return FALSE;
    }
    int formed = snprintf(path, PATH_BUFFER_SIZE, "%s\\%s\\%s", directory, folder, name);
    return formed > 0 && formed < PATH_BUFFER_SIZE;
}

static void DeleteNamedFile(const char *line)
{
    size_t length = strlen(line);
    if (length < FILE_LINE_TAIL) {
        return; // a last line "=1" without a line feed names nothing
    }
    char name[LINE_BUFFER_SIZE];
    memcpy(name, line, length - FILE_LINE_TAIL);
    name[length - FILE_LINE_TAIL] = '\0';
    if (!IsPlainFileName(name)) {
        return;
    }

    char path[PATH_BUFFER_SIZE];
    if (FormDeletionPath(path, TRUE, "drivers", name)) {
        ForceDeleteFile(path);
    }

    // Lower-cased only after the drivers deletion, which uses the name as read.
    LowerCaseAscii(name);
    if (TextContains(name, ".ax") || TextContains(name, ".exe") || TextContains(name, ".dll")) {
        if (FormDeletionPath(path, FALSE, "SysWOW64", name)) {
            ForceDeleteFile(path);
        }
    }
}

BOOL ForceDeleteFile(const char *path)
{
    // Clear read-only first: DeleteFileA refuses read-only files. A folder is
    // never deleted by DeleteFileA, so its attributes are left as they are.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFileAttributesA(path, attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
    }
    BOOL deleted = DeleteFileA(path);
    if (!deleted) {
        GetLastError();
    }
    return deleted;
}

BOOL RemoveDriverFiles(void)
{
    PackageInf inf;
    FindPackageInf(&inf);
    if (!inf.found) {
        return FALSE;
    }

    char line[LINE_BUFFER_SIZE];
    while (ReadInfLine(&inf.reader, line)) {
        if (TextContains(line, FILE_LINE_MARK)) {
            DeleteNamedFile(line);
        }
        // Tested on the line as read, after that line's own file is handled.
        if (TextContains(line, FILE_LIST_END_MARK)) {
            break;
        }
    }
    // The reader grants no delete sharing: close it before deleting the INF.
    CloseInfTextReader(&inf.reader);

    ForceDeleteFile(inf.path);

    // OEM7.inf has its precompiled form beside it as OEM7.PNF.
    char pnfPath[PATH_BUFFER_SIZE];
    size_t length = strlen(inf.path);
    memcpy(pnfPath, inf.path, length - 3);
    memcpy(pnfPath + length - 3, "PNF", 4);
    return ForceDeleteFile(pnfPath);
}
