// The whole clean-up on a machine where the package is fully installed:
// what goes and what stays, a second run, and the fault loop that makes
// each platform call fail in turn.
#include <string>

#include "test_support.h"

namespace {

const char PACKAGE_INF[] =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Image\r\n"
    "ClassGuid={6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\r\n"
    "Provider=%Mfg%\r\n"
    "CatalogFile=usbvelm.cat\r\n"
    "CatalogFile.ntx86=usbvelm.cat\r\n"
    "CatalogFile.ntamd64=usbvelm64.cat\r\n"
    "DriverVer=11/02/2012,1.0.0.1\r\n"
    "PnpLockDown=1\r\n"
    "\r\n"
    "[Manufacturer]\r\n"
    "%Mfg%=Velmorin,NTamd64\r\n"
    "\r\n"
    "[Velmorin]\r\n"
    "%Cam.Desc%=Cam.Install,USB\\VID_1F3A&PID_0C01\r\n"
    "\r\n"
    "[Velmorin.NTamd64]\r\n"
    "%Cam.Desc%=Cam.Install,USB\\VID_1F3A&PID_0C01\r\n"
    "%Cam2.Desc%=Cam.Install,USB\\VID_1F3A&PID_0C02&MI_00,USB\\Class_0E\r\n"
    "\r\n"
    "[SourceDisksNames]\r\n"
    "1=%Disk%,,,\r\n"
    "\r\n"
    "[SourceDisksFiles]\r\n"
    "velmcam.sys=1\r\n"
    "VelmCap.ax=1\r\n"
    "velmtray.exe=1\r\n"
    "velmcoin.dll=1\r\n"
    "\r\n"
    "[DestinationDirs]\r\n"
    "DefaultDestDir=12\r\n"
    "Cam.CopyDlls=16425\r\n"
    "\r\n"
    "[Strings]\r\n"
    "Mfg=\"Velmorin\"\r\n"
    "Cam.Desc=\"Ondrevix USB Camera\"\r\n"
    "Cam2.Desc=\"Ondrevix USB Camera (composite)\"\r\n"
    "Disk=\"Ondrevix driver disk\"\r\n"
    "ignored.sys=1\r\n";

const GUID CAMERA_CLASS = {0xCA3E7AB9, 0xB4C3, 0x4AE6, {0x82, 0x51, 0x57, 0x9E, 0xF9, 0x33, 0x89, 0x0F}};

void InstallPackage()
{
    sim::SetValue(paths::PRODUCT_ENTRY, "DisplayName", "Ondrevix");
    sim::SetValue(std::string(paths::UNINSTALL_KEY) + "\\OtherProduct", "DisplayName", "Other");
    sim::SetValue(paths::RUN_KEY, COMPANION_NAME, "C:\\Program Files\\Velmorin\\Halvoren.exe");
    sim::SetValue(paths::RUN_KEY, "OtherTool", "C:\\other.exe");
    sim::AddWindow(COMPANION_WINDOW_CLASS, COMPANION_NAME);

    sim::AddFile("C:\\Windows\\inf\\oem3.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\nCatalogFile=other.cat\r\n");
    sim::AddFile("C:\\Windows\\inf\\oem3.pnf", "PNF");
    sim::AddFile("C:\\Windows\\inf\\oem7.inf", PACKAGE_INF);
    sim::AddFile("C:\\Windows\\inf\\oem7.pnf", "PNF");
    sim::AddFile(Driver("velmcam.sys"), "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    sim::AddFile(Driver("VelmCap.ax"), "x");
    sim::AddFile(Wow64("velmcap.ax"), "x");
    sim::AddFile(Wow64("velmtray.exe"), "x");
    sim::AddFile(Driver("velmcoin.dll"), "x");
    sim::AddFile(Wow64("velmcoin.dll"), "x");
    sim::AddFile(Driver("ignored.sys"), "x");
    sim::AddFile(Driver("other.sys"), "x");
    sim::AddFile(Wow64("other.dll"), "x");

    sim::AddSetupClass("Camera", CAMERA_CLASS);
    sim::AddDevice("image", {"USB\\VID_1F3A&PID_0C01\\5&1A2B3C&0&1", {"USB\\VID_1F3A&PID_0C01&REV_0100", "USB\\VID_1F3A&PID_0C01"}, true});
    sim::AddDevice("image", {"USB\\VID_1F3A&PID_0C02&MI_00\\6&2B&0&0000", {"USB\\VID_1F3A&PID_0C02&MI_00"}, false});
    sim::AddDevice("image", {"USB\\VID_046D&PID_0825\\1", {"USB\\VID_046D&PID_0825&REV_0010"}, true});
    sim::AddDevice("image", {"USB\\VID_9999&PID_0001\\1", {"USB\\VID_9999&PID_0001", "USB\\VID_1F3A&PID_0C01"}, true});
    sim::AddDevice("Camera", {"USB\\VID_1F3A&PID_0C01\\7&3C&0&2", {"USB\\VID_1F3A&PID_0C01&REV_0100"}, true});
}

std::vector<std::string> InstanceIds(const std::string &className)
{
    std::vector<std::string> ids;
    for (const sim::Device &device : sim::Devices(className)) {
        ids.push_back(device.instanceId);
    }
    return ids;
}

// What a clean-up may change, as one text, to compare two moments.
std::string MachineState()
{
    std::string state = sim::ExportRegistry();
    for (const std::string &file : sim::ListFiles()) {
        state += file + "\n";
    }
    for (const char *className : {"image", "Camera"}) {
        for (const std::string &id : InstanceIds(className)) {
            state += std::string(className) + " " + id + "\n";
        }
    }
    return state;
}

// Counts the package INF scans among the journal's calls [from, to). A scan
// tries candidates from OEM0 on, one directory query each, up to a match or
// the last candidate; after a match in a file pass come the file lines'
// queries and deletions, up to the PNF deletion.
int CountScans(int from, int to)
{
    enum { IDLE, SCANNING, FILES } mode = IDLE;
    int scans = 0;
    int candidates = 0;
    const std::vector<sim::Call> &journal = sim::Journal();
    for (int i = from; i < to; ++i) {
        const sim::Call &call = journal[static_cast<size_t>(i)];
        if (mode == SCANNING && (call.name == "GetSystemDirectoryA" || call.name == "GetFileAttributesA" ||
                                 call.name == "DeleteFileA")) {
            mode = FILES;
        }
        if (mode == FILES) {
            if (call.name == "DeleteFileA" && call.args.find(".PNF\"") != std::string::npos) {
                mode = IDLE;
            }
        } else if (call.name == "GetWindowsDirectoryA") {
            if (mode == IDLE || candidates == INF_SCAN_LAST_INDEX + 1) {
                ++scans;
                candidates = 0;
            }
            mode = SCANNING;
            ++candidates;
        } else if (call.name == "SetupOpenInfFileA" || call.name.rfind("SetupDi", 0) == 0) {
            mode = IDLE;
        }
    }
    return scans;
}

// Every step of the clean-up was reached, in order, whatever failed.
void ExpectEveryStepInOrder(const std::string &row)
{
    int journalSize = static_cast<int>(sim::Journal().size());
    int probe = CallIndex("RegOpenKeyExA", "Ondrevix");
    int uninstallKey = CallIndex("RegOpenKeyExA", "Uninstall");
    int runKey = CallIndex("RegOpenKeyExA", "Run");
    int findWindow = CallIndex("FindWindowA");
    int deviceLookup = CallIndex("SetupDiClassGuidsFromNameA");
    EXPECT_EQ(0, probe) << row;
    EXPECT_LT(probe, uninstallKey) << row;
    EXPECT_LT(uninstallKey, runKey) << row;
    EXPECT_LT(runKey, findWindow) << row;
    EXPECT_LT(findWindow, deviceLookup) << row;
    EXPECT_EQ(1, CountScans(findWindow, deviceLookup)) << row << ": the hardware-ID collection's scan";
    EXPECT_EQ(2, CountScans(deviceLookup, journalSize)) << row << ": the two file passes";
}

class Cleanup : public SimTest {};

TEST_F(Cleanup, RemovesThePackageAndNothingElse)
{
    InstallPackage();
    EXPECT_EQ(0, UninstallMain());

    EXPECT_FALSE(sim::KeyExists(paths::PRODUCT_ENTRY));
    EXPECT_TRUE(sim::KeyExists(std::string(paths::UNINSTALL_KEY) + "\\OtherProduct"));
    EXPECT_FALSE(sim::ValueExists(paths::RUN_KEY, COMPANION_NAME));
    EXPECT_TRUE(sim::ValueExists(paths::RUN_KEY, "OtherTool"));
    EXPECT_EQ(1, CallCount("SendMessageTimeoutA", "0x10, 0, 0"));

    std::vector<std::string> filesLeft = {
        "C:\\Windows\\SysWOW64\\other.dll", "C:\\Windows\\System32\\drivers\\ignored.sys",
        "C:\\Windows\\System32\\drivers\\other.sys", "C:\\Windows\\inf\\oem3.inf", "C:\\Windows\\inf\\oem3.pnf"};
    EXPECT_EQ(filesLeft, sim::ListFiles());

    std::vector<std::string> imageLeft = {"USB\\VID_046D&PID_0825\\1", "USB\\VID_9999&PID_0001\\1"};
    EXPECT_EQ(imageLeft, InstanceIds("image"));
    EXPECT_EQ(1u, InstanceIds("Camera").size());
    EXPECT_EQ(2, CallCount("SetupDiCallClassInstaller"));
    ExpectEveryStepInOrder("no fault");
}

TEST_F(Cleanup, ASecondRunFindsNothingLeftToDo)
{
    InstallPackage();
    EXPECT_EQ(0, UninstallMain());
    const std::string after = MachineState();
    sim::ClearJournal();

    EXPECT_EQ(0, UninstallMain());

    EXPECT_EQ(after, MachineState());
    EXPECT_EQ(0, CallCount("DeleteFileA"));
    EXPECT_EQ(0, CallCount("SetupDiCallClassInstaller"));
    EXPECT_EQ(0, CallCount("SetupOpenInfFileA"));
    EXPECT_EQ(0, CallCount("SendMessageTimeoutA"));
}

// For n = 1, 2, ... the n-th platform call fails (alone, or with every later
// call too) until a run meets no fault. Every run completes with 0, prints
// nothing, opens nothing it does not close, and still reaches every step.
TEST_F(Cleanup, EveryRunCompletesWhicheverCallFails)
{
    for (bool persistent : {false, true}) {
        for (int n = 1;; ++n) {
            ASSERT_LT(n, 20000) << "the fault loop does not end";
            sim::Reset();
            InstallPackage();
            sim::FailNthCall(n, persistent);
            std::string row = std::string(persistent ? "persistent" : "transient") + " fault at call " +
                              std::to_string(n);

            testing::internal::CaptureStdout();
            testing::internal::CaptureStderr();
            int exitCode = UninstallMain();
            std::string printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();

            if (sim::FaultsHit() == 0) {
                break;
            }
            EXPECT_EQ(0, exitCode) << row;
            EXPECT_EQ("", printed) << row;
            EXPECT_EQ("", sim::UnexpectedCalls()) << row;
            EXPECT_EQ("", sim::LeakedHandles()) << row;
            ExpectEveryStepInOrder(row);
            if (HasFailure()) {
                ADD_FAILURE() << row << "\n" << sim::JournalText();
                return;
            }
        }
    }
}

} // namespace
