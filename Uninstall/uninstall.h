// Shared types, constants and operations of the uninstaller: a one-shot,
// silent program that removes the Ondrevix webcam driver package (registry
// entries, companion window, devices, driver files, package INF and PNF).
#ifndef UNINSTALL_UNINSTALL_H
#define UNINSTALL_UNINSTALL_H

#include <stdint.h>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Limits and buffer sizes
// ---------------------------------------------------------------------------
enum {
    PATH_BUFFER_SIZE = 256,          // a path, a directory query
    LINE_BUFFER_SIZE = 256,          // one INF read: 255 bytes and a zero byte
    HARDWARE_ID_SLOTS = 64,          // entries of the hardware-ID table
    HARDWARE_ID_SIZE = 64,           // one entry: 63 characters and a zero byte
    HARDWARE_ID_PROPERTY_SIZE = 256, // a device's hardware-ID multi-string
    INF_SCAN_LAST_INDEX = 100,       // OEM0.inf .. OEM100.inf
    INF_READ_BUFFER_SIZE = 65536     // the INF text reader's own buffer
};

// ---------------------------------------------------------------------------
// Entry and sequence
// ---------------------------------------------------------------------------
static const char PRODUCT_KEY_PATH[] = "SOFTWARE\\Velmorin\\Ondrevix";

// The maintenance program's path, quoted: unquoted, the blanks in it make
// process start try C:\Program.exe first (an unquoted search path).
static const char MAINTENANCE_COMMAND_LINE[] =
    "\"C:\\Program Files\\InstallShield Installation Information\\"
    "{6D1A4C27-8E5B-4B90-9F13-2C7A05E4B8D6}\\setup.exe\"";
static const UINT MAINTENANCE_SHOW_COMMAND = SW_SHOW;

static const char COMPANION_WINDOW_CLASS[] = "#32770"; // the system dialog class
static const char COMPANION_NAME[] = "Halvoren";       // window title and Run value
static const DWORD COMPANION_CLOSE_WAIT_MS = 1000;
// Upper bound on the close request, so a hung companion cannot hold an
// unattended uninstall for ever.
static const UINT COMPANION_CLOSE_TIMEOUT_MS = 10000;

// ---------------------------------------------------------------------------
// Registry cleanup
// ---------------------------------------------------------------------------
static const char UNINSTALL_KEY_PATH[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
static const char PRODUCT_CODE[] = "{6D1A4C27-8E5B-4B90-9F13-2C7A05E4B8D6}";
static const char RUN_KEY_PATH[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// ---------------------------------------------------------------------------
// Package INF
// ---------------------------------------------------------------------------
static const char CATALOG_LINE[] = "CatalogFile.ntx86=usbvelm.cat";
static const char MODELS_SECTION[] = "Velmorin.NTamd64";
static const char FILE_LINE_MARK[] = "=1";
static const char FILE_LIST_END_MARK[] = "[DestinationDirs]";
static const char IMAGE_CLASS_NAME[] = "image";

// Read-only text-mode reader over one INF file. Carriage return and line
// feed pairs are delivered as one line feed, the first Ctrl-Z ends the file.
// The buffer holds the file's bytes as read, cut off at the first Ctrl-Z,
// with a zero byte behind them so that whole blocks can be searched as text.
struct InfTextReader {
    HANDLE file;
    DWORD size;   // bytes of buffer a refill may use: INF_READ_BUFFER_SIZE
    DWORD next;   // index of the next undelivered byte in buffer
    DWORD filled; // bytes held in buffer
    BOOL ended;   // end of file, Ctrl-Z or a failed read: nothing more comes
    char buffer[INF_READ_BUFFER_SIZE + 1];
};

struct PackageInf {
    BOOL found;
    char path[PATH_BUFFER_SIZE];
    InfTextReader reader; // open when found; the caller closes it
};

// The process-wide table of lower-cased hardware IDs from the package INF.
struct HardwareIdTable {
    char entries[HARDWARE_ID_SLOTS][HARDWARE_ID_SIZE];
    int32_t count;
};

extern HardwareIdTable g_hardwareIdTable;

// ---------------------------------------------------------------------------
// Operations
// ---------------------------------------------------------------------------
void RemoveRegistryEntries(void);

BOOL OpenInfTextReader(InfTextReader *reader, const char *path);
BOOL ReadInfLine(InfTextReader *reader, char line[LINE_BUFFER_SIZE]);
void CloseInfTextReader(InfTextReader *reader);
void FindPackageInf(PackageInf *inf);

// The reader with a buffer of only size bytes (at least 2), so that tests
// and the fuzz target can put refills anywhere in a file.
BOOL OpenInfTextReaderWithBufferSize(InfTextReader *reader, const char *path, DWORD size);
// Reads on until a read's text contains CATALOG_LINE: TRUE with that read in
// line and the reader just after it, FALSE when the file ends first.
BOOL ReadToCatalogLine(InfTextReader *reader, char line[LINE_BUFFER_SIZE]);

void CollectHardwareIds(void);
BOOL RemoveDevices(void);

BOOL ForceDeleteFile(const char *path);
BOOL RemoveDriverFiles(void);

// Text rules shared by every test the program makes on INF and device text:
// "contains" is a byte-wise, case-sensitive substring test up to the first
// zero byte; lower-casing changes A to Z only, whatever the locale.
BOOL TextContains(const char *text, const char *part);
void LowerCaseAscii(char *text);

#endif // UNINSTALL_UNINSTALL_H
