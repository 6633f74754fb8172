// The hardware-ID table: which IDs of the package INF's models section reach
// it, in which form and order, and how the collection meets a missing INF,
// failing calls and more lines than the table has slots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

// Windows keeps the names lower-case on disk; the program asks for OEM3.inf.
const char INF_PATH[] = "C:\\Windows\\inf\\oem3.inf";

std::string PackageInfText(const std::string &modelsLines)
{
    return "[Version]\n"
           "Signature=\"$Windows NT$\"\n"
           "Class=Image\n"
           "CatalogFile.ntx86=usbvelm.cat\n"
           "\n"
           "[Manufacturer]\n"
           "%Mfg%=Velmorin,NTamd64\n"
           "\n"
           "[Velmorin.NTamd64]\n" +
           modelsLines +
           "\n"
           "[Strings]\n"
           "Mfg=\"Velmorin\"\n"
           "Desc=\"Velmorin Ondrevix USB Camera\"\n";
}

std::vector<std::string> TableEntries()
{
    std::vector<std::string> entries;
    for (int32_t i = 0; i < g_hardwareIdTable.count; ++i) {
        entries.push_back(g_hardwareIdTable.entries[i]);
    }
    return entries;
}

int Calls(const std::string &name)
{
    std::vector<std::string> names = sim::CallNames();
    return (int)std::count(names.begin(), names.end(), name);
}

bool CalledSetupApi()
{
    for (const std::string &name : sim::CallNames()) {
        if (name.compare(0, 5, "Setup") == 0) {
            return true;
        }
    }
    return false;
}

class HardwareIdsTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        Fresh();
    }

    // A fresh machine and an empty table, as at program start.
    void Fresh()
    {
        sim::Reset();
        sim::SetWindowsDirectory("C:\\Windows");
        sim::AddFolder("C:\\Windows\\inf");
        std::memset(&g_hardwareIdTable, 0, sizeof g_hardwareIdTable);
    }

    // Runs the collection on a machine whose package INF is `text`; every
    // INF it opened must be closed again.
    std::vector<std::string> Collect(const std::string &text)
    {
        sim::AddFile(INF_PATH, text);
        CollectHardwareIds();
        EXPECT_EQ(Calls("SetupOpenInfFileA") - Calls("SetupCloseInfFile"), OpenFailed() ? 1 : 0)
            << sim::JournalText();
        return TableEntries();
    }

    static bool OpenFailed()
    {
        for (const sim::Call &call : sim::Journal()) {
            if (call.name == "SetupOpenInfFileA") {
                return call.result == "INVALID_HANDLE_VALUE";
            }
        }
        return false;
    }
};

const std::string ID63 = "USB\\VID_1B3F&PID_2002&MI_00&" + std::string(35, 'X');
const std::string ID64 = ID63 + "X";

std::string Lower(std::string text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = (char)(c + 32);
        }
    }
    return text;
}

struct TableCase {
    const char *name;
    std::string modelsLines;
    std::vector<std::string> expected;
};

TEST_F(HardwareIdsTest, CollectsFieldTwoOfEachModelsLine)
{
    const TableCase cases[] = {
        {"order of the lines, lower-cased",
         "%Desc%=Cam.Install,USB\\VID_1B3F&PID_2002\n"
         "%Desc%=Cam.Install,USB\\VID_1B3F&PID_2003&MI_00\n"
         "%Desc%=Cam.Install,USB\\VID_1B3F&PID_2001\n",
         {"usb\\vid_1b3f&pid_2002", "usb\\vid_1b3f&pid_2003&mi_00", "usb\\vid_1b3f&pid_2001"}},
        {"a line with only description and install section",
         "%Desc%=Cam.Install\n%Desc%=Cam.Install,USB\\VID_1B3F&PID_2002\n", {"usb\\vid_1b3f&pid_2002"}},
        {"63 characters are stored whole", "A=Inst," + ID63 + "\n", {Lower(ID63)}},
        {"64 characters yield no entry, the next line fills the slot",
         "A=Inst," + ID64 + "\nB=Inst,USB\\VID_2\n", {"usb\\vid_2"}},
        {"A to Z only: other bytes, above 0x7F too, stay",
         "A=Inst,USB\\VID_AZ&Mi_00_09\xC0\xC9\xDE\xFF\x80\x8A\n", {"usb\\vid_az&mi_00_09\xC0\xC9\xDE\xFF\x80\x8A"}},
        {"duplicates stay, each in its own place",
         "A=Inst,USB\\VID_1\nB=Inst,USB\\VID_2\nC=Inst,usb\\vid_1\n", {"usb\\vid_1", "usb\\vid_2", "usb\\vid_1"}},
        {"compatible IDs are ignored", "A=Inst,USB\\VID_1,USB\\Class_0E&SubClass_01,USB\\Class_0E\n", {"usb\\vid_1"}},
        {"an empty field 2 never enters the table",
         "A=Inst,,USB\\Class_0E\nB=Inst,\"\",x\nC=Inst, ;note\nD=Inst,USB\\VID_4\n", {"usb\\vid_4"}},
        {"quotes and [Strings] as the INF services read them",
         "A=Inst,\"USB\\VID_1B3F&PID_2002\" ; note\nB=Inst,%Hw%\n[Strings]\nHw=USB\\VID_1B3F&PID_2004\n",
         {"usb\\vid_1b3f&pid_2002", "usb\\vid_1b3f&pid_2004"}},
        {"an empty models section", "; no models yet\n", {}},
    };
    for (const TableCase &row : cases) {
        Fresh();
        EXPECT_EQ(row.expected, Collect(PackageInfText(row.modelsLines))) << "row: " << row.name;
    }
}

TEST_F(HardwareIdsTest, ReadsOnlyTheAmd64ModelsSection)
{
    std::string text = "[Version]\nSignature=\"$Windows NT$\"\nCatalogFile.ntx86=usbvelm.cat\n"
                       "[Manufacturer]\n%Mfg%=Velmorin\n[Velmorin]\nA=Inst,USB\\VID_1B3F&PID_2002\n"
                       "[Strings]\nMfg=Velmorin\n";
    EXPECT_TRUE(Collect(text).empty());
    EXPECT_EQ(1, Calls("SetupCloseInfFile"));
}

TEST_F(HardwareIdsTest, WithoutPackageInfOpensNoInf)
{
    // No INF at all, then an INF with the models section but without the
    // catalog line that marks the package INF.
    CollectHardwareIds();
    EXPECT_EQ(0, g_hardwareIdTable.count);
    EXPECT_FALSE(CalledSetupApi()) << sim::JournalText();

    Fresh();
    sim::AddFile(INF_PATH, "[Version]\nSignature=\"$Windows NT$\"\n[Velmorin.NTamd64]\nA=Inst,USB\\VID_1\n");
    CollectHardwareIds();
    EXPECT_EQ(0, g_hardwareIdTable.count);
    EXPECT_FALSE(CalledSetupApi()) << sim::JournalText();
}

TEST_F(HardwareIdsTest, ClosesTheReaderBeforeSetupApiOpensTheInf)
{
    Collect(PackageInfText("A=Inst,USB\\VID_1\n"));
    int open = 0;
    for (const sim::Call &call : sim::Journal()) {
        if (call.name == "SetupOpenInfFileA") {
            break;
        }
        if (call.name == "CreateFileA" && call.result != "INVALID_HANDLE_VALUE") {
            ++open;
        }
        if (call.name == "CloseHandle") {
            --open;
        }
    }
    EXPECT_EQ(0, open) << sim::JournalText();
    EXPECT_EQ(1, Calls("SetupOpenInfFileA"));
}

TEST_F(HardwareIdsTest, EndsTheCollectionAt64Entries)
{
    for (int lines : {64, 65, 70, 200}) {
        Fresh();
        std::string models;
        std::vector<std::string> expected;
        for (int i = 0; i < lines; ++i) {
            char id[32];
            snprintf(id, sizeof id, "USB\\VID_1B3F&PID_%04X", 0x2000 + i);
            models += std::string("%Desc%=Inst,") + id + "\n";
            if (i < HARDWARE_ID_SLOTS) {
                expected.push_back(Lower(id));
            }
        }
        EXPECT_EQ(expected, Collect(PackageInfText(models))) << lines << " lines";
        EXPECT_EQ(HARDWARE_ID_SLOTS, g_hardwareIdTable.count) << lines << " lines";
        EXPECT_EQ(HARDWARE_ID_SLOTS, Calls("SetupGetStringFieldA")) << lines << " lines: no read past the table";
    }
}

TEST_F(HardwareIdsTest, LinesWithoutIdDoNotUseUpSlots)
{
    // Unusable lines between the IDs: the 64 slots still fill with the first
    // 64 IDs, and the collection stops there.
    std::string models;
    std::vector<std::string> expected;
    for (int i = 0; i < 80; ++i) {
        char id[32];
        snprintf(id, sizeof id, "USB\\VID_1B3F&PID_%04X", 0x3000 + i);
        models += "Skip=Inst,,x\nSkip=Inst," + ID64 + "\n" + "Id=Inst," + id + "\n";
        if (i < HARDWARE_ID_SLOTS) {
            expected.push_back(Lower(id));
        }
    }
    EXPECT_EQ(expected, Collect(PackageInfText(models)));
}

TEST_F(HardwareIdsTest, InfThatDoesNotOpenLeavesTheTableEmpty)
{
    // Not a Windows 4 style INF: no signature.
    std::string noSignature = "[Version]\nCatalogFile.ntx86=usbvelm.cat\n[Velmorin.NTamd64]\nA=Inst,USB\\VID_1\n";
    EXPECT_TRUE(Collect(noSignature).empty());
    std::vector<std::string> names = sim::CallNames();
    auto open = std::find(names.begin(), names.end(), "SetupOpenInfFileA");
    ASSERT_NE(names.end(), open);
    ASSERT_NE(names.end(), open + 1);
    EXPECT_EQ("GetLastError", *(open + 1)) << "the error is fetched, then nothing more";
    EXPECT_EQ(names.end(), open + 2) << sim::JournalText();

    Fresh();
    sim::FailCall("SetupOpenInfFileA", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Collect(PackageInfText("A=Inst,USB\\VID_1\n")).empty());
    EXPECT_EQ(0, Calls("SetupFindFirstLineA"));
}

struct FaultCase {
    const char *call;
    int occurrence;
    std::vector<std::string> expected;
};

TEST_F(HardwareIdsTest, FailingCallsKeepWhatWasCollected)
{
    const std::string models = "A=Inst,USB\\VID_1\nB=Inst,USB\\VID_2\nC=Inst,USB\\VID_3\n";
    const FaultCase cases[] = {
        {"SetupFindFirstLineA", 1, {}},
        {"SetupGetStringFieldA", 1, {"usb\\vid_2", "usb\\vid_3"}},
        {"SetupGetStringFieldA", 2, {"usb\\vid_1", "usb\\vid_3"}},
        {"SetupFindNextLine", 1, {"usb\\vid_1"}},
        {"SetupFindNextLine", 2, {"usb\\vid_1", "usb\\vid_2"}},
    };
    for (const FaultCase &row : cases) {
        Fresh();
        sim::FailCall(row.call, ERROR_NOT_ENOUGH_MEMORY, row.occurrence);
        EXPECT_EQ(row.expected, Collect(PackageInfText(models))) << row.call << " #" << row.occurrence;
        EXPECT_EQ(1, Calls("SetupCloseInfFile")) << row.call << " #" << row.occurrence;
    }
}

} // namespace
