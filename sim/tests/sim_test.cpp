// The simulator itself: lab files, port map, sensor behaviour and the
// corvin-sim command's promise to leave nothing behind.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sim/lab.h"

using namespace corvinsim;

namespace {

std::string RunInLab(const std::string &labText, const std::string &script, int *exitCode) {
    char dir[] = "/tmp/corvin-sim-test.XXXXXX";
    EXPECT_NE(mkdtemp(dir), nullptr);
    std::string lab = std::string(dir) + "/t.lab";
    std::ofstream(lab) << labText;
    std::string out = std::string(dir) + "/out";
    std::string cmd = std::string(CORVIN_SIM_PATH) + " --lab " + lab + " -- sh -c '" + script +
                      "' > " + out + " 2>/dev/null";
    int status = std::system(cmd.c_str());
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    std::remove(lab.c_str());
    std::remove(out.c_str());
    rmdir(dir);
    return text.str();
}

std::string Line(const std::string &text, int index) {
    std::istringstream in(text);
    std::string line;
    for (int i = 0; i <= index && std::getline(in, line); ++i) {
    }
    return line;
}

koralink::Frame Request(uint8_t command, uint32_t parameter) {
    koralink::Frame f;
    f.command = command;
    f.parameter = parameter;
    return f;
}

koralink::Frame Decode(const std::vector<uint8_t> &bytes) {
    koralink::FrameDecoder d;
    koralink::Frame f;
    bool got = false;
    d.Feed(bytes.data(), bytes.size(), &f, &got);
    EXPECT_TRUE(got) << "the sensor's reply is not a valid frame";
    return f;
}

} // namespace

TEST(LabFile, WritesThePortMapAndTheChildEnvironment) {
    std::string error;
    auto lab = Lab::Start("[sensor a]\nKind=USB\nCom=34\nName=Adapter (COM34)\n"
                          "[sensor b]\nKind=COM\nCom=2\nBaud=9600\n"
                          "[lab]\nKORALINK_PROBE_TIMEOUT_MS=90\n",
                          "", &error);
    ASSERT_TRUE(lab) << error;
    IniStore map = CreateIniStore(0);
    ASSERT_EQ(ReadIniFile(map, lab->PortMapPath().c_str()), INI_OK);
    const char *text = nullptr;
    ASSERT_EQ(GetTextView(map, "COM34", "Path", &text), 1);
    EXPECT_EQ(std::string(text), lab->DevicePath(34));
    EXPECT_EQ(access(text, R_OK | W_OK), 0) << "port map points at no pseudo-terminal";
    ASSERT_EQ(GetTextView(map, "COM34", "Type", &text), 1);
    EXPECT_STREQ(text, "USB");
    ASSERT_EQ(GetTextView(map, "COM34", "Name", &text), 1);
    EXPECT_STREQ(text, "Adapter (COM34)");
    ASSERT_EQ(GetTextView(map, "COM2", "Type", &text), 1);
    EXPECT_STREQ(text, "COM");
    ASSERT_EQ(GetTextView(map, "COM2", "TypeText", &text), 1);
    EXPECT_STREQ(text, "Serial port");
    DisposeIniStore(map);

    std::map<std::string, std::string> env(lab->Environment().begin(), lab->Environment().end());
    EXPECT_EQ(env["KORALINK_PORTMAP"], lab->PortMapPath());
    EXPECT_EQ(env["KORALINK_PORTMAP_ONLY"], "1");
    EXPECT_EQ(env["KORALINK_LAN_TARGETS"],
              "127.255.255.255:" + std::to_string(lab->DiscoveryPort()))
        << "the lab's own discovery port";
    EXPECT_EQ(env["KORALINK_PROBE_TIMEOUT_MS"], "90") << "lab file setting not passed on";

    std::string path = lab->PortMapPath();
    std::string pty = lab->DevicePath(34);
    lab.reset();
    EXPECT_NE(access(path.c_str(), F_OK), 0) << "port map left behind";
    // Pty numbers are reused at once by other processes: look for our own
    // descriptors rather than at the device node.
    for (int fd = 0; fd < 1024; ++fd) {
        char link[64], target[256] = {};
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        if (readlink(link, target, sizeof target - 1) > 0) {
            EXPECT_NE(std::string(target), pty)
                << "descriptor " << fd << " still open on the lab's pty";
        }
    }
}

TEST(LabFile, RejectsWhatItCannotBuild) {
    struct Case {
        const char *text;
        const char *mention;
    } cases[] = {
        {"[x]\nKind=Toaster\n", "unknown Kind=Toaster"},
        {"[x]\nKind=USB\n", "needs Com="},
        {"[x]\nKind=USB\nCom=3\nBaud=12345\n", "Baud=12345"},
        {"[x]\nKind=USB\nCom=3\nFault=sleepy\n", "Fault=sleepy"},
        {"[x]\nKind=USB\nCom=3\n[y]\nKind=COM\nCom=3\n", "COM3 is used twice"},
        {"[x]\nKind=TCP\nHost=192.168.0.20\n", "not a loopback address"},
        {"[lab]\nLanTargets=192.168.1.255\n", "not a loopback address"},
        {"[lab]\nLanTargets=127.255.255.255,\n", "not a loopback address"},
        {"[lab]\nLanTargets=127.255.255.255:0\n", "bad port"},
        // The context and the record carry a signed 32-bit serial number.
        {"[x]\nKind=USB\nCom=3\nSerial=2147483648\n", "Serial=2147483648"},
    };
    for (const Case &c : cases) {
        std::string error;
        EXPECT_FALSE(Lab::Start(c.text, "", &error)) << c.text;
        EXPECT_NE(error.find(c.mention), std::string::npos)
            << "error \"" << error << "\" does not say " << c.mention;
    }
}

TEST(SensorBehaviour, AnswersAndStatusCodes) {
    SensorConfig cfg;
    cfg.serial = 4711;
    cfg.version = "V";
    cfg.baudCode = 0;
    SensorModel model(cfg);
    auto reply = model.Answer(Request(5, 0));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Decode(reply->bytes).parameter, 4711u);

    reply = model.Answer(Request(190, 9));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Decode(reply->bytes).status, koralink::kStatusBadParameter);
    EXPECT_EQ(model.baudCode(), 0) << "switched to a baud code that does not exist";
    reply = model.Answer(Request(190, 3));
    EXPECT_EQ(Decode(reply->bytes).status, koralink::kStatusOk);
    EXPECT_EQ(model.baudCode(), 3);

    reply = model.Answer(Request(42, 0));
    EXPECT_EQ(Decode(reply->bytes).status, koralink::kStatusUnknownCommand);

    cfg.fault = Fault::LongVersion;
    SensorModel chatty(cfg);
    reply = chatty.Answer(Request(7, 0));
    EXPECT_GT(Decode(reply->bytes).length, 71);

    cfg.fault = Fault::NoVersion;
    SensorModel mute(cfg);
    EXPECT_TRUE(mute.Answer(Request(5, 0)));
    EXPECT_FALSE(mute.Answer(Request(7, 0)));
}

TEST(SimCommand, RunsTheChildInsideTheLabAndPassesItsExitCode) {
    int code = -1;
    std::string out = RunInLab("[s]\nKind=USB\nCom=5\n",
                               "echo $KORALINK_PORTMAP_ONLY; echo $KORALINK_LAN_TARGETS; "
                               "grep -c /dev/pts/ $KORALINK_PORTMAP; exit 7",
                               &code);
    EXPECT_EQ(code, 7) << "the child's exit code was not passed on";
    EXPECT_EQ(Line(out, 0), "1");
    EXPECT_EQ(Line(out, 1).rfind("127.255.255.255:", 0), 0u) << Line(out, 1);
    EXPECT_EQ(Line(out, 2), "1");
}

TEST(SimCommand, RefusesALabFileThatIsNoRegularFile) {
    char dir[] = "/tmp/corvin-sim-test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string fifo = std::string(dir) + "/lab.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string cmd =
        std::string(CORVIN_SIM_PATH) + " --lab " + fifo + " -- true 2>/dev/null";
    int status = std::system(cmd.c_str()); // blocked in open() for good before
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    unlink(fifo.c_str());
    rmdir(dir);
}

TEST(SimCommand, LeavesNoProcessOrPortBehindWhenTheChildCrashes) {
    int code = -1;
    // The child starts a background process, reports it, then dies of a
    // signal. (The lab's pseudo-terminals close with the simulator's own
    // process, so only processes can outlive it.)
    std::string out = RunInLab("[s]\nKind=USB\nCom=5\n",
                               "sleep 30 & echo $!; grep Path= $KORALINK_PORTMAP | cut -d= -f2; "
                               "kill -SEGV $$",
                               &code);
    EXPECT_EQ(code, 128 + SIGSEGV);
    pid_t left = static_cast<pid_t>(std::atoi(Line(out, 0).c_str()));
    ASSERT_GT(left, 0);
    EXPECT_NE(kill(left, 0), 0) << "a process of the child outlived the lab";
}
