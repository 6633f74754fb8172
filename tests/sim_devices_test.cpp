// The simulated device installer behaves as the device removal relies on
// and as Windows documents: class lookup, sets with and without devices that
// are not present, the enumeration's end, the property read's buffer rules,
// the removal request and its veto, faults, and calls the model refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim.h"
#include "sim_internal.h"
#include "test_support.h"

namespace {

const GUID IMAGE_GUID = {0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
const GUID CAMERA_GUID = {0xCA3E7AB9, 0xB4C3, 0x4AE6, {0x82, 0x51, 0x57, 0x9E, 0xF9, 0x33, 0x89, 0x0F}};
const GUID NULL_GUID = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

bool SameGuid(const GUID &a, const GUID &b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

SP_DEVINFO_DATA Record()
{
    SP_DEVINFO_DATA data;
    std::memset(&data, 0xCC, sizeof(data));
    data.cbSize = sizeof(SP_DEVINFO_DATA);
    return data;
}

// The instance IDs of a set's members, in enumeration order.
std::vector<std::string> Members(HDEVINFO set)
{
    std::vector<std::string> ids;
    SP_DEVINFO_DATA data = Record();
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &data); ++index) {
        const std::string &result = sim::Journal().back().result;
        ids.push_back(result.substr(result.find(' ') + 1));
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), GetLastError());
    return ids;
}

// The text of the latest journal record of the named call.
std::string LastCall(const std::string &name)
{
    const std::vector<sim::Call> &journal = sim::Journal();
    for (auto it = journal.rbegin(); it != journal.rend(); ++it) {
        if (it->name == name) {
            return sim::CallText(*it);
        }
    }
    return "(no " + name + ")";
}

class SimDevices : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
    void TearDown() override
    {
        if (!expectUnexpected) {
            EXPECT_EQ("", sim::UnexpectedCalls());
        }
    }
    bool expectUnexpected = false;
};

TEST_F(SimDevices, ClassLookupByName)
{
    GUID guids[2];
    DWORD required = 77;

    std::memset(guids, 0xCC, sizeof(guids));
    ASSERT_TRUE(SetupDiClassGuidsFromNameA("Image", guids, 1, &required)) << "a fresh machine has the class";
    EXPECT_EQ(1u, required);
    EXPECT_TRUE(SameGuid(IMAGE_GUID, guids[0]));
    EXPECT_EQ(0xCCu, guids[1].Data4[7]) << "nothing written past the list";

    required = 0;
    EXPECT_FALSE(SetupDiClassGuidsFromNameA("image", guids, 0, &required));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(1u, required);

    sim::RemoveSetupClass("IMAGE");
    std::memset(guids, 0xCC, sizeof(guids));
    required = 77;
    EXPECT_TRUE(SetupDiClassGuidsFromNameA("image", guids, 1, &required)) << "no class of the name";
    EXPECT_EQ(0u, required);
    EXPECT_EQ(0xCCCCCCCCu, guids[0].Data1) << "the list is left as it was";

    sim::AddSetupClass("Camera", CAMERA_GUID);
    ASSERT_TRUE(SetupDiClassGuidsFromNameA("camera", guids, 1, &required));
    EXPECT_TRUE(SameGuid(CAMERA_GUID, guids[0]));
}

TEST_F(SimDevices, SetsHoldTheClassesDevicesPresentOrNot)
{
    sim::AddDevice("image", Dev("USB\\VID_0C45&PID_62C0\\1", {"USB\\VID_0C45&PID_62C0"}, true));
    sim::AddDevice("image", Dev("ROOT\\IMAGE\\0000", {"ROOT\\IMAGE"}, false));
    sim::AddSetupClass("Camera", CAMERA_GUID);
    sim::AddDevice("camera", Dev("USB\\VID_0C45&PID_62C0\\2", {"USB\\VID_0C45&PID_62C0"}, true));
    sim::AddDevice("unknownclass", Dev("ROOT\\UNKNOWN\\0000", {"ROOT\\UNKNOWN"}, false));

    struct Case {
        const char *name;
        const GUID *guid;
        DWORD flags;
        std::vector<std::string> members;
    } cases[] = {
        {"flags 0", &IMAGE_GUID, 0, {"USB\\VID_0C45&PID_62C0\\1", "ROOT\\IMAGE\\0000"}},
        {"DIGCF_PRESENT", &IMAGE_GUID, DIGCF_PRESENT, {"USB\\VID_0C45&PID_62C0\\1"}},
        {"another class", &CAMERA_GUID, 0, {"USB\\VID_0C45&PID_62C0\\2"}},
        {"a class not installed is GUID_NULL", &NULL_GUID, 0, {"ROOT\\UNKNOWN\\0000"}},
        {"every class, present", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT,
         {"USB\\VID_0C45&PID_62C0\\1", "USB\\VID_0C45&PID_62C0\\2"}},
    };
    for (const Case &c : cases) {
        HDEVINFO set = SetupDiGetClassDevsA(c.guid, NULL, NULL, c.flags);
        ASSERT_NE(INVALID_HANDLE_VALUE, set) << c.name;
        EXPECT_EQ(c.members, Members(set)) << c.name;
        EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set)) << c.name;
    }
}

TEST_F(SimDevices, EnumerationFillsTheRecordAndRefusesAWrongSize)
{
    sim::AddDevice("image", Dev("ROOT\\IMAGE\\0000", {"ROOT\\IMAGE"}, false));
    HDEVINFO set = SetupDiGetClassDevsA(&IMAGE_GUID, NULL, NULL, 0);

    SP_DEVINFO_DATA data = Record();
    data.cbSize = 28; // the 32-bit layout's size
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_USER_BUFFER), GetLastError());

    data = Record();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &data));
    EXPECT_EQ(32u, data.cbSize);
    EXPECT_TRUE(SameGuid(IMAGE_GUID, data.ClassGuid));
    EXPECT_NE(0u, data.DevInst);

    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 1, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), GetLastError());
    EXPECT_EQ("SetupDiEnumDeviceInfo(" + sim::Hex(0xDE0001) + ", 1, cbSize 32) = FALSE",
              LastCall("SetupDiEnumDeviceInfo"));
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SimDevices, HardwareIdPropertyIsAMultiStringThatMustFit)
{
    const std::string first = "USB\\VID_0C45&PID_62C0&REV_0100";
    const std::string second = "USB\\VID_0C45&PID_62C0";
    const std::string expected = first + '\0' + second + '\0' + '\0';
    sim::AddDevice("image", Dev("USB\\1", {first, second}));
    sim::AddDevice("image", Dev("ROOT\\IMAGE\\0000", {}));
    HDEVINFO set = SetupDiGetClassDevsA(&IMAGE_GUID, NULL, NULL, 0);
    SP_DEVINFO_DATA withIds = Record();
    SP_DEVINFO_DATA withoutIds = Record();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &withIds));
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 1, &withoutIds));

    struct Case {
        const char *name;
        SP_DEVINFO_DATA *device;
        DWORD bufferSize;
        BOOL result;
        DWORD error;
        DWORD required;
    } cases[] = {
        {"fits exactly", &withIds, static_cast<DWORD>(expected.size()), TRUE, 0, static_cast<DWORD>(expected.size())},
        {"one byte short", &withIds, static_cast<DWORD>(expected.size() - 1), FALSE,
         static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), static_cast<DWORD>(expected.size())},
        {"no property", &withoutIds, 256, FALSE, static_cast<DWORD>(ERROR_INVALID_DATA), 0xDEAD},
    };
    for (const Case &c : cases) {
        BYTE buffer[256];
        std::memset(buffer, 0xCC, sizeof(buffer));
        DWORD type = 0xDEAD;
        DWORD required = 0xDEAD;
        BOOL result =
            SetupDiGetDeviceRegistryPropertyA(set, c.device, SPDRP_HARDWAREID, &type, buffer, c.bufferSize, &required);
        EXPECT_EQ(c.result, result) << c.name;
        EXPECT_EQ(c.required, required) << c.name;
        if (result) {
            EXPECT_EQ(expected, std::string(reinterpret_cast<char *>(buffer), expected.size())) << c.name;
            EXPECT_EQ(7u, type) << c.name << ": REG_MULTI_SZ";
        } else {
            EXPECT_EQ(c.error, GetLastError()) << c.name;
            EXPECT_EQ(0xCC, buffer[0]) << c.name << ": buffer untouched";
        }
    }
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SimDevices, RemovalTakesTheDeviceOffTheMachineButNotOutOfTheSet)
{
    sim::AddDevice("image", Dev("USB\\1", {"USB\\VID_0C45&PID_62C0"}, false));
    sim::AddDevice("image", Dev("USB\\2", {"USB\\VID_0C45&PID_62C0"}));
    sim::AddDevice("image", Dev("USB\\3", {"USB\\VID_0C45&PID_62C0"}));
    sim::VetoRemoval("usb\\2", ERROR_ACCESS_DENIED);
    HDEVINFO set = SetupDiGetClassDevsA(&IMAGE_GUID, NULL, NULL, 0);
    SP_DEVINFO_DATA data = Record();

    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &data));
    EXPECT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &data)) << "a device that is not present";
    EXPECT_EQ(0u, data.DevInst);
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, set, &data)) << "already gone";
    BYTE buffer[256];
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, NULL, buffer, 256, NULL));

    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 1, &data)) << "the next member keeps its index";
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, set, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError()) << "vetoed";

    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 2, &data));
    EXPECT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &data));
    EXPECT_EQ("SetupDiCallClassInstaller(DIF_REMOVE, " + sim::Hex(0xDE0001) + ", USB\\3) = TRUE",
              LastCall("SetupDiCallClassInstaller"));
    SetupDiDestroyDeviceInfoList(set);

    std::vector<sim::Device> left = sim::Devices("IMAGE");
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ("USB\\2", left[0].instanceId);
}

TEST_F(SimDevices, EveryEntryPointFailsOnDemand)
{
    // The calls of one removal, each with the calls whose success it needs.
    const char *names[] = {"SetupDiClassGuidsFromNameA", "SetupDiGetClassDevsA", "SetupDiEnumDeviceInfo",
                           "SetupDiGetDeviceRegistryPropertyA", "SetupDiCallClassInstaller",
                           "SetupDiDestroyDeviceInfoList"};
    const std::vector<std::vector<size_t>> needs = {{}, {}, {1}, {1, 2}, {1, 2, 3}, {1}};
    for (size_t failing = 0; failing < needs.size(); ++failing) {
        const char *name = names[failing];
        sim::Reset();
        sim::AddDevice("image", Dev("USB\\1", {"USB\\VID_0C45&PID_62C0"}));
        sim::FailCall(name, ERROR_NOT_ENOUGH_MEMORY);

        GUID guid = IMAGE_GUID;
        DWORD required = 0;
        BOOL looked = SetupDiClassGuidsFromNameA("image", &guid, 1, &required);
        HDEVINFO set = SetupDiGetClassDevsA(&IMAGE_GUID, NULL, NULL, 0);
        SP_DEVINFO_DATA data = Record();
        BOOL enumerated = set != INVALID_HANDLE_VALUE && SetupDiEnumDeviceInfo(set, 0, &data);
        BYTE buffer[256];
        BOOL read = enumerated &&
                    SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, NULL, buffer, 256, &required);
        BOOL removed = read && SetupDiCallClassInstaller(DIF_REMOVE, set, &data);
        BOOL released = set != INVALID_HANDLE_VALUE && SetupDiDestroyDeviceInfoList(set);

        std::vector<bool> succeeded = {looked != FALSE, set != INVALID_HANDLE_VALUE, enumerated != FALSE,
                                       read != FALSE,   removed != FALSE,            released != FALSE};
        std::vector<bool> expected(needs.size());
        for (size_t i = 0; i < needs.size(); ++i) {
            expected[i] = i != failing;
            for (size_t need : needs[i]) {
                expected[i] = expected[i] && expected[need];
            }
            EXPECT_EQ(expected[i], succeeded[i]) << name << " failing: " << names[i];
        }
        EXPECT_EQ(1, sim::FaultsHit()) << name;
        for (const sim::Call &call : sim::Journal()) {
            if (call.name == name) {
                EXPECT_TRUE(call.injected) << name;
                EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), call.lastError) << name;
            }
        }
        EXPECT_EQ(removed ? 0u : 1u, sim::Devices("image").size()) << name;
        EXPECT_EQ("", sim::LeakedHandles()) << name << ": a release made to fail still releases the set";
    }
}

TEST_F(SimDevices, HandlesAndRecordsItDidNotHandOutAreUnexpected)
{
    expectUnexpected = true;
    sim::AddDevice("image", Dev("USB\\1", {"USB\\VID_0C45&PID_62C0"}));
    HDEVINFO first = SetupDiGetClassDevsA(&IMAGE_GUID, NULL, NULL, 0);
    HDEVINFO second = SetupDiGetClassDevsA(&IMAGE_GUID, NULL, NULL, 0);
    SP_DEVINFO_DATA fromSecond = Record();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(second, 0, &fromSecond));
    SP_DEVINFO_DATA fromFirst = Record();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(first, 0, &fromFirst));
    ASSERT_EQ("", sim::UnexpectedCalls());

    BYTE buffer[256];
    struct Case {
        const char *name;
        BOOL (*call)(HDEVINFO, HDEVINFO, SP_DEVINFO_DATA *, SP_DEVINFO_DATA *, BYTE *);
    } cases[] = {
        {"enumeration on INVALID_HANDLE_VALUE",
         [](HDEVINFO, HDEVINFO, SP_DEVINFO_DATA *, SP_DEVINFO_DATA *d, BYTE *) {
             return SetupDiEnumDeviceInfo(INVALID_HANDLE_VALUE, 0, d);
         }},
        {"property read with another set's record",
         [](HDEVINFO f, HDEVINFO, SP_DEVINFO_DATA *s, SP_DEVINFO_DATA *, BYTE *b) {
             return SetupDiGetDeviceRegistryPropertyA(f, s, SPDRP_HARDWAREID, NULL, b, 256, NULL);
         }},
        {"property other than the hardware IDs",
         [](HDEVINFO f, HDEVINFO, SP_DEVINFO_DATA *, SP_DEVINFO_DATA *d, BYTE *b) {
             return SetupDiGetDeviceRegistryPropertyA(f, d, 0 /* SPDRP_DEVICEDESC */, NULL, b, 256, NULL);
         }},
        {"removal with another set's record",
         [](HDEVINFO f, HDEVINFO, SP_DEVINFO_DATA *s, SP_DEVINFO_DATA *, BYTE *) {
             return SetupDiCallClassInstaller(DIF_REMOVE, f, s);
         }},
        {"install function other than DIF_REMOVE",
         [](HDEVINFO f, HDEVINFO, SP_DEVINFO_DATA *, SP_DEVINFO_DATA *d, BYTE *) {
             return SetupDiCallClassInstaller(2 /* DIF_INSTALLDEVICE */, f, d);
         }},
        {"release of a set never handed out",
         [](HDEVINFO, HDEVINFO, SP_DEVINFO_DATA *, SP_DEVINFO_DATA *, BYTE *) {
             return SetupDiDestroyDeviceInfoList(reinterpret_cast<HDEVINFO>(0x1234));
         }},
    };
    for (const Case &c : cases) {
        sim::ClearJournal();
        EXPECT_FALSE(c.call(first, second, &fromSecond, &fromFirst, buffer)) << c.name;
        EXPECT_NE("", sim::UnexpectedCalls()) << c.name;
    }
    EXPECT_EQ(1u, sim::Devices("image").size());

    sim::ClearJournal();
    ASSERT_TRUE(SetupDiDestroyDeviceInfoList(first));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(first)) << "released twice";
    EXPECT_NE("", sim::UnexpectedCalls());
    sim::ClearJournal();
}

TEST_F(SimDevices, DevicesTextShowsAndRestoresTheFixture)
{
    const std::string text = "# an uninstalled camera and a webcam that refuses removal\n"
                             "no-class image\n"
                             "class Camera {CA3E7AB9-B4C3-4AE6-8251-579EF933890F}\n"
                             "device image ROOT\\IMAGE\\0000 absent\n"
                             "\n"
                             "device Camera USB\\VID_0C45&PID_62C0\\5&1A2B&0&2 present "
                             "USB\\VID_0C45&PID_62C0&REV_0100 USB\\VID_0C45&PID_62C0\n"
                             "veto USB\\VID_0C45&PID_62C0\\5&1A2B&0&2 5\n";
    sim::LoadDevicesText(text);

    GUID guid;
    DWORD required = 1;
    SetupDiClassGuidsFromNameA("image", &guid, 1, &required);
    EXPECT_EQ(0u, required);
    std::vector<sim::Device> image = sim::Devices("image");
    ASSERT_EQ(1u, image.size());
    EXPECT_FALSE(image[0].present);
    EXPECT_TRUE(image[0].hardwareIds.empty());
    std::vector<sim::Device> camera = sim::Devices("camera");
    ASSERT_EQ(1u, camera.size());
    EXPECT_TRUE(camera[0].present);
    EXPECT_EQ((std::vector<std::string>{"USB\\VID_0C45&PID_62C0&REV_0100", "USB\\VID_0C45&PID_62C0"}),
              camera[0].hardwareIds);

    std::string saved = sim::DevicesText();
    sim::Reset();
    sim::LoadDevicesText(saved);
    EXPECT_EQ(saved, sim::DevicesText()) << "a saved machine loads back unchanged";

    HDEVINFO set = SetupDiGetClassDevsA(&CAMERA_GUID, NULL, NULL, 0);
    SP_DEVINFO_DATA data = Record();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &data));
    EXPECT_FALSE(SetupDiCallClassInstaller(DIF_REMOVE, set, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError()) << "the veto survives the round trip";
    SetupDiDestroyDeviceInfoList(set);
}

} // namespace
