// Package INF location and the INF text reader: which of OEM0.inf to
// OEM100.inf in <Windows>\inf is the package INF, and how INF text is cut
// into reads for every test the program makes on it.
#include <stdio.h>
#include <string.h>

#include "uninstall.h"

enum {
    CATALOG_LENGTH = sizeof(CATALOG_LINE) - 1,
    READ_LENGTH = LINE_BUFFER_SIZE - 1, // bytes of text one read yields at most
    CTRL_Z = 0x1A
};

// Moves the undelivered bytes to the front of the buffer and reads more of
// the file behind them. The file ends for good at its end, at a failed read
// or at its first Ctrl-Z, whose bytes from there on are never kept.
static void FillInfBuffer(InfTextReader *reader)
{
    DWORD kept = reader->filled - reader->next;
    memmove(reader->buffer, reader->buffer + reader->next, kept);
    reader->next = 0;
    reader->filled = kept;
    if (!reader->ended && kept < reader->size) {
        char *space = reader->buffer + kept;
        DWORD wanted = reader->size - kept;
        DWORD got = 0;
        if (!ReadFile(reader->file, space, wanted, &got, NULL) || got == 0) {
            reader->ended = TRUE;
        } else {
            if (got > wanted) {
                got = wanted;
            }
            const char *ctrlZ = (const char *)memchr(space, CTRL_Z, got);
            if (ctrlZ != NULL) {
                got = (DWORD)(ctrlZ - space);
                reader->ended = TRUE;
            }
            reader->filled += got;
        }
    }
    reader->buffer[reader->filled] = '\0';
}

BOOL OpenInfTextReaderWithBufferSize(InfTextReader *reader, const char *path, DWORD size)
{
    // Read and write sharing, no delete sharing: other programs may go on
    // using the file, but it cannot be deleted under the reader.
    reader->file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (reader->file == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    // Two bytes at least: a carriage return and the byte that decides it.
    if (size < 2) {
        size = 2;
    }
    if (size > INF_READ_BUFFER_SIZE) {
        size = INF_READ_BUFFER_SIZE;
    }
    reader->size = size;
    reader->next = 0;
    reader->filled = 0;
    reader->ended = FALSE;
    reader->buffer[0] = '\0';
    return TRUE;
}

BOOL OpenInfTextReader(InfTextReader *reader, const char *path)
{
    return OpenInfTextReaderWithBufferSize(reader, path, INF_READ_BUFFER_SIZE);
}

BOOL ReadInfLine(InfTextReader *reader, char line[LINE_BUFFER_SIZE])
{
    DWORD length = 0;
    while (length < READ_LENGTH) {
        if (reader->next == reader->filled) {
            FillInfBuffer(reader);
            if (reader->filled == 0) {
                break;
            }
        }
        char delivered = reader->buffer[reader->next];
        if (delivered == '\r') {
            // Whether it pairs with a line feed may be up to the next block.
            if (reader->next + 1 == reader->filled) {
                FillInfBuffer(reader);
            }
            if (reader->next + 1 < reader->filled && reader->buffer[reader->next + 1] == '\n') {
                ++reader->next;
                delivered = '\n';
            }
        }
        ++reader->next;
        line[length++] = delivered;
        if (delivered == '\n') {
            break;
        }
    }
    if (length == 0) {
        return FALSE;
    }
    line[length] = '\0';
    return TRUE;
}

void CloseInfTextReader(InfTextReader *reader)
{
    if (reader->file != INVALID_HANDLE_VALUE) {
        CloseHandle(reader->file);
        reader->file = INVALID_HANDLE_VALUE;
    }
}

// The first place at or after from where the held bytes spell CATALOG_LINE
// in full, or filled when there is none.
static DWORD FindCatalogText(const InfTextReader *reader, DWORD from)
{
    const char *text = reader->buffer + from;
    const char *end = reader->buffer + reader->filled;
    // Text without zero bytes, the usual case, is searched as one string.
    const char *hit = strstr(text, CATALOG_LINE);
    if (hit != NULL) {
        return (DWORD)(hit - reader->buffer);
    }
    // Past a zero byte (UTF-16 text has one in every other byte), each
    // place that begins like the catalog text is compared in full.
    const char *at = text + strlen(text);
    while (end - at > CATALOG_LENGTH) {
        at = (const char *)memchr(at + 1, CATALOG_LINE[0], (size_t)(end - at - 1));
        if (at == NULL || end - at < CATALOG_LENGTH) {
            break;
        }
        if (memcmp(at, CATALOG_LINE, CATALOG_LENGTH) == 0) {
            return (DWORD)(at - reader->buffer);
        }
    }
    return reader->filled;
}

// Where the read that holds the byte at `at` begins, for a reader whose next
// byte begins a read. Up to `at` nothing ends a read early: a line feed
// begins a new read behind it, and from there a read is cut every 255
// bytes, each held byte being delivered as itself. The one byte that is not,
// a carriage return before a line feed, is ruled out by the caller: the
// byte at `at` is never a line feed that follows a carriage return.
static DWORD ReadStartOf(const InfTextReader *reader, DWORD at)
{
    DWORD lineStart = at;
    while (lineStart > reader->next && reader->buffer[lineStart - 1] != '\n') {
        --lineStart;
    }
    return lineStart + (at - lineStart) / READ_LENGTH * READ_LENGTH;
}

BOOL ReadToCatalogLine(InfTextReader *reader, char line[LINE_BUFFER_SIZE])
{
    // Whole blocks are searched for the catalog text first: a read can only
    // contain it where the held bytes spell it, since the text holds no
    // carriage return, line feed, Ctrl-Z or zero byte. Each such place is
    // then confirmed by an exact read from the start of the read that holds
    // it, as the cut at 255 bytes or a zero byte in front of the text may
    // still hide it from that read.
    for (;;) {
        DWORD hit = FindCatalogText(reader, reader->next);
        if (hit < reader->filled) {
            reader->next = ReadStartOf(reader, hit);
        } else if (reader->ended) {
            return FALSE;
        } else {
            // No text in full here; it may begin in the last bytes and end
            // in the next block, so keep those from the start of their read.
            if (reader->filled - reader->next >= CATALOG_LENGTH) {
                DWORD keepFrom = reader->filled - (CATALOG_LENGTH - 1);
                if (reader->buffer[keepFrom] == '\n') {
                    ++keepFrom;
                }
                reader->next = ReadStartOf(reader, keepFrom);
            }
            if (reader->filled - reader->next < reader->size) {
                FillInfBuffer(reader);
                continue;
            }
            // A buffer too small to move on by blocks: one exact read.
        }
        if (!ReadInfLine(reader, line)) {
            return FALSE;
        }
        if (TextContains(line, CATALOG_LINE)) {
            return TRUE;
        }
    }
}

// Forms the path of candidate n in path, from <Windows> fetched anew. FALSE
// when the directory query fails or the path would not fit: such a
// candidate is one that cannot be opened.
static BOOL FormatCandidatePath(char path[PATH_BUFFER_SIZE], int n)
{
    UINT length = GetWindowsDirectoryA(path, PATH_BUFFER_SIZE);
    // A failed query returns 0, one that does not fit the size it needs;
    // either way the buffer holds nothing usable.
    if (length == 0 || length >= PATH_BUFFER_SIZE) {
        return FALSE;
    }
    path[length] = '\0';
    size_t used = strlen(path);
    int added = snprintf(path + used, PATH_BUFFER_SIZE - used, "\\inf\\OEM%d.inf", n);
    return added > 0 && (size_t)added < PATH_BUFFER_SIZE - used;
}

void FindPackageInf(PackageInf *inf)
{
    char line[LINE_BUFFER_SIZE];
    inf->found = FALSE;
    for (int n = 0; n <= INF_SCAN_LAST_INDEX; ++n) {
        if (!FormatCandidatePath(inf->path, n)) {
            continue;
        }
        if (!OpenInfTextReader(&inf->reader, inf->path)) {
            continue;
        }
        if (ReadToCatalogLine(&inf->reader, line)) {
            inf->found = TRUE;
            return;
        }
        CloseInfTextReader(&inf->reader);
    }
}
