// What the simulated services share: the journal and fault hook that every
// entry point goes through, the last error, and the per-service hooks that
// the machine's reset, load and save call.
#ifndef UNINSTALL_PLATFORM_SIM_SIM_INTERNAL_H
#define UNINSTALL_PLATFORM_SIM_SIM_INTERNAL_H

#include <string>

#include "sim.h"

namespace sim {

// Every entry point calls Enter exactly once, first. It returns 0 when the
// call goes ahead, or the error code an injected fault makes it fail with.
// Calls that cannot fail (GetLastError, Sleep, SetupCloseInfFile) pass
// faultable false and are never counted by the countdown.
DWORD Enter(const char *name, bool faultable = true);

// Every entry point records itself exactly once, last, with the result as
// text; the record takes the last error as it stands then.
void Record(const char *name, const std::string &args, const std::string &result);
// As Record, flagged as a call the simulation does not model or a handle it
// does not know; such a record fails the test that made it.
void RecordUnexpected(const char *name, const std::string &args, const std::string &why);

void SetError(DWORD error);
DWORD LastError();

// The usual ends of an entry point: a BOOL call fails with error (nonzero)
// or succeeds; a registry call returns its status, which is also the last
// error. Each records the call.
BOOL ReturnBool(const char *name, const std::string &args, DWORD error);
LONG ReturnStatus(const char *name, const std::string &args, LONG status);

// Argument formatting for the journal.
std::string Quote(const char *text); // "text", or NULL
std::string Hex(uint64_t value);
std::string Dec(int64_t value);
std::string Ptr(const void *pointer);
std::string GuidText(const GUID &guid);

// ASCII case-insensitive comparison, as Windows names compare.
bool SameName(const std::string &a, const std::string &b);
std::string Lower(std::string text);
std::string ReadHostFile(const std::string &hostPath, bool *ok = nullptr);
void WriteHostFile(const std::string &hostPath, const std::string &content);

// Files: resolve a Windows path to the host. Returns 0 and the host path of
// the existing entry, ERROR_FILE_NOT_FOUND with the host path it would have,
// or ERROR_PATH_NOT_FOUND / ERROR_INVALID_NAME.
DWORD ResolvePath(const char *windowsPath, std::string *hostPath);
// The host path back as a Windows path below C:.
std::string WindowsPathOf(const std::string &hostPath);

// Per-service hooks of the machine.
void ResetRegistry();
void ResetFiles(const std::string &driveRoot);
void ResetWindows();
void ResetInf();
void ResetDevices();

// Handles still open, one line each, for leak checks.
std::string RegistryHandlesText();
std::string FileHandlesText();
std::string InfHandlesText();
std::string DeviceHandlesText();

std::string AttributesText();
void LoadAttributesText(const std::string &text);
std::string WindowsText();
void LoadWindowsText(const std::string &text);
std::string DevicesText();
void LoadDevicesText(const std::string &text);

} // namespace sim

#endif // UNINSTALL_PLATFORM_SIM_SIM_INTERNAL_H
