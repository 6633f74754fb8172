// The simulated device installer: setup classes, the devices of each class,
// device information sets and the removal request.
//
// Model. The machine has a list of installed setup classes, each a name and
// a GUID; names compare without regard to ASCII case. A fresh machine has
// "image" = {6BDD1FC6-810F-11D0-BEC7-08002BE2092F} [Wine]; a test may remove
// it. A device belongs to a class by name, has an instance ID (unique on the
// machine, compared without regard to case), is present or not, and has a
// hardware-ID property (a list of IDs, the most specific first) or none. A
// device whose class is not installed has no class GUID: it is listed under
// GUID_NULL, as devices without a class are on Windows. Each device has a
// device-node number, its DevInst.
//
// SetupDiClassGuidsFromNameA fills the list with the GUIDs of the installed
//   classes of that name and sets RequiredSize to their number. With none it
//   succeeds with RequiredSize 0 and writes nothing; with more than the list
//   holds it fails with 122 and writes nothing (both undocumented; chosen as
//   the documented pattern of the SetupDi calls suggests).
// SetupDiGetClassDevsA takes a snapshot: the devices of the class, present
//   and not present alike with flags 0, only present ones with
//   DIGCF_PRESENT, every class with DIGCF_ALLCLASSES [Wine: flags 0 lists
//   devices that are not present]. An unknown class GUID gives an empty set.
//   An enumerator is not modelled.
// SetupDiEnumDeviceInfo counts from 0 and fails with 259 past the last
//   member [Wine]; a record whose cbSize is not that of SP_DEVINFO_DATA
//   fails with ERROR_INVALID_USER_BUFFER (documented for an output record).
//   The record gets the class GUID, the DevInst and, in Reserved, a token
//   that names the member within its set.
// SetupDiGetDeviceRegistryPropertyA models SPDRP_HARDWAREID only: a
//   REG_MULTI_SZ (each ID and its zero byte, then one more zero byte). A
//   device with no property fails with ERROR_INVALID_DATA; a buffer too small
//   fails with 122, sets RequiredSize and leaves the buffer untouched. An
//   input record with the wrong cbSize fails with ERROR_INVALID_PARAMETER.
// SetupDiCallClassInstaller models DIF_REMOVE only: the device leaves the
//   machine [Wine], unless its removal is vetoed (an installer answering with
//   an error, e.g. 5 for a caller without administrative rights), in which
//   case the call fails with that error. The member stays in the set, as on
//   Windows, with its DevInst set to 0; later calls on a device that is gone
//   fail with ERROR_NO_SUCH_DEVINST.
// SetupDiDestroyDeviceInfoList releases the set, also when a failure is
//   injected (its result is then FALSE).
// A set handle the simulation did not hand out (INVALID_HANDLE_VALUE too), a
// record that no enumeration of that set filled, and any property, install
// function, flag or enumerator not listed above are recorded as unexpected.
// A successful call leaves the last error as it was.
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>

#include "sim_internal.h"

namespace sim {

namespace {

const GUID IMAGE_CLASS_GUID = {0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
const GUID NULL_GUID = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

const DWORD ERROR_NO_SUCH_DEVINST_VALUE = 0xE000020B;
const DWORD REG_MULTI_SZ_TYPE = 7;

struct SetupClass {
    std::string name;
    GUID guid;
};

struct StoredDevice {
    std::string className;
    Device device;
    DWORD devInst;
};

struct Member {
    std::string instanceId;
    GUID classGuid;
    DWORD devInst; // 0 once the device has been removed through this set
    ULONG_PTR token;
};

struct DeviceSet {
    std::vector<Member> members;
};

struct DeviceState {
    std::vector<SetupClass> classes;
    std::vector<StoredDevice> devices;
    std::map<std::string, std::pair<std::string, DWORD>> vetoes; // by lower-cased instance ID
    std::map<uintptr_t, DeviceSet> sets;
    DWORD nextDevInst = 1;
    uintptr_t nextSet = 0xDE0001;
    ULONG_PTR nextToken = 0x7000;
};

DeviceState &State()
{
    static DeviceState state;
    return state;
}

bool SameGuid(const GUID &a, const GUID &b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

const SetupClass *FindClass(const std::string &name)
{
    for (const SetupClass &setupClass : State().classes) {
        if (SameName(setupClass.name, name)) {
            return &setupClass;
        }
    }
    return nullptr;
}

// The class GUID of a device: that of its installed class, or GUID_NULL.
GUID ClassGuidOf(const StoredDevice &device)
{
    const SetupClass *setupClass = FindClass(device.className);
    return setupClass != nullptr ? setupClass->guid : NULL_GUID;
}

StoredDevice *FindDevice(DWORD devInst)
{
    for (StoredDevice &device : State().devices) {
        if (device.devInst == devInst) {
            return &device;
        }
    }
    return nullptr;
}

DeviceSet *FindSet(HDEVINFO handle)
{
    auto found = State().sets.find(reinterpret_cast<uintptr_t>(handle));
    return found == State().sets.end() ? nullptr : &found->second;
}

Member *FindMember(DeviceSet *set, const SP_DEVINFO_DATA *data)
{
    if (set == nullptr || data == nullptr) {
        return nullptr;
    }
    for (Member &member : set->members) {
        if (member.token == data->Reserved) {
            return &member;
        }
    }
    return nullptr;
}

std::string HandleText(HDEVINFO handle)
{
    return Hex(reinterpret_cast<uintptr_t>(handle));
}

// "0", or the flag names joined by " | ".
std::string FlagsText(DWORD flags)
{
    std::string text;
    if ((flags & DIGCF_PRESENT) != 0) {
        text = "DIGCF_PRESENT";
    }
    if ((flags & DIGCF_ALLCLASSES) != 0) {
        text += std::string(text.empty() ? "" : " | ") + "DIGCF_ALLCLASSES";
    }
    DWORD rest = flags & ~static_cast<DWORD>(DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (rest != 0 || text.empty()) {
        text += std::string(text.empty() ? "" : " | ") + (rest != 0 ? Hex(rest) : "0");
    }
    return text;
}

std::string BoolText(BOOL result)
{
    return result ? "TRUE" : "FALSE";
}

// Fails the call with error: sets the last error and records it.
GUID ParseGuid(const std::string &text)
{
    GUID guid{};
    unsigned int d1 = 0, d2 = 0, d3 = 0, b[8] = {};
    int read = std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2],
                           &b[3], &b[4], &b[5], &b[6], &b[7]);
    if (read != 11 || text.size() != 38) {
        throw std::runtime_error("devices.txt: not a GUID: " + text);
    }
    guid.Data1 = d1;
    guid.Data2 = static_cast<uint16_t>(d2);
    guid.Data3 = static_cast<uint16_t>(d3);
    for (int i = 0; i < 8; ++i) {
        guid.Data4[i] = static_cast<uint8_t>(b[i]);
    }
    return guid;
}

} // namespace

// ---- Machine hooks ---------------------------------------------------------

void ResetDevices()
{
    State() = DeviceState();
    State().classes.push_back({"image", IMAGE_CLASS_GUID});
}

std::string DeviceHandlesText()
{
    std::string text;
    for (const auto &set : State().sets) {
        text += "device information set " + Hex(set.first) + " (" +
                Dec(static_cast<int64_t>(set.second.members.size())) + " devices)\n";
    }
    return text;
}

// devices.txt: one item a line, fields separated by blanks; "#" starts a
// comment line. It is read on top of a fresh machine, which has the class
// "image".
//
//   class image {6BDD1FC6-810F-11D0-BEC7-08002BE2092F}   a setup class
//   no-class image                                       a class not installed
//   device image USB\VID_0C45&PID_62C0\5&1A2B&0&2 present USB\VID_0C45&PID_62C0&REV_0100 USB\VID_0C45&PID_62C0
//   device image ROOT\IMAGE\0000 absent                  not present, no hardware-ID property
//   veto ROOT\IMAGE\0000 5                               its removal fails with 5
//
// A device line gives the class name, the instance ID, "present" or
// "absent", then the hardware IDs, the most specific first (hardware IDs
// hold no blanks).
std::string DevicesText()
{
    const DeviceState &state = State();
    std::ostringstream out;
    if (FindClass("image") == nullptr) {
        out << "no-class image\n";
    }
    for (const SetupClass &setupClass : state.classes) {
        out << "class " << setupClass.name << ' ' << GuidText(setupClass.guid) << '\n';
    }
    for (const StoredDevice &stored : state.devices) {
        out << "device " << stored.className << ' ' << stored.device.instanceId << ' '
            << (stored.device.present ? "present" : "absent");
        for (const std::string &id : stored.device.hardwareIds) {
            out << ' ' << id;
        }
        out << '\n';
    }
    for (const auto &veto : state.vetoes) {
        out << "veto " << veto.second.first << ' ' << veto.second.second << '\n';
    }
    return out.str();
}

void LoadDevicesText(const std::string &text)
{
    ResetDevices();
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        std::istringstream fields(line);
        std::string kind;
        if (!(fields >> kind) || kind[0] == '#') {
            continue;
        }
        std::string name, third;
        if (kind == "class" && fields >> name >> third) {
            AddSetupClass(name, ParseGuid(third));
        } else if (kind == "no-class" && fields >> name) {
            RemoveSetupClass(name);
        } else if (kind == "device" && fields >> name >> third) {
            Device device;
            device.instanceId = third;
            std::string presence;
            fields >> presence;
            if (presence != "present" && presence != "absent") {
                throw std::runtime_error("devices.txt line " + std::to_string(number) + ": present or absent expected");
            }
            device.present = presence == "present";
            for (std::string id; fields >> id;) {
                device.hardwareIds.push_back(id);
            }
            AddDevice(name, device);
        } else if (kind == "veto" && fields >> name >> third) {
            VetoRemoval(name, static_cast<DWORD>(std::stoul(third, nullptr, 0)));
        } else {
            throw std::runtime_error("devices.txt line " + std::to_string(number) + ": cannot read: " + line);
        }
    }
}

// ---- Test API --------------------------------------------------------------

void AddSetupClass(const std::string &name, const GUID &guid)
{
    for (SetupClass &setupClass : State().classes) {
        if (SameName(setupClass.name, name)) {
            setupClass.guid = guid;
            return;
        }
    }
    State().classes.push_back({name, guid});
}

void RemoveSetupClass(const std::string &name)
{
    std::vector<SetupClass> &classes = State().classes;
    for (auto it = classes.begin(); it != classes.end();) {
        it = SameName(it->name, name) ? classes.erase(it) : it + 1;
    }
}

void AddDevice(const std::string &className, const Device &device)
{
    DeviceState &state = State();
    for (StoredDevice &stored : state.devices) {
        if (SameName(stored.device.instanceId, device.instanceId)) {
            stored.className = className;
            stored.device = device;
            return;
        }
    }
    state.devices.push_back({className, device, state.nextDevInst++});
}

std::vector<Device> Devices(const std::string &className)
{
    std::vector<Device> devices;
    for (const StoredDevice &stored : State().devices) {
        if (SameName(stored.className, className)) {
            devices.push_back(stored.device);
        }
    }
    return devices;
}

void VetoRemoval(const std::string &instanceId, DWORD error)
{
    State().vetoes[Lower(instanceId)] = {instanceId, error};
}

} // namespace sim

// ---- Entry points ----------------------------------------------------------

using namespace sim;

BOOL WINAPI SetupDiClassGuidsFromNameA(PCSTR ClassName, LPGUID ClassGuidList, DWORD ClassGuidListSize,
                                       PDWORD RequiredSize)
{
    static const char NAME[] = "SetupDiClassGuidsFromNameA";
    DWORD fault = Enter(NAME);
    std::string args = Quote(ClassName) + ", " + Dec(ClassGuidListSize);
    if (ClassName == nullptr || (ClassGuidList == nullptr && ClassGuidListSize != 0)) {
        RecordUnexpected(NAME, args, "no class name, or no list for a nonzero size");
        return FALSE;
    }
    if (fault != 0) {
        return ReturnBool(NAME, args, fault);
    }
    std::vector<GUID> guids;
    for (const SetupClass &setupClass : State().classes) {
        if (SameName(setupClass.name, ClassName)) {
            guids.push_back(setupClass.guid);
        }
    }
    if (RequiredSize != nullptr) {
        *RequiredSize = static_cast<DWORD>(guids.size());
    }
    std::string required = ", required " + Dec(static_cast<int64_t>(guids.size()));
    if (guids.size() > ClassGuidListSize) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        Record(NAME, args, "FALSE" + required);
        return FALSE;
    }
    std::string result = "TRUE" + required;
    for (size_t i = 0; i < guids.size(); ++i) {
        ClassGuidList[i] = guids[i];
        result += ", " + GuidText(guids[i]);
    }
    Record(NAME, args, result);
    return TRUE;
}

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID *ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags)
{
    static const char NAME[] = "SetupDiGetClassDevsA";
    (void)hwndParent;
    DWORD fault = Enter(NAME);
    std::string args = (ClassGuid != nullptr ? GuidText(*ClassGuid) : std::string("NULL")) + ", " +
                       Quote(Enumerator) + ", " + FlagsText(Flags);
    bool allClasses = (Flags & DIGCF_ALLCLASSES) != 0;
    if ((Flags & ~static_cast<DWORD>(DIGCF_PRESENT | DIGCF_ALLCLASSES)) != 0 || Enumerator != nullptr ||
        (ClassGuid == nullptr && !allClasses)) {
        RecordUnexpected(NAME, args, "flags, enumerator or class not modelled");
        return INVALID_HANDLE_VALUE;
    }
    if (fault != 0) {
        SetError(fault);
        Record(NAME, args, "INVALID_HANDLE_VALUE");
        return INVALID_HANDLE_VALUE;
    }
    DeviceState &state = State();
    DeviceSet set;
    for (const StoredDevice &stored : state.devices) {
        GUID guid = ClassGuidOf(stored);
        if (!allClasses && !SameGuid(guid, *ClassGuid)) {
            continue;
        }
        if ((Flags & DIGCF_PRESENT) != 0 && !stored.device.present) {
            continue;
        }
        set.members.push_back({stored.device.instanceId, guid, stored.devInst, state.nextToken++});
    }
    uintptr_t handle = state.nextSet++;
    size_t count = set.members.size();
    state.sets[handle] = set;
    Record(NAME, args, Hex(handle) + " (" + Dec(static_cast<int64_t>(count)) + " devices)");
    return reinterpret_cast<HDEVINFO>(handle);
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData)
{
    static const char NAME[] = "SetupDiEnumDeviceInfo";
    DWORD fault = Enter(NAME);
    std::string args = HandleText(DeviceInfoSet) + ", " + Dec(MemberIndex) + ", cbSize " +
                       (DeviceInfoData != nullptr ? Dec(DeviceInfoData->cbSize) : std::string("NULL"));
    DeviceSet *set = FindSet(DeviceInfoSet);
    if (set == nullptr || DeviceInfoData == nullptr) {
        SetError(ERROR_INVALID_HANDLE);
        RecordUnexpected(NAME, args, "unknown set handle or no record");
        return FALSE;
    }
    if (fault != 0) {
        return ReturnBool(NAME, args, fault);
    }
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        return ReturnBool(NAME, args, ERROR_INVALID_USER_BUFFER);
    }
    if (MemberIndex >= set->members.size()) {
        return ReturnBool(NAME, args, ERROR_NO_MORE_ITEMS);
    }
    const Member &member = set->members[MemberIndex];
    DeviceInfoData->ClassGuid = member.classGuid;
    DeviceInfoData->DevInst = member.devInst;
    DeviceInfoData->Reserved = member.token;
    Record(NAME, args, "TRUE " + member.instanceId);
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize)
{
    static const char NAME[] = "SetupDiGetDeviceRegistryPropertyA";
    DWORD fault = Enter(NAME);
    Member *member = FindMember(FindSet(DeviceInfoSet), DeviceInfoData);
    std::string args = HandleText(DeviceInfoSet) + ", " + (member != nullptr ? member->instanceId : "?") + ", " +
                       (Property == SPDRP_HARDWAREID ? std::string("SPDRP_HARDWAREID") : Hex(Property)) + ", " +
                       Dec(PropertyBufferSize);
    if (member == nullptr || Property != SPDRP_HARDWAREID || (PropertyBuffer == nullptr && PropertyBufferSize != 0)) {
        SetError(ERROR_INVALID_PARAMETER);
        RecordUnexpected(NAME, args, "unknown set or record, or a property not modelled");
        return FALSE;
    }
    if (fault != 0) {
        return ReturnBool(NAME, args, fault);
    }
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        return ReturnBool(NAME, args, ERROR_INVALID_PARAMETER);
    }
    const StoredDevice *stored = member->devInst != 0 ? FindDevice(member->devInst) : nullptr;
    if (stored == nullptr) {
        return ReturnBool(NAME, args, ERROR_NO_SUCH_DEVINST_VALUE);
    }
    if (stored->device.hardwareIds.empty()) {
        return ReturnBool(NAME, args, ERROR_INVALID_DATA);
    }
    std::string multiString;
    for (const std::string &id : stored->device.hardwareIds) {
        multiString += id;
        multiString += '\0';
    }
    multiString += '\0';
    DWORD size = static_cast<DWORD>(multiString.size());
    if (RequiredSize != nullptr) {
        *RequiredSize = size;
    }
    if (size > PropertyBufferSize) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        Record(NAME, args, "FALSE, required " + Dec(size));
        return FALSE;
    }
    std::memcpy(PropertyBuffer, multiString.data(), size);
    if (PropertyRegDataType != nullptr) {
        *PropertyRegDataType = REG_MULTI_SZ_TYPE;
    }
    Record(NAME, args, "TRUE, " + Dec(size) + " bytes");
    return TRUE;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData)
{
    static const char NAME[] = "SetupDiCallClassInstaller";
    DWORD fault = Enter(NAME);
    Member *member = FindMember(FindSet(DeviceInfoSet), DeviceInfoData);
    std::string args = (InstallFunction == DIF_REMOVE ? std::string("DIF_REMOVE") : Hex(InstallFunction)) + ", " +
                       HandleText(DeviceInfoSet) + ", " + (member != nullptr ? member->instanceId : "?");
    if (member == nullptr || InstallFunction != DIF_REMOVE) {
        SetError(ERROR_INVALID_PARAMETER);
        RecordUnexpected(NAME, args, "unknown set or record, or an install function not modelled");
        return FALSE;
    }
    if (fault != 0) {
        return ReturnBool(NAME, args, fault);
    }
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        return ReturnBool(NAME, args, ERROR_INVALID_PARAMETER);
    }
    std::vector<StoredDevice> &devices = State().devices;
    auto stored = devices.end();
    for (auto it = devices.begin(); it != devices.end(); ++it) {
        if (member->devInst != 0 && it->devInst == member->devInst) {
            stored = it;
        }
    }
    if (stored == devices.end()) {
        return ReturnBool(NAME, args, ERROR_NO_SUCH_DEVINST_VALUE);
    }
    auto veto = State().vetoes.find(Lower(stored->device.instanceId));
    if (veto != State().vetoes.end()) {
        return ReturnBool(NAME, args, veto->second.second);
    }
    devices.erase(stored);
    member->devInst = 0;
    DeviceInfoData->DevInst = 0;
    Record(NAME, args, "TRUE");
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet)
{
    static const char NAME[] = "SetupDiDestroyDeviceInfoList";
    DWORD fault = Enter(NAME);
    std::string args = HandleText(DeviceInfoSet);
    if (FindSet(DeviceInfoSet) == nullptr) {
        SetError(ERROR_INVALID_HANDLE);
        RecordUnexpected(NAME, args, "unknown set handle");
        return FALSE;
    }
    // A release made to fail still releases the set: what is checked for
    // leaks is whether the caller released what it obtained.
    State().sets.erase(reinterpret_cast<uintptr_t>(DeviceInfoSet));
    if (fault != 0) {
        return ReturnBool(NAME, args, fault);
    }
    Record(NAME, args, BoolText(TRUE));
    return TRUE;
}
