// Driver file removal: which INF lines name files, where each file is
// deleted from, the INF and its PNF, and the two passes of a clean-up.
#include <string>

#include "test_support.h"

namespace {

const char INF_PATH[] = "C:\\Windows\\inf\\oem7.inf";
const char PNF_PATH[] = "C:\\Windows\\inf\\oem7.PNF";

std::string PackageInfText(const std::string &afterCatalog)
{
    return "[Version]\r\n"
           "Signature=\"$Windows NT$\"\r\n"
           "Class=Image\r\n"
           "CatalogFile.ntx86=usbvelm.cat\r\n" +
           afterCatalog;
}

class DriverFiles : public SimTest {
  protected:
    void InstallPackage(const std::string &afterCatalog, const char *infPath = INF_PATH,
                        const char *pnfPath = PNF_PATH)
    {
        sim::AddFile(infPath, PackageInfText(afterCatalog));
        if (pnfPath != nullptr) {
            sim::AddFile(pnfPath, "PNF");
        }
    }

    // The paths DeleteFileA was asked for, in order, as the program spelled them.
    std::vector<std::string> DeletionsAsked()
    {
        std::vector<std::string> asked;
        for (const sim::Call &call : sim::Journal()) {
            if (call.name == "DeleteFileA") {
                asked.push_back(call.args.substr(1, call.args.size() - 2));
            }
        }
        return asked;
    }
};

struct FileLineCase {
    const char *row;
    std::string afterCatalog;
    std::vector<std::string> deletionsAsked; // before the INF and the PNF
};

TEST_F(DriverFiles, FileLinesNameTheFilesToDelete)
{
    const std::string longLine = std::string(255, 'a') + "aaaaacam.sys=1\r\n";
    const FileLineCase cases[] = {
        {"CR LF", "cam.sys=1\r\n", {Driver("cam.sys")}},
        {"LF alone", "cam.sys=1\n", {Driver("cam.sys")}},
        {"AX filter: drivers as read, SysWOW64 lower-cased", "Cam.AX=1\r\n", {Driver("Cam.AX"), Wow64("cam.ax")}},
        {"DLL", "cam.dll=1\n", {Driver("cam.dll"), Wow64("cam.dll")}},
        {"EXE", "CamTray.EXE=1\n", {Driver("CamTray.EXE"), Wow64("camtray.exe")}},
        {"two marks, one SysWOW64 deletion", "cam.ax.dll=1\n", {Driver("cam.ax.dll"), Wow64("cam.ax.dll")}},
        {"mark inside the name", "my.axle.sys=1\n", {Driver("my.axle.sys"), Wow64("my.axle.sys")}},
        {"blanks around the equals sign", "cam.sys = 1\n", {}},
        {"more fields after the disk", "cam.sys=1,,\n", {Driver("cam.sys=1")}},
        {"disk 12", "cam.sys=12\n", {Driver("cam.sys=")}},
        {"last line without a line feed", "cam.sys=1", {Driver("cam.sy")}},
        {"end mark stops the scan", "a.sys=1\n[DestinationDirs]\nb.sys=1\n", {Driver("a.sys")}},
        {"end mark in another case does not", "[destinationdirs]\nb.sys=1\n", {Driver("b.sys")}},
        {"end mark on a file line: file first", "a.sys=1[DestinationDirs]\n", {Driver("a.sys=1[DestinationDir")}},
        {"no end mark: scanned to the end", "[A]\na.sys=1\n; b.sys=1\n[B]\nc.dll=1\n",
         {Driver("a.sys"), Driver("; b.sys"), Driver("c.dll"), Wow64("c.dll")}},
        {"long line read in pieces", longLine, {Driver("aaaaacam.sys")}},
        {"lone CR stays in the line", "cam.sys=1\r", {Driver("cam.sys")}},
        {"catalog line last: no file lines", "", {}},
    };
    for (const FileLineCase &c : cases) {
        sim::Reset();
        InstallPackage(c.afterCatalog);

        EXPECT_TRUE(RemoveDriverFiles()) << c.row;

        std::vector<std::string> expected = c.deletionsAsked;
        expected.push_back("C:\\Windows\\inf\\OEM7.inf");
        expected.push_back("C:\\Windows\\inf\\OEM7.PNF");
        EXPECT_EQ(expected, DeletionsAsked()) << c.row;
        EXPECT_FALSE(sim::FileExists(INF_PATH)) << c.row;
        EXPECT_FALSE(sim::FileExists(PNF_PATH)) << c.row;
    }
}

TEST_F(DriverFiles, DeletesFromBothFoldersAndLeavesOtherFiles)
{
    for (const char *name : {"cam.sys", "cam.dll", "other.sys"}) {
        sim::AddFile(Driver(name), "x");
        sim::AddFile(Wow64(name), "x");
    }
    InstallPackage("[SourceDisksFiles]\r\ncam.sys=1\r\nCAM.DLL=1\r\n[DestinationDirs]\r\nDefaultDestDir=12\r\n");

    RemoveDriverFiles();

    EXPECT_FALSE(sim::FileExists(Driver("cam.sys")));
    EXPECT_TRUE(sim::FileExists(Wow64("cam.sys")));
    EXPECT_FALSE(sim::FileExists(Driver("cam.dll")));
    EXPECT_FALSE(sim::FileExists(Wow64("cam.dll")));
    EXPECT_TRUE(sim::FileExists(Driver("other.sys")));
    EXPECT_TRUE(sim::FileExists(Wow64("other.sys")));
}

// A file line is text from the package; its name must not leave the folder.
TEST_F(DriverFiles, NamesThatLeaveTheFolderAreNotDeleted)
{
    sim::AddFile("C:\\Windows\\System32\\config\\SAM", "hive");
    sim::AddFile("C:\\boot.ini", "boot");
    sim::AddFile("C:\\Windows\\System32\\drivers\\sub\\cam.sys", "x");
    const DWORD driversAttributes = FILE_ATTRIBUTE_DIRECTORY;
    InstallPackage("..\\..\\config\\SAM=1\r\n"
                   "C:\\boot.ini=1\r\n"
                   "../../config/SAM=1\r\n"
                   "sub\\cam.sys=1\r\n"
                   "..\\x.dll=1\r\n"
                   "..=1\r\n"
                   ".=1\r\n"
                   "=1\r\n"
                   "cam.dll:stream=1\r\n");

    EXPECT_TRUE(RemoveDriverFiles());

    EXPECT_TRUE(sim::FileExists("C:\\Windows\\System32\\config\\SAM"));
    EXPECT_TRUE(sim::FileExists("C:\\boot.ini"));
    EXPECT_TRUE(sim::FileExists("C:\\Windows\\System32\\drivers\\sub\\cam.sys"));
    EXPECT_EQ(driversAttributes, sim::Attributes(paths::DRIVERS_DIR));
    EXPECT_EQ(2, CallCount("DeleteFileA")) << "only the INF and the PNF:\n" << sim::JournalText();
    EXPECT_EQ(2, CallCount("SetFileAttributesA"));
}

TEST_F(DriverFiles, ReadOnlyFilesAreDeletedAndUndeletableOnesKeepTheirOtherAttributes)
{
    sim::AddFile(Driver("ro.sys"), "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    sim::AddFile(Driver("stuck.sys"), "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    sim::ProtectFile(Driver("stuck.sys"));
    sim::AddFile(Driver("busy.sys"), "x");
    sim::LockFile(Driver("busy.sys"));
    sim::AddFile(Driver("after.sys"), "x");
    InstallPackage("ro.sys=1\r\nstuck.sys=1\r\nbusy.sys=1\r\nafter.sys=1\r\n");

    RemoveDriverFiles();

    EXPECT_FALSE(sim::FileExists(Driver("ro.sys")));
    EXPECT_TRUE(sim::FileExists(Driver("stuck.sys")));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), sim::Attributes(Driver("stuck.sys")));
    EXPECT_TRUE(sim::FileExists(Driver("busy.sys")));
    EXPECT_FALSE(sim::FileExists(Driver("after.sys")));
}

TEST_F(DriverFiles, ForceDeleteFileClearsOnlyReadOnly)
{
    struct {
        const char *row;
        DWORD attributes;
        bool protect;
        BOOL deleted;
        DWORD attributesAfter; // when not deleted
    } const cases[] = {
        {"plain", FILE_ATTRIBUTE_ARCHIVE, false, TRUE, 0},
        {"read-only, hidden", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, false, TRUE, 0},
        {"protected read-only", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, true, FALSE, FILE_ATTRIBUTE_ARCHIVE},
    };
    for (const auto &c : cases) {
        sim::Reset();
        sim::AddFile("C:\\f.sys", "x", c.attributes);
        if (c.protect) {
            sim::ProtectFile("C:\\f.sys");
        }
        EXPECT_EQ(c.deleted, ForceDeleteFile("C:\\f.sys")) << c.row;
        if (!c.deleted) {
            EXPECT_EQ(c.attributesAfter, sim::Attributes("C:\\f.sys")) << c.row;
            EXPECT_LT(CallIndex("DeleteFileA"), CallIndex("GetLastError")) << c.row;
        }
    }
    sim::Reset();
    EXPECT_FALSE(ForceDeleteFile("C:\\missing.sys"));
    EXPECT_EQ(0, CallCount("SetFileAttributesA")) << "nothing to write back";
    EXPECT_EQ(1, CallCount("DeleteFileA")) << "the deletion is attempted all the same";
}

TEST_F(DriverFiles, PnfMissingGivesZeroButTheInfGoes)
{
    InstallPackage("cam.sys=1\r\n", INF_PATH, nullptr);
    EXPECT_FALSE(RemoveDriverFiles());
    EXPECT_FALSE(sim::FileExists(INF_PATH));
}

TEST_F(DriverFiles, NoPackageInfTouchesNothing)
{
    sim::AddFile(Driver("cam.sys"), "x");
    sim::AddFile("C:\\Windows\\inf\\oem1.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\ncam.sys=1\r\n");
    EXPECT_FALSE(RemoveDriverFiles());
    EXPECT_EQ(0, CallCount("DeleteFileA"));
    EXPECT_EQ(0, CallCount("SetFileAttributesA"));
    EXPECT_TRUE(sim::FileExists(Driver("cam.sys")));
}

TEST_F(DriverFiles, ReaderIsClosedBeforeTheInfIsDeleted)
{
    InstallPackage("cam.sys=1\r\n");
    RemoveDriverFiles();
    int close = CallIndex("CloseHandle");
    int deleteInf = CallIndex("DeleteFileA", "OEM7.inf");
    ASSERT_GE(close, 0);
    EXPECT_LT(close, deleteInf);
    EXPECT_FALSE(sim::FileExists(INF_PATH));
}

TEST_F(DriverFiles, FailedInfDeletionStillTriesThePnf)
{
    InstallPackage("cam.sys=1\r\n");
    sim::ProtectFile(INF_PATH);
    EXPECT_TRUE(RemoveDriverFiles());
    EXPECT_TRUE(sim::FileExists(INF_PATH));
    EXPECT_FALSE(sim::FileExists(PNF_PATH));
}

// A path that does not fit the buffer, or whose directory is unknown, is
// skipped rather than cut short: a cut path can name another file.
TEST_F(DriverFiles, PathsThatDoNotFitOrHaveNoDirectoryAreSkipped)
{
    const std::string windows = "C:\\" + std::string(225, 'W');
    sim::SetWindowsDirectory(windows);
    sim::AddFile(windows + "\\inf\\oem7.inf", PackageInfText("a_rather_long_driver_name.sys=1\r\nx.dll=1\r\n"));
    sim::AddFile(windows + "\\System32\\drivers\\a_rather_long_driver_name.sys", "x");
    sim::AddFile(windows + "\\System32\\drivers\\a_rather_", "x");
    sim::AddFile(windows + "\\System32\\drivers\\x.dll", "x");
    sim::AddFile(windows + "\\SysWOW64\\x.dll", "x");
    sim::FailCall("GetWindowsDirectoryA", ERROR_NOT_ENOUGH_MEMORY, 9); // 8 for OEM0..OEM7, then x.dll's SysWOW64 query

    RemoveDriverFiles();

    EXPECT_TRUE(sim::FileExists(windows + "\\System32\\drivers\\a_rather_long_driver_name.sys"));
    EXPECT_TRUE(sim::FileExists(windows + "\\System32\\drivers\\a_rather_"));
    EXPECT_FALSE(sim::FileExists(windows + "\\System32\\drivers\\x.dll"));
    EXPECT_TRUE(sim::FileExists(windows + "\\SysWOW64\\x.dll"));
    EXPECT_FALSE(sim::FileExists(windows + "\\inf\\oem7.inf"));
}

class CleanupFilePasses : public DriverFiles {};

TEST_F(CleanupFilePasses, OneInfIsHandledOnceAndTheSecondPassFindsNothing)
{
    sim::AddFile(Driver("cam.sys"), "x");
    InstallPackage("cam.sys=1\r\n");
    EXPECT_EQ(0, UninstallMain());
    EXPECT_FALSE(sim::FileExists(Driver("cam.sys")));
    EXPECT_FALSE(sim::FileExists(INF_PATH));
    EXPECT_EQ(1, CallCount("DeleteFileA", "cam.sys"));
    EXPECT_EQ(1, CallCount("DeleteFileA", "OEM7.inf"));
}

TEST_F(CleanupFilePasses, TwoInfsAreHandledLowerNumberFirst)
{
    sim::AddFile(Driver("cam.sys"), "x");
    sim::AddFile(Driver("cam2.sys"), "x");
    InstallPackage("cam2.sys=1\r\n", "C:\\Windows\\inf\\oem9.inf", "C:\\Windows\\inf\\oem9.pnf");
    InstallPackage("cam.sys=1\r\n", "C:\\Windows\\inf\\oem3.inf", "C:\\Windows\\inf\\oem3.pnf");
    EXPECT_EQ(0, UninstallMain());
    EXPECT_EQ(std::vector<std::string>{}, sim::ListFiles());
    EXPECT_LT(CallIndex("DeleteFileA", "OEM3.PNF"), CallIndex("DeleteFileA", "cam2.sys"));
}

TEST_F(CleanupFilePasses, AnInfThatCannotBeDeletedIsHandledAgain)
{
    sim::AddFile(Driver("cam.sys"), "x");
    sim::ProtectFile(Driver("cam.sys"));
    InstallPackage("cam.sys=1\r\n");
    sim::ProtectFile(INF_PATH);
    EXPECT_EQ(0, UninstallMain());
    EXPECT_EQ(2, CallCount("DeleteFileA", "drivers\\cam.sys"));
    EXPECT_EQ(2, CallCount("DeleteFileA", "OEM7.inf"));
    EXPECT_TRUE(sim::FileExists(INF_PATH));
}

} // namespace
