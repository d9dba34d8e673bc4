// The simulator itself: lab files, port map, sensor behaviour and the
// corvin-sim command's promise to leave nothing behind.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
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
        {"[x]\nKind=USB\nCom=3\nPlug=soon\n", "Plug=soon"},
        {"[x]\nKind=COM\nCom=3\nUnplug=-5\n", "Unplug=-5"},
    };
    for (const Case &c : cases) {
        std::string error;
        EXPECT_FALSE(Lab::Start(c.text, "", &error)) << c.text;
        EXPECT_NE(error.find(c.mention), std::string::npos)
            << "error \"" << error << "\" does not say " << c.mention;
    }
}

namespace {

bool InPortMap(const Lab &lab, int comNumber) {
    IniStore map = CreateIniStore(0);
    bool found = ReadIniFile(map, lab.PortMapPath().c_str()) == INI_OK &&
                 HasSection(map, ("COM" + std::to_string(comNumber)).c_str()) == 1;
    DisposeIniStore(map);
    return found;
}

// Waits until the port map holds the port or not; false after 5 s.
bool AwaitPortMap(const Lab &lab, int comNumber, bool present) {
    for (int i = 0; i < 500; ++i) {
        if (InPortMap(lab, comNumber) == present && lab.PortPresent(comNumber) == present)
            return true;
        usleep(10000);
    }
    return false;
}

} // namespace

TEST(LabPorts, PlugAndUnplugTimesTakePortsInAndOutOfThePortMap) {
    std::string error;
    auto lab = Lab::Start("[sensor steady]\nKind=COM\nCom=1\n"
                          "[sensor late]\nKind=USB\nCom=36\nPlug=100\nUnplug=2000\n"
                          "[sensor pulled]\nKind=USB\nCom=37\nUnplug=100\nPlug=2000\n",
                          "", &error);
    ASSERT_TRUE(lab) << error;
    EXPECT_FALSE(InPortMap(*lab, 36)) << "a port plugged in later is absent at the start";
    EXPECT_TRUE(InPortMap(*lab, 37)) << "a port pulled out later is present at the start";
    EXPECT_EQ(lab->Ports().size(), 3u) << "Ports() names every port, present or not";
    EXPECT_TRUE(AwaitPortMap(*lab, 36, true));
    EXPECT_TRUE(AwaitPortMap(*lab, 37, false));
    EXPECT_TRUE(AwaitPortMap(*lab, 36, false));
    EXPECT_TRUE(AwaitPortMap(*lab, 37, true));
    EXPECT_TRUE(InPortMap(*lab, 1));
}

TEST(LabPorts, PortsArePluggedByTheTestAtWill) {
    std::string error;
    auto lab =
        Lab::Start("[sensor a]\nKind=USB\nCom=34\n[sensor b]\nKind=COM\nCom=2\n", "", &error);
    ASSERT_TRUE(lab) << error;
    ASSERT_TRUE(lab->SetPortPresent(34, false, &error)) << error;
    EXPECT_FALSE(InPortMap(*lab, 34));
    EXPECT_TRUE(InPortMap(*lab, 2));
    EXPECT_FALSE(lab->PortPresent(34));
    EXPECT_TRUE(lab->SetPortPresent(34, false, &error)) << "pulling twice is no error";
    ASSERT_TRUE(lab->SetPortPresent(34, true, &error)) << error;
    EXPECT_TRUE(InPortMap(*lab, 34));
    EXPECT_FALSE(lab->SetPortPresent(9, true, &error));
    EXPECT_NE(error.find("COM9"), std::string::npos) << error;
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

// A virtual machine's serial backend opens the exported pty itself, sets the
// guest's rate with tcsetattr() and switches output processing back on.
TEST(ExportedPty, AnswersOnlyAtTheRateTheOtherSideSet) {
    std::string error;
    auto lab = Lab::Start("[vm]\nKind=Pty\nExport=VM_UART\nSerial=4711\nBaud=57600\n", "", &error);
    ASSERT_TRUE(lab) << error;
    EXPECT_TRUE(lab->Ports().empty()) << "an exported pty is no port of the program's port map";
    std::map<std::string, std::string> env(lab->Environment().begin(), lab->Environment().end());
    ASSERT_EQ(env["VM_UART"].rfind("/dev/pts/", 0), 0u) << env["VM_UART"];

    struct Case {
        speed_t rate;
        bool answers;
    } cases[] = {{B57600, true}, {B9600, false}};
    for (const Case &c : cases) {
        int fd = open(env["VM_UART"].c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tio.c_oflag |= OPOST;
        cfsetispeed(&tio, c.rate);
        cfsetospeed(&tio, c.rate);
        tcsetattr(fd, TCSANOW, &tio);
        // Parameter 10 puts a 0x0A into the request.
        uint8_t frame[300];
        size_t n = koralink::EncodeFrame(Request(5, 10), frame);
        ASSERT_EQ(write(fd, frame, n), static_cast<ssize_t>(n));
        std::vector<uint8_t> got;
        for (pollfd p{fd, POLLIN, 0}; got.size() < 12 && poll(&p, 1, 500) > 0;) {
            uint8_t buffer[300];
            ssize_t r = read(fd, buffer, sizeof buffer);
            if (r <= 0)
                break;
            got.insert(got.end(), buffer, buffer + r);
        }
        close(fd);
        if (c.answers)
            EXPECT_EQ(Decode(got).parameter, 4711u);
        else
            EXPECT_TRUE(got.empty()) << "answered at a rate it was not set to";
    }

    EXPECT_FALSE(Lab::Start("[vm]\nKind=Pty\n", "", &error));
    EXPECT_NE(error.find("Export="), std::string::npos) << error;
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
