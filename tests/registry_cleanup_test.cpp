// The registry cleanup: the product's uninstall entry and the companion's
// Run value go; everything around them stays.
#include "test_support.h"

namespace {

class RegistryCleanup : public SimTest {
  protected:
    void InstallEntries(bool productEntry, bool runValue)
    {
        sim::AddKey(paths::UNINSTALL_KEY);
        sim::AddKey(paths::RUN_KEY);
        sim::AddKey(std::string(paths::UNINSTALL_KEY) + "\\{11111111-2222-3333-4444-555555555555}");
        sim::SetValue(paths::RUN_KEY, "OtherTool", "C:\\other.exe");
        if (productEntry) {
            sim::SetValue(paths::PRODUCT_ENTRY, "DisplayName", "Ondrevix");
        }
        if (runValue) {
            sim::SetValue(paths::RUN_KEY, COMPANION_NAME, "C:\\Program Files\\Velmorin\\Halvoren.exe");
        }
    }

    void ExpectNeighboursKept()
    {
        EXPECT_TRUE(sim::KeyExists(std::string(paths::UNINSTALL_KEY) + "\\{11111111-2222-3333-4444-555555555555}"));
        EXPECT_TRUE(sim::ValueExists(paths::RUN_KEY, "OtherTool"));
    }
};

TEST_F(RegistryCleanup, PresenceOfTheTwoEntries)
{
    struct {
        const char *row;
        bool productEntry;
        bool runValue;
    } const cases[] = {
        {"both present", true, true},
        {"neither present", false, false},
        {"only the uninstall entry", true, false},
        {"only the Run value", false, true},
    };
    for (const auto &c : cases) {
        sim::Reset();
        InstallEntries(c.productEntry, c.runValue);
        RemoveRegistryEntries();
        EXPECT_FALSE(sim::KeyExists(paths::PRODUCT_ENTRY)) << c.row;
        EXPECT_FALSE(sim::ValueExists(paths::RUN_KEY, COMPANION_NAME)) << c.row;
        ExpectNeighboursKept();
        EXPECT_EQ(2, CallCount("RegOpenKeyExA")) << c.row;
        EXPECT_EQ(2, CallCount("RegCloseKey")) << c.row;
        EXPECT_EQ("", sim::LeakedHandles()) << c.row;
    }
}

TEST_F(RegistryCleanup, OpensWithFullAccessInTheNativeView)
{
    InstallEntries(true, true);
    RemoveRegistryEntries();
    EXPECT_EQ(0, CallIndex("RegOpenKeyExA", "HKEY_LOCAL_MACHINE, \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\", 0, 0xF003F"));
    EXPECT_LT(0, CallIndex("RegOpenKeyExA", "HKEY_LOCAL_MACHINE, \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\", 0, 0xF003F"));
}

TEST_F(RegistryCleanup, UninstallKeyNotOpeningStillDeletesTheRunValue)
{
    InstallEntries(true, true);
    sim::DenyFullAccess(paths::UNINSTALL_KEY);
    RemoveRegistryEntries();
    EXPECT_TRUE(sim::KeyExists(paths::PRODUCT_ENTRY));
    EXPECT_FALSE(sim::ValueExists(paths::RUN_KEY, COMPANION_NAME));
    EXPECT_EQ(-1, CallIndex("RegDeleteKeyA"));
    EXPECT_EQ(1, CallCount("RegCloseKey"));
}

TEST_F(RegistryCleanup, MissingKeysCloseNothing)
{
    RemoveRegistryEntries();
    EXPECT_EQ(2, CallCount("RegOpenKeyExA"));
    EXPECT_EQ(0, CallCount("RegCloseKey"));
    EXPECT_EQ(0, CallCount("RegDeleteKeyA"));
    EXPECT_EQ(0, CallCount("RegDeleteValueA"));
}

TEST_F(RegistryCleanup, ProductEntryWithSubkeysIsNotDeletedRecursively)
{
    InstallEntries(true, true);
    sim::AddKey(std::string(paths::PRODUCT_ENTRY) + "\\Patches");
    RemoveRegistryEntries();
    EXPECT_TRUE(sim::KeyExists(std::string(paths::PRODUCT_ENTRY) + "\\Patches"));
    EXPECT_EQ(1, CallCount("RegDeleteKeyA"));
    EXPECT_FALSE(sim::ValueExists(paths::RUN_KEY, COMPANION_NAME));
}

TEST_F(RegistryCleanup, LeavesTheCurrentUserAndThe32BitViewAlone)
{
    InstallEntries(true, true);
    const std::string user = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    const std::string wow = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion";
    sim::AddKey(user + "\\Uninstall\\" + PRODUCT_CODE);
    sim::SetValue(user + "\\Run", COMPANION_NAME, "x");
    sim::AddKey(wow + "\\Uninstall\\" + PRODUCT_CODE);
    sim::SetValue(wow + "\\Run", COMPANION_NAME, "x");
    RemoveRegistryEntries();
    EXPECT_TRUE(sim::KeyExists(user + "\\Uninstall\\" + PRODUCT_CODE));
    EXPECT_TRUE(sim::ValueExists(user + "\\Run", COMPANION_NAME));
    EXPECT_TRUE(sim::KeyExists(wow + "\\Uninstall\\" + PRODUCT_CODE));
    EXPECT_TRUE(sim::ValueExists(wow + "\\Run", COMPANION_NAME));
}

TEST_F(RegistryCleanup, RefusedDeletionsStillCloseEachKeyOnce)
{
    InstallEntries(true, true);
    sim::FailCall("RegDeleteKeyA", ERROR_ACCESS_DENIED);
    sim::FailCall("RegDeleteValueA", ERROR_ACCESS_DENIED);
    RemoveRegistryEntries();
    EXPECT_TRUE(sim::KeyExists(paths::PRODUCT_ENTRY));
    EXPECT_TRUE(sim::ValueExists(paths::RUN_KEY, COMPANION_NAME));
    EXPECT_EQ(2, CallCount("RegCloseKey"));
}

} // namespace
