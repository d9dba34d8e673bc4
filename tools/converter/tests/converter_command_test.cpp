// The converter command as scripts run it, against simulated converter
// modules on loopback: listing, showing, changing, and every refusal with
// its exit status.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "sim/lab.h"
#include "testsupport/testsupport.h"

namespace {

struct CommandRun {
    int status;
    std::string out;
};

CommandRun Command(const std::string &arguments) {
    auto run = testsupport::RunCommand(std::string(CONVERTER_EXE) + " " + arguments + " 2>&1");
    return {run.status, run.output};
}

bool Has(const CommandRun &run, const std::string &text) {
    return run.out.find(text) != std::string::npos;
}

int FreeUdpPort() {
    return testsupport::FreeLoopbackPort(SOCK_DGRAM);
}

// One module that takes writes and one that takes them without applying
// them; the commands run in this process's environment, which the lab set.
class ConverterCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string port = std::to_string(FreeUdpPort());
        std::string text =
            "[lab]\nLanTargets=127.255.255.255:" + port +
            "\nKORALINK_LAN_WINDOW_MS=400\nKORALINK_LAN_ACCESS_MS=600\n"
            "[converter good]\nKind=Converter\nMac=02:00:00:00:00:A1\nHost=127.0.0.161\nUdpPort=" +
            port +
            "\nOP=1\nBR=9\nRP=5001\nSensor=no\nBootMs=100\n"
            "[converter "
            "stubborn]\nKind=Converter\nMac=02:00:00:00:00:A2\nHost=127.0.0.162\nUdpPort=" +
            port + "\nOP=1\nRP=5002\nSensor=no\nConverterFault=unconfirmed\nBootMs=100\n";
        std::string error;
        lab_ = corvinsim::Lab::Start(text, "", &error);
        ASSERT_TRUE(lab_) << error;
        lab_->ApplyEnvironment();
    }
    std::unique_ptr<corvinsim::Lab> lab_;
};

} // namespace

TEST_F(ConverterCommand, ListShowsEveryModuleOnALine) {
    CommandRun run = Command("list");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(Has(run, "127.0.0.161 02:00:00:00:00:A1 ")) << run.out;
    EXPECT_TRUE(Has(run, " server ")) << run.out;
    EXPECT_TRUE(Has(run, " 28800\n")) << run.out;
    EXPECT_TRUE(Has(run, "127.0.0.162 02:00:00:00:00:A2 ")) << run.out;

    run = Command("--json list");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("[{\"mac\":\"02:00:00:00:00:A1\"", 0), 0u) << run.out;
}

TEST_F(ConverterCommand, SetWritesConfirmsAndSurvivesTheRestart) {
    CommandRun run = Command("set 127.0.0.161 remote-port=7123 remote-host=127.0.0.9 baud=57600 "
                             "mask=255.255.255.128");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(Has(run, "remote-port=7123\n")) << run.out;
    // A new run asks the restarted module.
    run = Command("show 127.0.0.161");
    EXPECT_EQ(run.status, 0) << run.out;
    for (const char *line : {"remote-port=7123\n", "remote-host=127.0.0.9\n", "baud=57600\n",
                             "mask=255.255.255.128\n", "op-mode=server\n"})
        EXPECT_TRUE(Has(run, line)) << line << " missing in\n" << run.out;
}

TEST_F(ConverterCommand, AModuleThatDoesNotConfirmFailsAndKeepsItsSettings) {
    CommandRun run = Command("set 127.0.0.162 remote-port=7000");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_TRUE(Has(run, "remote port")) << "the cause names the setting: " << run.out;
    EXPECT_FALSE(Has(run, "remote-port=7000")) << run.out;
    // It restarts with its old settings.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    run = Command("show 127.0.0.162");
    EXPECT_TRUE(Has(run, "remote-port=5002\n")) << run.out;
}

TEST_F(ConverterCommand, RefusalsAndTheirExitStatus) {
    struct Case {
        const char *arguments;
        int status;
        const char *says;
    } cases[] = {
        {"", 2, "no command given"},
        {"--bogus list", 2, "unknown option '--bogus'"},
        {"scan", 2, "unknown command 'scan'"},
        {"list extra", 2, "list takes no arguments"},
        {"show", 2, "needs the module's ADDRESS"},
        {"show plant.example", 2, "'plant.example' is not a dotted IPv4 address"},
        {"set 127.0.0.161", 2, "at least one KEY=VALUE"},
        {"set 127.0.0.161 speed=9600", 2, "speed: unknown key"},
        {"set 127.0.0.161 remote-port=7000 baud=22800", 2, "baud: '22800' is not"},
        {"set 127.0.0.161 ip-mode=dhcp ip=127.0.0.161", 2, "need static IP"},
        {"set 127.0.0.163 remote-port=7000", 1, "no converter module answered"},
        {"show 127.0.0.163", 1, "no converter module answered"},
    };
    for (const Case &c : cases) {
        CommandRun run = Command(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.out;
        EXPECT_TRUE(Has(run, c.says)) << c.arguments << "\n" << run.out;
        if (c.status == 2) {
            EXPECT_TRUE(Has(run, "Usage: corvintracer-converter")) << c.arguments;
        }
    }
    CommandRun run = Command("show 127.0.0.161");
    EXPECT_TRUE(Has(run, "remote-port=5001\n")) << "refused commands sent nothing: " << run.out;
}

TEST_F(ConverterCommand, HelpAndVersion) {
    CommandRun run = Command("--help");
    EXPECT_EQ(run.status, 0);
    for (const char *word : {"list", "show", "set", "ip-mode", "remote-host", "baud", "--json",
                             "--version", "KORALINK_LAN_TARGETS"})
        EXPECT_TRUE(Has(run, word)) << word << " not explained";
    run = Command("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("corvintracer-converter ", 0), 0u) << run.out;
}
