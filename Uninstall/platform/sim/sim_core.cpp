// The simulated machine as a whole: its journal of calls, the fault plan,
// the last error, the virtual clock, and loading and saving a machine folder.
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "sim_internal.h"

namespace sim {
namespace {

struct FaultRule {
    std::string name; // empty: the countdown over every faultable call
    DWORD error;      // 0: the call's usual error
    int occurrence;
    bool persistent;
};

struct Core {
    std::vector<Call> journal;
    std::vector<FaultRule> faults;
    std::map<std::string, int> callsByName;
    int faultableCalls = 0;
    int faultsHit = 0;
    bool pendingInjected = false;
    DWORD lastError = 0;
    std::string tempRoot; // the temporary machine folder Reset made, if any
};

Core &core()
{
    static Core instance;
    return instance;
}

// The error a call fails with when a countdown fault names no error.
DWORD UsualError(const std::string &name)
{
    static const std::map<std::string, DWORD> errors = {
        {"RegOpenKeyExA", ERROR_ACCESS_DENIED},
        {"RegDeleteKeyA", ERROR_ACCESS_DENIED},
        {"RegDeleteValueA", ERROR_ACCESS_DENIED},
        {"RegCloseKey", ERROR_INVALID_HANDLE},
        {"GetWindowsDirectoryA", ERROR_NOT_ENOUGH_MEMORY},
        {"GetSystemDirectoryA", ERROR_NOT_ENOUGH_MEMORY},
        {"CreateFileA", ERROR_ACCESS_DENIED},
        {"ReadFile", ERROR_READ_FAULT},
        {"CloseHandle", ERROR_INVALID_HANDLE},
        {"DeleteFileA", ERROR_ACCESS_DENIED},
        {"SendMessageTimeoutA", ERROR_TIMEOUT},
        {"WinExec", ERROR_FILE_NOT_FOUND},
        {"SetupOpenInfFileA", ERROR_FILE_NOT_FOUND},
        {"SetupFindFirstLineA", ERROR_LINE_NOT_FOUND},
        {"SetupFindNextLine", ERROR_LINE_NOT_FOUND},
        {"SetupGetStringFieldA", ERROR_INVALID_PARAMETER},
        {"SetupDiGetDeviceRegistryPropertyA", ERROR_INVALID_DATA},
    };
    auto found = errors.find(name);
    return found == errors.end() ? ERROR_ACCESS_DENIED : found->second;
}

void RemoveTree(const std::string &path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        if (DIR *dir = opendir(path.c_str())) {
            while (dirent *entry = readdir(dir)) {
                if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
                    RemoveTree(path + "/" + entry->d_name);
                }
            }
            closedir(dir);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

void RemoveTempRoot()
{
    if (!core().tempRoot.empty()) {
        RemoveTree(core().tempRoot);
        core().tempRoot.clear();
    }
}

void ResetCore()
{
    Core &c = core();
    c.journal.clear();
    c.faults.clear();
    c.callsByName.clear();
    c.faultableCalls = 0;
    c.faultsHit = 0;
    c.pendingInjected = false;
    c.lastError = 0;
}

void ResetServices(const std::string &driveRoot)
{
    ResetCore();
    ResetRegistry();
    ResetFiles(driveRoot);
    ResetWindows();
    ResetInf();
    ResetDevices();
}

} // namespace

// ---- Hook ------------------------------------------------------------------

DWORD Enter(const char *name, bool faultable)
{
    Core &c = core();
    c.pendingInjected = false;
    if (!faultable) {
        return 0;
    }
    int byName = ++c.callsByName[name];
    int overall = ++c.faultableCalls;
    for (const FaultRule &rule : c.faults) {
        int count = rule.name.empty() ? overall : (rule.name == name ? byName : 0);
        if (count == 0) {
            continue;
        }
        if (count == rule.occurrence || (rule.persistent && count > rule.occurrence)) {
            c.faultsHit++;
            c.pendingInjected = true;
            return rule.error != 0 ? rule.error : UsualError(name);
        }
    }
    return 0;
}

void Record(const char *name, const std::string &args, const std::string &result)
{
    Core &c = core();
    c.journal.push_back(Call{name, args, result, c.lastError, c.pendingInjected, false});
    c.pendingInjected = false;
}

void RecordUnexpected(const char *name, const std::string &args, const std::string &why)
{
    Core &c = core();
    c.journal.push_back(Call{name, args, "unexpected: " + why, c.lastError, c.pendingInjected, true});
    c.pendingInjected = false;
}

void SetError(DWORD error)
{
    core().lastError = error;
}

DWORD LastError()
{
    return core().lastError;
}

BOOL ReturnBool(const char *name, const std::string &args, DWORD error)
{
    if (error != 0) {
        SetError(error);
        Record(name, args, "FALSE");
        return FALSE;
    }
    Record(name, args, "TRUE");
    return TRUE;
}

LONG ReturnStatus(const char *name, const std::string &args, LONG status)
{
    SetError(static_cast<DWORD>(status));
    Record(name, args, Dec(status));
    return status;
}

// ---- Formatting ------------------------------------------------------------

std::string Quote(const char *text)
{
    if (text == nullptr) {
        return "NULL";
    }
    std::string quoted = "\"";
    for (const char *p = text; *p != '\0'; ++p) {
        unsigned char ch = static_cast<unsigned char>(*p);
        if (ch < 0x20 || ch >= 0x7F) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02X", ch);
            quoted += escaped;
        } else {
            quoted += *p;
        }
    }
    return quoted + "\"";
}

std::string Hex(uint64_t value)
{
    char text[32];
    snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string Dec(int64_t value)
{
    return std::to_string(value);
}

std::string Ptr(const void *pointer)
{
    if (pointer == nullptr) {
        return "NULL";
    }
    return Hex(reinterpret_cast<uintptr_t>(pointer));
}

std::string GuidText(const GUID &guid)
{
    char text[64];
    snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
             guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
             guid.Data4[6], guid.Data4[7]);
    return text;
}

std::string Lower(std::string text)
{
    for (char &ch : text) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch + ('a' - 'A'));
        }
    }
    return text;
}

bool SameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && Lower(a) == Lower(b);
}

std::string ReadHostFile(const std::string &hostPath, bool *ok)
{
    std::ifstream in(hostPath, std::ios::binary);
    if (ok != nullptr) {
        *ok = static_cast<bool>(in);
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteHostFile(const std::string &hostPath, const std::string &content)
{
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out << content;
}

// ---- Test API: machine -----------------------------------------------------

void Reset()
{
    RemoveTempRoot();
    std::string pattern = (getenv("TMPDIR") != nullptr ? std::string(getenv("TMPDIR")) : std::string("/tmp")) +
                          "/uninstall-sim-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        abort();
    }
    core().tempRoot = buffer.data();
    static bool cleanupRegistered = false;
    if (!cleanupRegistered) {
        cleanupRegistered = true;
        atexit(RemoveTempRoot);
    }
    std::string drive = core().tempRoot + "/C";
    mkdir(drive.c_str(), 0755);
    ResetServices(drive);
}

void LoadMachine(const std::string &folder)
{
    RemoveTempRoot();
    std::string drive = folder + "/C";
    mkdir(drive.c_str(), 0755);
    ResetServices(drive);
    bool ok = false;
    std::string text = ReadHostFile(folder + "/registry.reg", &ok);
    if (ok) {
        ImportRegistry(text);
    }
    text = ReadHostFile(folder + "/attributes.txt", &ok);
    if (ok) {
        LoadAttributesText(text);
    }
    text = ReadHostFile(folder + "/windows.txt", &ok);
    if (ok) {
        LoadWindowsText(text);
    }
    text = ReadHostFile(folder + "/devices.txt", &ok);
    if (ok) {
        LoadDevicesText(text);
    }
}

void SaveMachine(const std::string &folder)
{
    WriteHostFile(folder + "/registry.reg", ExportRegistry());
    WriteHostFile(folder + "/attributes.txt", AttributesText());
    WriteHostFile(folder + "/windows.txt", WindowsText());
    WriteHostFile(folder + "/devices.txt", DevicesText());
    WriteHostFile(folder + "/journal.txt", JournalText());
}

// ---- Test API: journal -----------------------------------------------------

const std::vector<Call> &Journal()
{
    return core().journal;
}

void ClearJournal()
{
    core().journal.clear();
}

std::string CallText(const Call &call)
{
    std::string text = call.name + "(" + call.args + ") = " + call.result;
    if (call.injected) {
        text += " [injected]";
    }
    return text;
}

std::string JournalText()
{
    std::string text;
    for (const Call &call : core().journal) {
        text += CallText(call) + "\n";
    }
    return text;
}

std::vector<std::string> CallNames()
{
    std::vector<std::string> names;
    for (const Call &call : core().journal) {
        names.push_back(call.name);
    }
    return names;
}

std::string UnexpectedCalls()
{
    std::string text;
    for (const Call &call : core().journal) {
        if (call.unexpected) {
            text += CallText(call) + "\n";
        }
    }
    return text;
}

// ---- Test API: faults ------------------------------------------------------

void FailCall(const std::string &name, DWORD error, int occurrence, bool persistent)
{
    core().faults.push_back(FaultRule{name, error, occurrence, persistent});
}

void FailNthCall(int n, bool persistent)
{
    core().faults.push_back(FaultRule{"", 0, n, persistent});
}

void ClearFaults()
{
    core().faults.clear();
}

int FaultsHit()
{
    return core().faultsHit;
}

int FaultableCalls()
{
    return core().faultableCalls;
}

} // namespace sim

DWORD WINAPI GetLastError(void)
{
    sim::Enter("GetLastError", false);
    DWORD error = sim::LastError();
    sim::Record("GetLastError", "", sim::Dec(error));
    return error;
}

std::string sim::LeakedHandles()
{
    return RegistryHandlesText() + FileHandlesText() + InfHandlesText() + DeviceHandlesText();
}
