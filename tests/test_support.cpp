#include "test_support.h"

#include <cstring>

void SimTest::SetUp()
{
    sim::Reset();
    memset(&g_hardwareIdTable, 0, sizeof g_hardwareIdTable);
}

void SimTest::TearDown()
{
    EXPECT_EQ("", sim::UnexpectedCalls()) << "journal:\n" << sim::JournalText();
    EXPECT_EQ("", sim::LeakedHandles());
}

int CallIndex(const std::string &name, const std::string &argsPart, int from)
{
    const std::vector<sim::Call> &journal = sim::Journal();
    for (size_t i = static_cast<size_t>(from < 0 ? 0 : from); i < journal.size(); ++i) {
        if (journal[i].name == name && journal[i].args.find(argsPart) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CallCount(const std::string &name, const std::string &argsPart)
{
    int count = 0;
    for (const sim::Call &call : sim::Journal()) {
        if (call.name == name && call.args.find(argsPart) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

std::string Driver(const std::string &name)
{
    return std::string(paths::DRIVERS_DIR) + "\\" + name;
}

std::string Wow64(const std::string &name)
{
    return std::string(paths::WOW64_DIR) + "\\" + name;
}

sim::Device Dev(const std::string &instanceId, std::vector<std::string> hardwareIds, bool present)
{
    sim::Device device;
    device.instanceId = instanceId;
    device.hardwareIds = std::move(hardwareIds);
    device.present = present;
    return device;
}
