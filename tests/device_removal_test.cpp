// RemoveDevices against the simulated device installer: which devices of the
// class "image" get a removal request, and that a missing class, a failing
// call or a refused removal never stops the walk or the file pass after it.
//
// Most cases fill the hardware-ID table directly on a machine with no package
// INF, where the collection finds nothing and leaves the table as set; the
// cases that show the order of the steps put a package INF on the machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const GUID CAMERA_GUID = {0xCA3E7AB9, 0xB4C3, 0x4AE6, {0x82, 0x51, 0x57, 0x9E, 0xF9, 0x33, 0x89, 0x0F}};
const GUID USB_GUID = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

const char WEBCAM[] = "USB\\VID_0C45&PID_62C0\\5&1A2B3C&0&2";
const char WEBCAM_ID[] = "USB\\VID_0C45&PID_62C0&REV_0100";
const char WEBCAM_ENTRY[] = "usb\\vid_0c45&pid_62c0";

// A package INF as Windows keeps it: the catalog line marks it, the 64-bit
// models section names the webcam, one driver file follows the catalog line.
const char PACKAGE_INF[] = "[Version]\r\n"
                           "Signature=\"$Windows NT$\"\r\n"
                           "Class=Image\r\n"
                           "ClassGuid={6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\r\n"
                           "CatalogFile.ntx86=usbvelm.cat\r\n"
                           "\r\n"
                           "[SourceDisksFiles]\r\n"
                           "velmcam.sys=1\r\n"
                           "\r\n"
                           "[DestinationDirs]\r\n"
                           "DefaultDestDir=12\r\n"
                           "\r\n"
                           "[Manufacturer]\r\n"
                           "%Mfg%=Velmorin,NTamd64\r\n"
                           "\r\n"
                           "[Velmorin.NTamd64]\r\n"
                           "%Cam%=CamInstall,USB\\VID_0C45&PID_62C0\r\n"
                           "\r\n"
                           "[Strings]\r\n"
                           "Mfg=\"Velmorin\"\r\n"
                           "Cam=\"Ondrevix USB camera\"\r\n";
const char PACKAGE_INF_PATH[] = "C:\\Windows\\inf\\oem3.inf";

void SetTable(const std::vector<std::string> &entries)
{
    std::memset(&g_hardwareIdTable, 0, sizeof(g_hardwareIdTable));
    for (size_t slot = 0; slot < entries.size(); ++slot) {
        std::strcpy(g_hardwareIdTable.entries[slot], entries[slot].c_str());
    }
    g_hardwareIdTable.count = static_cast<int32_t>(entries.size());
}

std::vector<sim::Call> CallsNamed(const std::string &name)
{
    std::vector<sim::Call> calls;
    for (const sim::Call &call : sim::Journal()) {
        if (call.name == name) {
            calls.push_back(call);
        }
    }
    return calls;
}

// The instance ID a device call names: the last argument of a removal
// request, the second of a property read.
int RemovalRequests(const std::string &instanceId)
{
    int requests = 0;
    for (const sim::Call &call : CallsNamed("SetupDiCallClassInstaller")) {
        const std::string suffix = ", " + instanceId;
        requests += call.args.size() >= suffix.size() &&
                    call.args.compare(call.args.size() - suffix.size(), suffix.size(), suffix) == 0;
    }
    return requests;
}

std::vector<std::string> PropertiesRead()
{
    std::vector<std::string> ids;
    for (const sim::Call &call : CallsNamed("SetupDiGetDeviceRegistryPropertyA")) {
        size_t start = call.args.find(", ") + 2;
        ids.push_back(call.args.substr(start, call.args.find(", ", start) - start));
    }
    return ids;
}

bool Installed(const std::string &className, const std::string &instanceId)
{
    for (const sim::Device &device : sim::Devices(className)) {
        if (device.instanceId == instanceId) {
            return true;
        }
    }
    return false;
}

size_t FirstIndexOf(const std::string &name)
{
    std::vector<std::string> names = sim::CallNames();
    return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

size_t LastIndexOf(const std::string &name)
{
    std::vector<std::string> names = sim::CallNames();
    auto found = std::find(names.rbegin(), names.rend(), name);
    return found == names.rend() ? names.size() : static_cast<size_t>(names.rend() - found - 1);
}

// No call the simulation refuses, and every set obtained released.
void ExpectCleanRun(const std::string &name)
{
    EXPECT_EQ("", sim::UnexpectedCalls()) << name << "\n" << sim::JournalText();
    EXPECT_EQ("", sim::LeakedHandles()) << name;
}

class DeviceRemoval : public SimTest {};

// One webcam in the class "image" against one table: is it removed?
TEST_F(DeviceRemoval, MatchesTheFirstHardwareIdOnly)
{
    const std::string longId = "USB\\VID_0C45&PID_62C0&REV_0100&MI_00";
    // The multi-string holds the first ID, the second ID and three zero bytes.
    const std::string filler256(256 - longId.size() - 3, 'X');
    struct Case {
        const char *name;
        std::vector<std::string> table;
        std::vector<std::string> hardwareIds;
        bool removed;
    } cases[] = {
        {"the entry is the first ID", {WEBCAM_ENTRY}, {"USB\\VID_0C45&PID_62C0"}, true},
        {"the entry begins a longer first ID", {WEBCAM_ENTRY}, {longId, "USB\\VID_0C45&PID_62C0"}, true},
        {"the entry inside the first ID", {"vid_0c45&pid_62c0&rev"}, {WEBCAM_ID}, true},
        {"capitals and small letters mixed", {WEBCAM_ENTRY}, {"usb\\Vid_0C45&pId_62c0"}, true},
        {"the entry is only the second ID", {WEBCAM_ENTRY}, {"USB\\VID_1BCF&PID_2C99", "USB\\VID_0C45&PID_62C0"}, false},
        {"the first ID is a prefix of the entry", {WEBCAM_ENTRY}, {"USB\\VID_0C45&PID_62C"}, false},
        {"another maker's device", {WEBCAM_ENTRY}, {"USB\\VID_1BCF&PID_2C99&MI_00"}, false},
        {"the property fills 256 bytes", {WEBCAM_ENTRY}, {longId, filler256}, true},
        {"the property needs 257 bytes", {WEBCAM_ENTRY}, {longId, filler256 + "X"}, false},
        {"no hardware-ID property", {WEBCAM_ENTRY}, {}, false},
        {"bytes above 0x7F are not folded", {"usb\\vid_0c45&pid_62c0\xe4"}, {"USB\\VID_0C45&PID_62C0\xc4"}, false},
        {"bytes above 0x7F equal", {"usb\\vid_0c45&pid_62c0\xe4"}, {"USB\\VID_0C45&PID_62C0\xe4"}, true},
        {"the match is in a later slot", {"usb\\vid_1bcf", "usb\\vid_0c45"}, {WEBCAM_ID}, true},
        {"an empty entry matches nothing", {""}, {WEBCAM_ID}, false},
        {"an empty entry is passed over", {"", WEBCAM_ENTRY}, {WEBCAM_ID}, true},
    };
    for (const Case &c : cases) {
        sim::Reset();
        sim::AddDevice("image", Dev(WEBCAM, c.hardwareIds));
        SetTable(c.table);

        EXPECT_TRUE(RemoveDevices()) << c.name << ": the release's result";

        EXPECT_EQ(c.removed, !Installed("image", WEBCAM)) << c.name;
        EXPECT_EQ(c.removed ? 1 : 0, RemovalRequests(WEBCAM)) << c.name;
        EXPECT_EQ(std::vector<std::string>{WEBCAM}, PropertiesRead()) << c.name;
        ExpectCleanRun(c.name);
    }
}

TEST_F(DeviceRemoval, EveryMatchingDeviceGetsOneRequestAndNonPresentOnesToo)
{
    sim::AddDevice("image", Dev("USB\\VID_0C45&PID_62C0\\1", {WEBCAM_ID}, true));
    sim::AddDevice("image", Dev("USB\\VID_0C45&PID_62C0\\2", {WEBCAM_ID}, false));
    sim::AddDevice("image", Dev("USB\\VID_1BCF&PID_2C99\\1", {"USB\\VID_1BCF&PID_2C99&REV_0001"}, true));
    sim::AddDevice("image", Dev("USB\\VID_0C45&PID_62C1\\1", {"USB\\VID_0C45&PID_62C1&MI_00"}, false));
    // The webcam contains all three entries, the last one twice.
    SetTable({"usb\\vid_0c45&pid_62c0", "usb\\vid_0c45", "usb\\vid_0c45", "usb\\vid_0c45&pid_62c1"});

    RemoveDevices();

    EXPECT_EQ(1, RemovalRequests("USB\\VID_0C45&PID_62C0\\1"));
    EXPECT_EQ(1, RemovalRequests("USB\\VID_0C45&PID_62C0\\2")) << "not present";
    EXPECT_EQ(0, RemovalRequests("USB\\VID_1BCF&PID_2C99\\1"));
    EXPECT_EQ(1, RemovalRequests("USB\\VID_0C45&PID_62C1\\1")) << "not present, matched by a prefix";
    std::vector<sim::Device> left = sim::Devices("image");
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ("USB\\VID_1BCF&PID_2C99\\1", left[0].instanceId);

    // The walk: flags 0, and a record of 32 bytes at every step, the end included.
    const std::string setArgs = CallsNamed("SetupDiGetClassDevsA")[0].args;
    EXPECT_EQ(", NULL, 0", setArgs.substr(setArgs.size() - 9)) << setArgs;
    std::vector<sim::Call> steps = CallsNamed("SetupDiEnumDeviceInfo");
    ASSERT_EQ(5u, steps.size());
    for (size_t index = 0; index < steps.size(); ++index) {
        EXPECT_NE(std::string::npos, steps[index].args.find(", " + std::to_string(index) + ", cbSize 32"))
            << steps[index].args;
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), steps.back().lastError);
}

TEST_F(DeviceRemoval, AnEmptyTableReadsEveryDeviceAndRemovesNone)
{
    sim::AddDevice("image", Dev("USB\\VID_0C45&PID_62C0\\1", {WEBCAM_ID}, true));
    sim::AddDevice("image", Dev("ROOT\\IMAGE\\0000", {}, false));
    sim::AddDevice("image", Dev("USB\\VID_0C45&PID_62C0\\2", {WEBCAM_ID}, false));

    EXPECT_TRUE(RemoveDevices());

    EXPECT_EQ((std::vector<std::string>{"USB\\VID_0C45&PID_62C0\\1", "ROOT\\IMAGE\\0000", "USB\\VID_0C45&PID_62C0\\2"}),
              PropertiesRead());
    EXPECT_TRUE(CallsNamed("SetupDiCallClassInstaller").empty());
    EXPECT_EQ(3u, sim::Devices("image").size());
}

TEST_F(DeviceRemoval, DevicesOfOtherClassesAreNeverExamined)
{
    sim::AddSetupClass("Camera", CAMERA_GUID);
    sim::AddSetupClass("USB", USB_GUID);
    sim::AddDevice("camera", Dev("USB\\VID_0C45&PID_62C0\\7", {WEBCAM_ID}, true));
    sim::AddDevice("usb", Dev("USB\\VID_0C45&PID_62C0\\8", {"USB\\VID_0C45&PID_62C0"}, false));
    sim::AddDevice("image", Dev(WEBCAM, {WEBCAM_ID}, false));
    SetTable({WEBCAM_ENTRY});

    RemoveDevices();

    EXPECT_EQ(std::vector<std::string>{WEBCAM}, PropertiesRead());
    EXPECT_FALSE(Installed("image", WEBCAM));
    EXPECT_TRUE(Installed("camera", "USB\\VID_0C45&PID_62C0\\7"));
    EXPECT_TRUE(Installed("usb", "USB\\VID_0C45&PID_62C0\\8"));
}

// The lookup of "image" yields no GUID: a list left as it was would name no
// class or some other class (devices whose class is not installed have none,
// GUID_NULL, so a zeroed list would name them). No device is examined; the
// package INF is still read and deleted around the device step.
TEST_F(DeviceRemoval, WithoutTheImageClassNoDeviceIsExamined)
{
    struct Case {
        const char *name;
        bool classInstalled;
        bool lookupFails;
    } cases[] = {
        {"no class named image", false, false},
        {"the lookup fails", true, true},
    };
    for (const Case &c : cases) {
        sim::Reset();
        SetTable({});
        sim::AddFile(PACKAGE_INF_PATH, PACKAGE_INF);
        sim::AddDevice("image", Dev(WEBCAM, {WEBCAM_ID}, false));
        sim::AddDevice("other", Dev("USB\\VID_0C45&PID_62C0\\9", {WEBCAM_ID}, true));
        if (!c.classInstalled) {
            sim::RemoveSetupClass("image");
        }
        if (c.lookupFails) {
            sim::FailCall("SetupDiClassGuidsFromNameA", ERROR_NOT_ENOUGH_MEMORY);
        }

        EXPECT_FALSE(RemoveDevices()) << c.name << ": no set was released";

        EXPECT_EQ(1u, CallsNamed("SetupDiClassGuidsFromNameA").size()) << c.name;
        EXPECT_TRUE(CallsNamed("SetupDiEnumDeviceInfo").empty()) << c.name;
        EXPECT_TRUE(PropertiesRead().empty()) << c.name;
        EXPECT_TRUE(CallsNamed("SetupDiCallClassInstaller").empty()) << c.name;
        EXPECT_TRUE(Installed("image", WEBCAM)) << c.name;
        EXPECT_TRUE(Installed("other", "USB\\VID_0C45&PID_62C0\\9")) << c.name;
        EXPECT_STREQ(WEBCAM_ENTRY, g_hardwareIdTable.entries[0]) << c.name << ": collected first";
        EXPECT_FALSE(sim::FileExists(PACKAGE_INF_PATH)) << c.name << ": the file pass still runs";
        ExpectCleanRun(c.name);
    }
}

// A call that fails part-way ends or skips only its own part: the set is
// still released when it was obtained, and the devices after a failed read or
// a refused removal are still examined and removed.
TEST_F(DeviceRemoval, AFailingCallStopsNothingElse)
{
    const char *first = "USB\\VID_0C45&PID_62C0\\1";
    const char *second = "USB\\VID_0C45&PID_62C0\\2";
    const char *third = "USB\\VID_0C45&PID_62C0\\3";
    struct Case {
        const char *name;
        const char *call; // fails on its occurrence-th call
        int occurrence;
        bool veto; // the first device's installer refuses the removal instead
        std::vector<std::string> left;
        BOOL result;
    } cases[] = {
        {"a removal is refused", nullptr, 0, true, {first}, TRUE},
        {"a removal request fails", "SetupDiCallClassInstaller", 2, false, {second}, TRUE},
        {"a property read fails", "SetupDiGetDeviceRegistryPropertyA", 1, false, {first}, TRUE},
        {"the enumeration fails at the second member", "SetupDiEnumDeviceInfo", 2, false, {second, third}, TRUE},
        {"the release fails", "SetupDiDestroyDeviceInfoList", 1, false, {}, FALSE},
        {"no set is obtained", "SetupDiGetClassDevsA", 1, false, {first, second, third}, FALSE},
    };
    for (const Case &c : cases) {
        sim::Reset();
        sim::AddDevice("image", Dev(first, {WEBCAM_ID}, true));
        sim::AddDevice("image", Dev(second, {WEBCAM_ID}, false));
        sim::AddDevice("image", Dev(third, {WEBCAM_ID}, true));
        SetTable({WEBCAM_ENTRY});
        if (c.veto) {
            sim::VetoRemoval(first, ERROR_ACCESS_DENIED);
        }
        if (c.call != nullptr) {
            sim::FailCall(c.call, ERROR_NOT_ENOUGH_MEMORY, c.occurrence);
        }

        EXPECT_EQ(c.result, RemoveDevices()) << c.name;

        std::vector<std::string> left;
        for (const sim::Device &device : sim::Devices("image")) {
            left.push_back(device.instanceId);
        }
        EXPECT_EQ(c.left, left) << c.name;
        EXPECT_LE(RemovalRequests(first) + RemovalRequests(second) + RemovalRequests(third), 3) << c.name;
        // After a failed request the error is fetched before anything else.
        std::vector<std::string> names = sim::CallNames();
        const std::vector<sim::Call> &journal = sim::Journal();
        for (size_t i = 0; i + 1 < journal.size(); ++i) {
            if (journal[i].name == "SetupDiCallClassInstaller" && journal[i].result == "FALSE") {
                EXPECT_EQ("GetLastError", names[i + 1]) << c.name;
            }
        }
        if (c.call != nullptr && std::string(c.call) == "SetupDiDestroyDeviceInfoList") {
            // A set whose release failed stays open; it was released once.
            EXPECT_EQ(1, CallCount("SetupDiDestroyDeviceInfoList")) << c.name;
            EXPECT_EQ("", sim::UnexpectedCalls()) << c.name;
        } else {
            ExpectCleanRun(c.name);
        }
    }
}

// The hardware IDs are collected from the package INF before any device is
// examined, and the devices are removed before the first file pass deletes
// that INF.
TEST_F(DeviceRemoval, CollectsThenRemovesThenDeletesTheFiles)
{
    sim::AddFile(PACKAGE_INF_PATH, PACKAGE_INF);
    sim::AddFile("C:\\Windows\\inf\\oem3.PNF", "precompiled");
    sim::AddDevice("image", Dev(WEBCAM, {"USB\\VID_0C45&PID_62C0&REV_0100&MI_00", "USB\\VID_0C45&PID_62C0"}, false));

    EXPECT_TRUE(RemoveDevices());

    EXPECT_FALSE(Installed("image", WEBCAM)) << "matched through the INF's own ID";
    EXPECT_FALSE(sim::FileExists(PACKAGE_INF_PATH));
    EXPECT_FALSE(sim::FileExists("C:\\Windows\\inf\\oem3.PNF"));
    size_t collected = LastIndexOf("SetupCloseInfFile");
    size_t lookup = FirstIndexOf("SetupDiClassGuidsFromNameA");
    size_t removal = FirstIndexOf("SetupDiCallClassInstaller");
    size_t released = FirstIndexOf("SetupDiDestroyDeviceInfoList");
    size_t firstDeletion = FirstIndexOf("DeleteFileA");
    EXPECT_LT(collected, lookup) << sim::JournalText();
    EXPECT_LT(removal, released) << sim::JournalText();
    EXPECT_LT(released, firstDeletion) << sim::JournalText();
}

} // namespace
