// The simulated Windows itself: the behaviours the program's tests rely on,
// each as Windows documents it or as observed under Wine.
#include "test_support.h"

namespace {

using SimFiles = SimTest;
using SimRegistry = SimTest;
using SimProcess = SimTest;
using SimFaults = SimTest;

TEST_F(SimFiles, PathsResolveWithoutRegardToCaseAndAreNormalised)
{
    sim::AddFile("C:\\Windows\\inf\\oem7.inf", "x");
    sim::AddFile("C:\\Windows\\inf\\oem7.PNF", "p");
    struct {
        const char *path;
        DWORD attributes;
    } const cases[] = {
        {"C:\\Windows\\inf\\OEM7.inf", FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\WINDOWS\\INF\\OEM7.PNF", FILE_ATTRIBUTE_ARCHIVE},
        {"c:/windows/inf/oem7.inf", FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\Windows\\System32\\..\\inf\\.\\oem7.inf", FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\Windows\\inf\\oem7.inf. ", FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\Windows\\inf", FILE_ATTRIBUTE_DIRECTORY},
        {"C:\\Windows\\inf\\oem8.inf", INVALID_FILE_ATTRIBUTES},
        {"C:\\Windows\\inf\\C:\\oem7.inf", INVALID_FILE_ATTRIBUTES},
        {"D:\\Windows\\inf\\oem7.inf", INVALID_FILE_ATTRIBUTES},
        {"inf\\oem7.inf", INVALID_FILE_ATTRIBUTES},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.attributes, GetFileAttributesA(c.path)) << c.path;
    }
}

TEST_F(SimFiles, MissingFileAndMissingFolderGiveDifferentErrors)
{
    sim::AddFolder("C:\\Windows\\inf");
    EXPECT_FALSE(DeleteFileA("C:\\Windows\\inf\\oem1.inf"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(DeleteFileA("C:\\Windows\\nowhere\\oem1.inf"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST_F(SimFiles, DeleteRefusesReadOnlyFilesFoldersProtectedAndOpenFiles)
{
    sim::AddFile("C:\\ro.sys", "", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    sim::AddFolder("C:\\folder");
    sim::AddFile("C:\\protected.sys", "");
    sim::ProtectFile("C:\\protected.sys");
    sim::AddFile("C:\\locked.sys", "");
    sim::LockFile("C:\\locked.sys");
    sim::AddFile("C:\\plain.sys", "");
    struct {
        const char *path;
        DWORD error;
    } const cases[] = {
        {"C:\\ro.sys", ERROR_ACCESS_DENIED},
        {"C:\\folder", ERROR_ACCESS_DENIED},
        {"C:\\protected.sys", ERROR_ACCESS_DENIED},
        {"C:\\locked.sys", ERROR_SHARING_VIOLATION},
        {"C:\\plain.sys", ERROR_SUCCESS},
    };
    for (const auto &c : cases) {
        BOOL deleted = DeleteFileA(c.path);
        EXPECT_EQ(c.error == ERROR_SUCCESS, deleted != FALSE) << c.path;
        if (!deleted) {
            EXPECT_EQ(c.error, GetLastError()) << c.path;
            EXPECT_TRUE(sim::FileExists(c.path)) << c.path;
        }
    }
    EXPECT_FALSE(sim::FileExists("C:\\plain.sys"));
}

TEST_F(SimFiles, AttributesAreKeptAsWrittenAndReadOnlyCanBeCleared)
{
    sim::AddFile("C:\\cam.sys", "", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_TRUE(SetFileAttributesA("C:\\cam.sys", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE), sim::Attributes("C:\\cam.sys"));
    EXPECT_TRUE(SetFileAttributesA("C:\\cam.sys", 0));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL), sim::Attributes("C:\\cam.sys"));
    EXPECT_TRUE(DeleteFileA("C:\\cam.sys"));
}

TEST_F(SimFiles, AnOpenReaderWithoutDeleteSharingBlocksDeletion)
{
    sim::AddFile("C:\\Windows\\inf\\oem1.inf", "text");
    HANDLE file = CreateFileA("C:\\Windows\\inf\\OEM1.inf", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_FALSE(DeleteFileA("C:\\Windows\\inf\\oem1.inf"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    char buffer[16] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, NULL));
    EXPECT_EQ(4u, read);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_TRUE(DeleteFileA("C:\\Windows\\inf\\oem1.inf"));
}

TEST_F(SimFiles, DirectoryQueriesAndTheirFailures)
{
    char buffer[256];
    EXPECT_EQ(10u, GetWindowsDirectoryA(buffer, sizeof buffer));
    EXPECT_STREQ("C:\\Windows", buffer);
    EXPECT_EQ(19u, GetSystemDirectoryA(buffer, sizeof buffer));
    EXPECT_STREQ("C:\\Windows\\System32", buffer);
    EXPECT_EQ(11u, GetWindowsDirectoryA(buffer, 5)) << "too small: the size needed";
    sim::SetWindowsDirectory("");
    EXPECT_EQ(0u, GetWindowsDirectoryA(buffer, sizeof buffer));
    EXPECT_EQ(0u, GetSystemDirectoryA(buffer, sizeof buffer));
}

TEST_F(SimRegistry, KeysOpenWithoutRegardToCaseAndDenyFullAccessWhenMarked)
{
    sim::AddKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmorin\\Ondrevix");
    sim::AddKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked");
    sim::DenyFullAccess("HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked");
    sim::AddKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Only32");
    struct {
        const char *path;
        REGSAM access;
        LONG result;
    } const cases[] = {
        {"software\\velmorin\\ONDREVIX", KEY_ALL_ACCESS, ERROR_SUCCESS},
        {"SOFTWARE\\Locked", KEY_ALL_ACCESS, ERROR_ACCESS_DENIED},
        {"SOFTWARE\\Locked", 0x20019, ERROR_SUCCESS},
        {"SOFTWARE\\Missing", KEY_ALL_ACCESS, ERROR_FILE_NOT_FOUND},
        {"SOFTWARE\\Only32", KEY_ALL_ACCESS, ERROR_FILE_NOT_FOUND},
        {"SOFTWARE\\Only32", KEY_ALL_ACCESS | KEY_WOW64_32KEY, ERROR_SUCCESS},
    };
    for (const auto &c : cases) {
        HKEY key = NULL;
        LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, c.path, 0, c.access, &key);
        EXPECT_EQ(c.result, result) << c.path;
        if (result == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
    }
}

TEST_F(SimRegistry, DeleteKeyRefusesAKeyWithSubkeys)
{
    sim::AddKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B\\C");
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "B"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "b\\c"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "B"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(key, "B"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_FALSE(sim::KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B"));
}

TEST_F(SimRegistry, RegFilesRoundTrip)
{
    const std::string text =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmorin\\Ondrevix]\n"
        ";deny-full-access\n"
        "@=\"default\"\n"
        "\"Path\"=\"C:\\\\Program Files\\\\Velmorin\"\n"
        "\"Count\"=dword:00000003\n\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\X]\n\n";
    sim::ImportRegistry(text);
    const std::string exported = sim::ExportRegistry();
    // Every key is written, parents included, as regedit writes them.
    EXPECT_NE(std::string::npos, exported.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmorin]\n\n"));
    EXPECT_NE(std::string::npos, exported.find(text.substr(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmorin\\"),
                                                           text.find("[HKEY_CURRENT_USER") - text.find("[HKEY_LOCAL"))));
    sim::Reset();
    sim::ImportRegistry(exported);
    EXPECT_EQ(exported, sim::ExportRegistry());
    EXPECT_TRUE(sim::ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmorin\\Ondrevix", "path"));
}

TEST_F(SimRegistry, ClosingAnUnknownKeyIsFlagged)
{
    EXPECT_NE(ERROR_SUCCESS, RegCloseKey(reinterpret_cast<HKEY>(0x1234)));
    EXPECT_NE("", sim::UnexpectedCalls());
    sim::Reset();
}

TEST_F(SimProcess, WinExecResolvesAnUnquotedCommandLineABlankAtATime)
{
    const std::string target = "C:\\Program Files\\Sub Dir\\setup.exe";
    struct {
        const char *row;
        std::vector<std::string> files;
        std::string commandLine;
        std::string started; // empty: nothing starts
    } const cases[] = {
        {"unquoted, decoy first", {"C:\\Program.exe", target}, target, "C:\\Program.exe"},
        {"unquoted, second candidate", {"C:\\Program Files\\Sub.exe", target}, target, "C:\\Program Files\\Sub.exe"},
        {"unquoted, no decoy", {target}, target, target},
        {"quoted", {"C:\\Program.exe", target}, "\"" + target + "\"", target},
        {"quoted, missing", {"C:\\Program.exe"}, "\"" + target + "\"", ""},
    };
    for (const auto &c : cases) {
        sim::Reset();
        for (const std::string &file : c.files) {
            sim::AddFile(file, "MZ");
        }
        UINT result = WinExec(c.commandLine.c_str(), SW_SHOW);
        if (c.started.empty()) {
            EXPECT_EQ(static_cast<UINT>(ERROR_FILE_NOT_FOUND), result) << c.row;
            EXPECT_TRUE(sim::Started().empty()) << c.row;
        } else {
            EXPECT_GT(result, 31u) << c.row;
            ASSERT_EQ(1u, sim::Started().size()) << c.row;
            EXPECT_EQ(c.started, sim::Started()[0].program) << c.row;
        }
    }
}

TEST_F(SimFaults, CountdownFailsTheNthCallOnceOrFromThenOn)
{
    sim::AddFile("C:\\a", "");
    for (bool persistent : {false, true}) {
        sim::ClearFaults();
        sim::ClearJournal();
        sim::FailNthCall(sim::FaultableCalls() + 2, persistent);
        std::vector<bool> results;
        for (int i = 0; i < 4; ++i) {
            results.push_back(GetFileAttributesA("C:\\a") != INVALID_FILE_ATTRIBUTES);
        }
        std::vector<bool> expected = persistent ? std::vector<bool>{true, false, false, false}
                                                : std::vector<bool>{true, false, true, true};
        EXPECT_EQ(expected, results) << (persistent ? "persistent" : "transient");
        EXPECT_TRUE(sim::Journal()[1].injected);
    }
}

TEST_F(SimFaults, ANamedCallFailsWithTheChosenError)
{
    sim::AddFile("C:\\a", "");
    sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION, 2);
    sim::AddFile("C:\\b", "");
    EXPECT_TRUE(DeleteFileA("C:\\a"));
    EXPECT_FALSE(DeleteFileA("C:\\b"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_TRUE(sim::FileExists("C:\\b"));
    EXPECT_EQ(1, sim::FaultsHit());
}

} // namespace
