// libportquest.so on recorded sysfs trees: the names and numbers come from
// the same rule as the koralink library's.
#include "portquest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

const char *kMixed = PORTS_FIXTURE_DIR "/pc-mixed";

class LinuxPortQuest : public ::testing::Test {
  protected:
    void SetUp() override { setenv("KORALINK_SYSFS_ROOT", kMixed, 1); }
    void TearDown() override { unsetenv("KORALINK_SYSFS_ROOT"); }

    static std::vector<int> List(const char *fragment) {
        int out[255];
        int count = PortQuest(fragment, out, 255);
        return std::vector<int>(out, out + count);
    }
};

} // namespace

TEST_F(LinuxPortQuest, FixtureMachinePortsInComOrder) {
    // Console ttyS0 and the placeholder lines never show up.
    EXPECT_EQ(List(""), (std::vector<int>{2, 67, 127, 173, 239}));
    EXPECT_EQ(List("Communications Port"), std::vector<int>{2});
    EXPECT_EQ(PortQuest("FT232R USB UART (COM239)", nullptr, 0), 239);
    EXPECT_EQ(PortQuest("USB Serial Port", nullptr, 0), 67) << "adapter without product string";
    EXPECT_EQ(PortQuest("ft232r", nullptr, 0), 0);
}

TEST_F(LinuxPortQuest, MissingSysfsGivesZero) {
    setenv("KORALINK_SYSFS_ROOT", "/nonexistent/root", 1);
    EXPECT_EQ(List(""), std::vector<int>{});
    EXPECT_EQ(PortQuest("", nullptr, 0), 0);
}

TEST_F(LinuxPortQuest, ListToolPrintsMatchingPorts) {
    std::string command = std::string("'") + PORTQUEST_LIST + "' CP2102";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[64] = {0};
    std::string output;
    while (fgets(line, sizeof line, pipe) != nullptr) {
        output += line;
    }
    int status = pclose(pipe);
    EXPECT_EQ(output, "COM127\n");
    EXPECT_EQ(status, 0);
    pipe = popen((std::string("'") + PORTQUEST_LIST + "' 'no such adapter'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    EXPECT_EQ(fgets(line, sizeof line, pipe), nullptr);
    EXPECT_NE(pclose(pipe), 0) << "no match must give a failing exit status";
}

TEST(LinuxPortQuestLibrary, ExportsPortQuestAlone) {
    void *library = dlopen(PORTQUEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_NE(dlsym(library, "PortQuest"), nullptr);
    EXPECT_EQ(dlsym(library, "_ZN9portquest10QuestPortsERNS_8SetupApiEPKcPii"), nullptr)
        << "the walk is an internal of the library";
    EXPECT_EQ(dlsym(library, "_ZN8koralink7Fnv1a32ERKNSt7__cxx1112basic_stringIcSt11char_"
                             "traitsIcESaIcEEE"),
              nullptr)
        << "the enumeration code linked in must not be exported";
    dlclose(library);
}
