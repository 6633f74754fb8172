// The simulated Windows: the machine that the uninstaller's Win32 calls act
// on when it is built for Linux, and the API that tests use to set such a
// machine up, run the program against it and inspect it afterwards.
//
// Model, service by service (confirmed under Wine 8 where marked [Wine]):
//
// Registry. HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER hold trees of keys with
//   values; names compare without regard to ASCII case. The 32-bit view is
//   the subtree SOFTWARE\WOW6432Node, which a 64-bit caller without
//   KEY_WOW64_32KEY never sees. A key can deny full access: opening it with
//   any right beyond KEY_READ fails with 5, and so does deleting it. A
//   missing key gives 2. RegDeleteKeyA refuses a key with subkeys with 5
//   [Wine]; RegDeleteValueA needs KEY_SET_VALUE on the handle.
//
// Files. A host folder stands for drive C:. A Windows path is made absolute
//   by collapsing "." and "..", treating "/" as "\", dropping trailing dots
//   and blanks of a component, then mapping each component to the host entry
//   whose name equals it without regard to ASCII case [Wine: OEM7.inf opens
//   oem7.inf]. A colon past the drive fails with 3 [Wine]. Attributes other
//   than DIRECTORY live in the simulation (a file has ARCHIVE by default).
//   DeleteFileA refuses a read-only file and a folder with 5 [Wine], a
//   protected file (an ACL or PnpLockDown) with 5, and a file that is open
//   without delete sharing, by this process or by another one ("locked"),
//   with 32. Attribute changes work on locked files [Wine].
//
// Windows. Top-level windows with a class and a title; FindWindowA compares
//   both without regard to case [Wine] and returns the first open match. A
//   window either handles WM_CLOSE (it records the message and closes) or
//   hangs (it records nothing handled; SendMessageTimeoutA gives up with
//   ERROR_TIMEOUT after its limit, which the virtual clock advances by).
//
// Processes. WinExec resolves its command line as process creation does: a
//   quoted first token is the program; an unquoted one is tried a blank at a
//   time, ".exe" appended when the candidate has no extension, so an
//   unquoted "C:\Program Files\..." starts C:\Program.exe when that exists
//   [Wine]. It returns 33 when a program starts, 2 when none is found.
//
// Pause. Sleep only advances the virtual clock; tests never really wait.
//
// Devices. Installed setup classes by name ("image" on a fresh machine
//   [Wine]) and the devices of each class, present or not, with their
//   hardware IDs. A device information set is a snapshot of a class's
//   devices (flags 0: present or not [Wine]); DIF_REMOVE takes a device off
//   the machine [Wine] unless its installer vetoes it. The details, and the
//   devices.txt format, are at the top of sim_devices.cpp.
//
// Journal and faults. Every entry point appends one record: its name, its
// arguments as text, its result and the last error. A call the simulation
// does not model, or one on a handle it does not know, is recorded as
// unexpected. Any call that can fail can be made to fail with a chosen
// error, by name or by a countdown over all calls (the n-th once, or every
// call from the n-th on).
#ifndef UNINSTALL_PLATFORM_SIM_SIM_H
#define UNINSTALL_PLATFORM_SIM_SIM_H

#include <cstdint>
#include <string>
#include <vector>

#include "../platform.h"

namespace sim {

// ---- Machine ---------------------------------------------------------------

// An empty machine: no keys, an empty drive C: in a fresh temporary folder,
// no windows, no devices, an empty journal, no faults, the clock at 0.
void Reset();

// A machine folder holds registry.reg, the folder C, attributes.txt,
// windows.txt and devices.txt (each optional). Loading works on the folder in
// place: file deletions happen there. Saving writes the registry, the
// attributes, the windows, the devices and journal.txt back.
void LoadMachine(const std::string &folder);
void SaveMachine(const std::string &folder);

// The host folder that stands for C:.
std::string DriveRoot();

// ---- Registry --------------------------------------------------------------
// Key paths begin with the root's full name, e.g.
// "HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmorin\\Ondrevix".

void AddKey(const std::string &key);
void SetValue(const std::string &key, const std::string &name, const std::string &data);
void DenyFullAccess(const std::string &key);
bool KeyExists(const std::string &key);
bool ValueExists(const std::string &key, const std::string &name);
// The whole registry in .reg form, keys in tree order.
std::string ExportRegistry();
void ImportRegistry(const std::string &regText);

// ---- Files -----------------------------------------------------------------
// Windows paths ("C:\\Windows\\inf\\oem7.inf"); folders are made as needed.

void AddFile(const std::string &path, const std::string &content, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
void AddFolder(const std::string &path);
bool FileExists(const std::string &path);
// The attributes as GetFileAttributesA reports them, without journaling.
DWORD Attributes(const std::string &path);
std::string FileContent(const std::string &path);
// Held open by another process without delete sharing: it cannot be deleted.
void LockFile(const std::string &path);
// Deletion denied by the file's security: DeleteFileA fails with 5.
void ProtectFile(const std::string &path);
// Every file below C:, as sorted Windows paths.
std::vector<std::string> ListFiles();

// What the directory queries return; an empty text makes them fail.
void SetWindowsDirectory(const std::string &path);

// ---- Windows ---------------------------------------------------------------

struct Message {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

HWND AddWindow(const std::string &className, const std::string &title, bool hangs = false);
bool WindowOpen(HWND window);
std::vector<Message> MessagesTo(HWND window);

// ---- Processes and time ----------------------------------------------------

struct StartedProgram {
    std::string program; // the Windows path that was started
    std::string commandLine;
    UINT show;
};

std::vector<StartedProgram> Started();
uint64_t ClockMs();

// ---- Devices ---------------------------------------------------------------

struct Device {
    std::string instanceId;
    std::vector<std::string> hardwareIds; // empty: the device has no such property
    bool present;
};

// A setup class; the "image" class is installed on a fresh machine.
void AddSetupClass(const std::string &name, const GUID &guid);
void RemoveSetupClass(const std::string &name);
// A device of the named setup class.
void AddDevice(const std::string &className, const Device &device);
std::vector<Device> Devices(const std::string &className);
// The removal request for this device fails (an installer veto) with error.
void VetoRemoval(const std::string &instanceId, DWORD error);

// ---- Journal ---------------------------------------------------------------

struct Call {
    std::string name;
    std::string args;
    std::string result;
    DWORD lastError;
    bool injected;   // an injected fault made this call fail
    bool unexpected; // not modelled, or on a handle the simulation does not know
};

const std::vector<Call> &Journal();
void ClearJournal();
std::string JournalText();
// One line a call: "Name(args) = result".
std::string CallText(const Call &call);
// The names of the journaled calls, in order.
std::vector<std::string> CallNames();
// Records flagged unexpected, as text; empty when there are none.
std::string UnexpectedCalls();
// Handles the program opened and has not closed (keys, files, INF handles,
// device information sets), one line each; empty when there are none.
std::string LeakedHandles();

// ---- Faults ----------------------------------------------------------------

// Fail the occurrence-th call of name (1 for the first) with error; with
// persistent, that call and every later call of name fail.
void FailCall(const std::string &name, DWORD error, int occurrence = 1, bool persistent = false);
// Countdown over every call that can fail, whatever its name: the n-th call
// fails, and with persistent every later one too, each with its usual error.
void FailNthCall(int n, bool persistent);
void ClearFaults();
// How many calls an injected fault has made fail so far.
int FaultsHit();
// How many calls that can fail have been made so far.
int FaultableCalls();

} // namespace sim

#endif // UNINSTALL_PLATFORM_SIM_SIM_H
