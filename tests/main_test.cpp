// The entry point: the product-key probe chooses between starting the
// installer's maintenance program and the clean-up course, whose steps run
// in a fixed order whatever becomes of each.
#include "test_support.h"

namespace {

class Sequence : public SimTest {
  protected:
    void InstallMaintenanceProgram()
    {
        sim::AddFile(paths::MAINTENANCE_PROGRAM, "MZ");
    }

    void InstallRegistryEntries()
    {
        sim::SetValue(paths::PRODUCT_ENTRY, "DisplayName", "Ondrevix");
        sim::SetValue(paths::RUN_KEY, COMPANION_NAME, "C:\\Program Files\\Velmorin\\Halvoren.exe");
    }

    bool CleanupRan()
    {
        return CallIndex("RegOpenKeyExA", "Uninstall") >= 0 && CallIndex("FindWindowA") >= 0;
    }
};

TEST_F(Sequence, ProductKeyOpenStartsOnlyTheMaintenanceProgram)
{
    sim::AddKey(paths::PRODUCT_KEY);
    InstallMaintenanceProgram();
    InstallRegistryEntries();
    HWND companion = sim::AddWindow(COMPANION_WINDOW_CLASS, COMPANION_NAME);

    EXPECT_EQ(0, UninstallMain());

    std::vector<std::string> expected = {"RegOpenKeyExA", "RegCloseKey", "WinExec"};
    EXPECT_EQ(expected, sim::CallNames());
    EXPECT_EQ(0, CallIndex("RegOpenKeyExA", "HKEY_LOCAL_MACHINE, \"SOFTWARE\\Velmorin\\Ondrevix\", 0, 0xF003F"));
    ASSERT_EQ(1u, sim::Started().size());
    EXPECT_EQ(paths::MAINTENANCE_PROGRAM, sim::Started()[0].program);
    EXPECT_EQ(std::string("\"") + paths::MAINTENANCE_PROGRAM + "\"", sim::Started()[0].commandLine);
    EXPECT_EQ(5u, sim::Started()[0].show);
    EXPECT_TRUE(sim::KeyExists(paths::PRODUCT_KEY));
    EXPECT_TRUE(sim::KeyExists(paths::PRODUCT_ENTRY));
    EXPECT_TRUE(sim::ValueExists(paths::RUN_KEY, COMPANION_NAME));
    EXPECT_TRUE(sim::WindowOpen(companion));
}

// Unquoted, the blank in "Program Files" would start C:\Program.exe.
TEST_F(Sequence, DecoyProgramsOnTheUnquotedPathAreNotStarted)
{
    sim::AddKey(paths::PRODUCT_KEY);
    InstallMaintenanceProgram();
    sim::AddFile("C:\\Program.exe", "MZ");
    sim::AddFile("C:\\Program Files\\InstallShield.exe", "MZ");

    EXPECT_EQ(0, UninstallMain());

    ASSERT_EQ(1u, sim::Started().size());
    EXPECT_EQ(paths::MAINTENANCE_PROGRAM, sim::Started()[0].program);
}

TEST_F(Sequence, MissingMaintenanceProgramEndsWithoutCleanup)
{
    sim::AddKey(paths::PRODUCT_KEY);
    InstallRegistryEntries();

    EXPECT_EQ(0, UninstallMain());

    EXPECT_TRUE(sim::Started().empty());
    EXPECT_FALSE(CleanupRan());
    EXPECT_TRUE(sim::KeyExists(paths::PRODUCT_ENTRY));
}

TEST_F(Sequence, ProbeThatDoesNotOpenSelectsTheCleanup)
{
    struct {
        const char *row;
        void (*setUp)();
    } const cases[] = {
        {"key absent", [] {}},
        {"full access denied", [] { sim::DenyFullAccess(paths::PRODUCT_KEY); }},
        {"key only in the 32-bit view", [] { sim::AddKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Velmorin\\Ondrevix"); }},
        {"key only for the current user", [] { sim::AddKey("HKEY_CURRENT_USER\\SOFTWARE\\Velmorin\\Ondrevix"); }},
    };
    for (const auto &c : cases) {
        sim::Reset();
        InstallMaintenanceProgram();
        InstallRegistryEntries();
        c.setUp();

        EXPECT_EQ(0, UninstallMain()) << c.row;

        EXPECT_TRUE(sim::Started().empty()) << c.row;
        EXPECT_TRUE(CleanupRan()) << c.row;
        EXPECT_FALSE(sim::KeyExists(paths::PRODUCT_ENTRY)) << c.row;
        EXPECT_FALSE(sim::ValueExists(paths::RUN_KEY, COMPANION_NAME)) << c.row;
        EXPECT_EQ(0, CallCount("RegCloseKey", "Ondrevix")) << c.row;
    }
}

TEST_F(Sequence, NoCompanionWindowMeansNoMessageAndNoPause)
{
    EXPECT_EQ(0, UninstallMain());
    EXPECT_EQ(1, CallCount("FindWindowA", "\"#32770\", \"Halvoren\""));
    EXPECT_EQ(0, CallCount("SendMessageTimeoutA"));
    EXPECT_EQ(0, CallCount("Sleep"));
    EXPECT_EQ(0u, sim::ClockMs());
}

TEST_F(Sequence, CompanionWindowGetsOneCloseRequestThenOnePause)
{
    HWND companion = sim::AddWindow("#32770", "Halvoren");
    HWND other = sim::AddWindow("#32770", "Another dialog");

    EXPECT_EQ(0, UninstallMain());

    std::vector<sim::Message> messages = sim::MessagesTo(companion);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(static_cast<UINT>(WM_CLOSE), messages[0].msg);
    EXPECT_EQ(0u, messages[0].wParam);
    EXPECT_EQ(0, messages[0].lParam);
    EXPECT_FALSE(sim::WindowOpen(companion));
    EXPECT_TRUE(sim::MessagesTo(other).empty());
    EXPECT_EQ(1, CallCount("Sleep", "1000"));
    EXPECT_EQ(1000u, sim::ClockMs());

    // Registry cleanup first, then the close request, then the pause.
    int lastRegistryCall = CallIndex("RegCloseKey", "", CallIndex("RegOpenKeyExA", "Run"));
    int send = CallIndex("SendMessageTimeoutA");
    EXPECT_LT(lastRegistryCall, CallIndex("FindWindowA"));
    EXPECT_LT(CallIndex("FindWindowA"), send);
    EXPECT_EQ(send + 1, CallIndex("Sleep"));
}

TEST_F(Sequence, CloseRequestIsBoundedAndAbandonsAHungCompanion)
{
    HWND companion = sim::AddWindow("#32770", "Halvoren", true);

    EXPECT_EQ(0, UninstallMain());

    EXPECT_EQ(1u, sim::MessagesTo(companion).size());
    EXPECT_EQ(1, CallCount("SendMessageTimeoutA", "0x10, 0, 0, 0x2, 10000"));
    EXPECT_EQ(1, CallCount("Sleep", "1000"));
    EXPECT_LE(sim::ClockMs(), 10000u + 1000u);
}

TEST_F(Sequence, StepsRunInOrderAndTheFilePassesComeAfterTheWindow)
{
    sim::AddWindow("#32770", "Halvoren");
    InstallRegistryEntries();

    EXPECT_EQ(0, UninstallMain());

    int sleep = CallIndex("Sleep");
    ASSERT_GE(sleep, 0);
    // Nothing of the device or file steps comes before the pause.
    for (int i = 0; i < sleep; ++i) {
        const std::string &name = sim::Journal()[static_cast<size_t>(i)].name;
        EXPECT_TRUE(name.rfind("Reg", 0) == 0 || name == "FindWindowA" || name == "SendMessageTimeoutA") << name;
    }
}

TEST_F(Sequence, EveryCallFailingStillRunsEveryStep)
{
    InstallRegistryEntries();
    sim::AddWindow("#32770", "Halvoren");
    sim::FailNthCall(1, true);

    EXPECT_EQ(0, UninstallMain());

    EXPECT_EQ(3, CallCount("RegOpenKeyExA"));
    EXPECT_EQ(1, CallCount("FindWindowA"));
    EXPECT_TRUE(sim::KeyExists(paths::PRODUCT_ENTRY));
    EXPECT_GT(sim::FaultsHit(), 3);
}

} // namespace
