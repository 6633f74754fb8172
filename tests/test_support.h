// What every native test shares: a fresh simulated machine per test, checks
// that the program made no call the simulation does not model and left no
// handle open, and helpers to read the journal.
#ifndef UNINSTALL_TESTS_TEST_SUPPORT_H
#define UNINSTALL_TESTS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim.h"
#include "uninstall.h"

// The program's main, compiled under this name for in-process tests.
int UninstallMain();

namespace paths {
const char HKLM[] = "HKEY_LOCAL_MACHINE";
const char PRODUCT_KEY[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmorin\\Ondrevix";
const char UNINSTALL_KEY[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char PRODUCT_ENTRY[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "{6D1A4C27-8E5B-4B90-9F13-2C7A05E4B8D6}";
const char RUN_KEY[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char MAINTENANCE_PROGRAM[] =
    "C:\\Program Files\\InstallShield Installation Information\\{6D1A4C27-8E5B-4B90-9F13-2C7A05E4B8D6}\\setup.exe";
const char INF_DIR[] = "C:\\Windows\\inf";
const char DRIVERS_DIR[] = "C:\\Windows\\System32\\drivers";
const char WOW64_DIR[] = "C:\\Windows\\SysWOW64";
} // namespace paths

class SimTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// A driver file's path in <System>\drivers and in <Windows>\SysWOW64.
std::string Driver(const std::string &name);
std::string Wow64(const std::string &name);

// A device of the simulated device installer.
sim::Device Dev(const std::string &instanceId, std::vector<std::string> hardwareIds, bool present = true);

// Index in the journal of the first call named name whose arguments contain
// argsPart, searching from `from`; -1 when there is none.
int CallIndex(const std::string &name, const std::string &argsPart = "", int from = 0);
// How many journaled calls are named name and have arguments containing argsPart.
int CallCount(const std::string &name, const std::string &argsPart = "");

#endif // UNINSTALL_TESTS_TEST_SUPPORT_H
