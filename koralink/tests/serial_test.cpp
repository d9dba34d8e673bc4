// The serial side of the library against simulated sensors on pseudo-terminals.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "lab_fixture.h"
#include "line.h"

namespace {

const char kLab[] = R"([sensor fast]
Kind=USB
Com=11
Serial=4711
Version=Sim T-100 v1.2
Baud=115200

[sensor slowrate]
Kind=COM
Com=12
Serial=815
Version=Sim P-7
Baud=19200

[sensor silent]
Kind=USB
Com=13
Fault=silent

[sensor noisy]
Kind=USB
Com=14
Fault=noise

[sensor slow]
Kind=USB
Com=15
Fault=slow
Delay=400

[sensor nover]
Kind=USB
Com=17
Serial=17
Fault=no-version

[sensor zero]
Kind=USB
Com=18
Fault=serial-zero

[sensor empty]
Kind=USB
Com=19
Fault=empty-version

[sensor long]
Kind=USB
Com=20
Fault=long-version

[sensor wrongnoise]
Kind=COM
Com=21
Baud=9600
WrongRate=noise

[sensor badcrc]
Kind=USB
Com=22
Fault=bad-crc
)";

class SerialLink : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { lab_ = StartLab(kLab).release(); }
    static void TearDownTestSuite() {
        KORALINK_init_rs232(nullptr, 0, 0, 0);
        delete lab_;
        lab_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(lab_, nullptr);
        lab_->ApplyEnvironment();
    }
    static corvinsim::Lab *lab_;
};
corvinsim::Lab *SerialLink::lab_ = nullptr;

int Serial(LinkContext *ctx) {
    int value = -1;
    EXPECT_EQ(KORALINK_get_ansframe_header(ctx, nullptr, &value, nullptr), 0);
    return value;
}

} // namespace

TEST_F(SerialLink, IdentifiesOnlyAtTheSensorsRate) {
    Ctx ctx;
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 11, KORALINK_BAUD_115200, 2), 1) << ctx.error();
    EXPECT_EQ(ctx.c.isOpen, 1);
    ASSERT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), 0) << ctx.error();
    EXPECT_EQ(Serial(&ctx), 4711);

    ASSERT_EQ(KORALINK_init_rs232(&ctx, 11, KORALINK_BAUD_19200, 2), 1) << ctx.error();
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), KORALINK_ERR_NO_ANSWER)
        << "a sensor at 115200 must not be found at 19200";
    EXPECT_EQ(ctx.error(), "COM11: no answer within 100 ms");
    EXPECT_EQ(KORALINK_get_ansframe_header(&ctx, nullptr, nullptr, nullptr), KORALINK_ERR_NO_FRAME)
        << "a failed exchange left the previous answer readable as if it were new";
}

TEST_F(SerialLink, ReadSensorInfoFillsTheContextFields) {
    Ctx ctx;
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 12, KORALINK_BAUD_19200, 1), 1) << ctx.error();
    ASSERT_EQ(KORALINK_read_sensor_info(&ctx), 0) << ctx.error();
    const unsigned char *raw = reinterpret_cast<const unsigned char *>(&ctx.c);
    int32_t kind, serial, port, baud;
    std::memcpy(&kind, raw + 8, 4);
    std::memcpy(&serial, raw + 532, 4);
    std::memcpy(&port, raw + 664, 4);
    std::memcpy(&baud, raw + 668, 4);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(serial, 815);
    EXPECT_STREQ(reinterpret_cast<const char *>(raw + 536), "Sim P-7");
    EXPECT_EQ(port, 12);
    EXPECT_EQ(baud, KORALINK_BAUD_19200);
}

TEST_F(SerialLink, ErrorTextsNameThePortAndTheCause) {
    Ctx ctx;
    EXPECT_EQ(KORALINK_init_rs232(&ctx, 77, 4, 2), 0);
    EXPECT_EQ(ctx.error(), "COM77: no such port");
    EXPECT_EQ(ctx.c.isOpen, 0);

    EXPECT_EQ(KORALINK_init_rs232(&ctx, 11, 9, 2), 0);
    EXPECT_EQ(ctx.error(), "COM11: unknown baud code 9");

    ASSERT_EQ(KORALINK_init_rs232(&ctx, 13, 4, 2), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), KORALINK_ERR_NO_ANSWER);
    EXPECT_EQ(ctx.error(), "COM13: no answer within 100 ms");

    ASSERT_EQ(KORALINK_init_rs232(&ctx, 22, 4, 2), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), KORALINK_ERR_CRC);
    EXPECT_EQ(ctx.error(), "COM22: corrupted answer (CRC)");

    ASSERT_EQ(KORALINK_init_rs232(&ctx, 11, 4, 2), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 99, 0, nullptr, 0), KORALINK_ERR_STATUS)
        << "an answer with a failure status counted as a valid answer";
    EXPECT_EQ(ctx.error(), "COM11: sensor refused command 99 (status 1: unknown command)");
    int status = -1;
    EXPECT_EQ(KORALINK_get_ansframe_header(&ctx, nullptr, nullptr, &status), 0);
    EXPECT_EQ(status, 1);

    KORALINK_close(&ctx);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), KORALINK_ERR_NOT_OPEN);
    EXPECT_NE(ctx.error(), "") << "a failure without an error text";
}

TEST_F(SerialLink, HeldPortIsRefusedToAProbe) {
    Ctx holder, probe;
    ASSERT_EQ(KORALINK_init_rs232(&holder, 11, 4, 1), 1) << holder.error();
    EXPECT_EQ(KORALINK_init_rs232(&probe, 11, 4, 2), 0)
        << "a probe opened a port another connection holds";
    EXPECT_EQ(probe.error(), "COM11: in use by another program");

    // The end-of-search release frees probes but keeps the accepted line.
    KORALINK_init_rs232(nullptr, 0, 0, 0);
    EXPECT_EQ(KORALINK_exchange_frame(&holder, 5, 0, nullptr, 0), 0)
        << "releasing the search's ports closed the accepted connection: " << holder.error();
    KORALINK_close(&holder);
    EXPECT_EQ(KORALINK_init_rs232(&probe, 11, 4, 2), 1) << "close did not release the lock";
}

TEST_F(SerialLink, LiveUucpLockFileIsHonouredAndAStaleOneIgnored) {
    char dir[] = "/tmp/koralink-lock.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    setenv("KORALINK_LOCK_DIR", dir, 1);
    std::string dev = lab_->DevicePath(11);
    std::string name = dev.substr(5);
    for (char &c : name)
        if (c == '/')
            c = '_';
    std::string lock = std::string(dir) + "/LCK.." + name;

    pid_t other = fork();
    if (other == 0) {
        pause();
        _exit(0);
    }
    { std::ofstream(lock) << "      " << other << "\n"; }
    Ctx ctx;
    EXPECT_EQ(KORALINK_init_rs232(&ctx, 11, 4, 2), 0) << "a live lock file was ignored";
    EXPECT_EQ(ctx.error(), "COM11: in use by another program");
    // Some old programs write the pid as a raw 4-byte integer.
    auto writeBinary = [&](int32_t pid) {
        std::ofstream(lock, std::ios::binary).write(reinterpret_cast<const char *>(&pid), 4);
    };
    writeBinary(other);
    EXPECT_EQ(KORALINK_init_rs232(&ctx, 11, 4, 2), 0) << "a binary lock file was ignored";

    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    EXPECT_EQ(KORALINK_init_rs232(&ctx, 11, 4, 2), 1)
        << "a stale lock file blocked: " << ctx.error();
    KORALINK_close(&ctx);

    // A binary pid of a dead process whose low byte reads as an ASCII digit
    // or a space must not be taken for a small (live) pid as text.
    for (int low : {'1', '7', ' '}) {
        int32_t dead = 0;
        for (int32_t candidate = low + 256 * 200; candidate < (1 << 22) && !dead; candidate += 256)
            if (kill(candidate, 0) != 0 && errno == ESRCH)
                dead = candidate;
        ASSERT_NE(dead, 0);
        writeBinary(dead);
        EXPECT_EQ(KORALINK_init_rs232(&ctx, 11, 4, 2), 1)
            << "binary lock of dead pid " << dead << " blocked: " << ctx.error();
        KORALINK_close(&ctx);
    }

    // The accepted connection leaves its own lock file while open.
    unlink(lock.c_str());
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 11, 4, 1), 1);
    EXPECT_EQ(access(lock.c_str(), F_OK), 0) << "no lock file for the accepted connection";
    KORALINK_close(&ctx);
    EXPECT_NE(access(lock.c_str(), F_OK), 0) << "lock file left behind after close";
    unsetenv("KORALINK_LOCK_DIR");
    rmdir(dir);
}

TEST_F(SerialLink, WhatIsNoLockFileIsReportedNotWaitedFor) {
    // The lock directory is writable by everyone: a FIFO there under a port's
    // lock name once blocked the caller in open() for good.
    char dir[] = "/tmp/koralink-lock.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    setenv("KORALINK_LOCK_DIR", dir, 1);
    std::string name = lab_->DevicePath(11).substr(5);
    for (char &c : name)
        if (c == '/')
            c = '_';
    const std::string lock = std::string(dir) + "/LCK.." + name;
    const struct {
        const char *what;
        std::function<int()> plant;
        const char *cause;
    } cases[] = {
        {"fifo", [&] { return mkfifo(lock.c_str(), 0666); }, "not a regular file"},
        {"directory", [&] { return mkdir(lock.c_str(), 0777); }, "not a regular file"},
        {"huge file",
         [&] {
             std::ofstream{lock};
             return truncate(lock.c_str(), 1 << 20);
         },
         "larger than"},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(c.plant(), 0) << c.what;
        Ctx ctx;
        EXPECT_EQ(KORALINK_init_rs232(&ctx, 11, 4, 2), 0) << c.what;
        EXPECT_EQ(ctx.error().rfind("COM11: its lock file cannot be checked (" + lock + ": ", 0),
                  0u)
            << ctx.error();
        EXPECT_NE(ctx.error().find(c.cause), std::string::npos) << ctx.error();
        std::remove(lock.c_str());
    }
    unsetenv("KORALINK_LOCK_DIR");
    rmdir(dir);
}

TEST_F(SerialLink, RefusedPermissionNamesTheDevicesGroup) {
    const std::string dev = lab_->DevicePath(11);
    struct stat st {};
    ASSERT_EQ(stat(dev.c_str(), &st), 0);
    ASSERT_EQ(chmod(dev.c_str(), 0), 0);
    const group *owner = getgrgid(st.st_gid);
    const std::string expected = "COM11: permission denied (the user may need to be in group " +
                                 std::string(owner ? owner->gr_name : "?") + ")";
    // Root opens anything: the open runs in a child that gives root up.
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(90);
        LinkContext ctx;
        std::memset(&ctx, 0, sizeof ctx);
        int opened = koralink::OpenSerialLine(&ctx, 11, dev, 4, 2);
        if (opened)
            _exit(2);
        _exit(std::string(ctx.lastError) == expected ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    chmod(dev.c_str(), st.st_mode & 07777);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 90)
        GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "expected \"" << expected << "\" (exit 2: opened anyway)";

    // A port that is busy keeps its own words.
    Ctx holder, probe;
    ASSERT_EQ(KORALINK_init_rs232(&holder, 11, 4, 1), 1) << holder.error();
    EXPECT_EQ(KORALINK_init_rs232(&probe, 11, 4, 2), 0);
    EXPECT_EQ(probe.error(), "COM11: in use by another program");
}

TEST_F(SerialLink, CloseIsHarmlessAndTheAnswerOutlivesIt) {
    LinkContext zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(KORALINK_close(&zero), 0);
    EXPECT_EQ(KORALINK_close(&zero), 0);
    LinkContext untouched;
    std::memset(&untouched, 0, sizeof untouched);
    EXPECT_EQ(std::memcmp(&zero, &untouched, sizeof zero), 0)
        << "close wrote into a context it never opened";
    EXPECT_EQ(KORALINK_close(nullptr), 0);

    Ctx ctx;
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 11, 4, 2), 1);
    ASSERT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), 0);
    KORALINK_close(&ctx);
    KORALINK_close(&ctx);
    EXPECT_EQ(ctx.c.isOpen, 0);
    EXPECT_EQ(Serial(&ctx), 4711) << "the last answer must stay readable after close";
}

TEST_F(SerialLink, BackgroundExchangeHandlesAndWaits) {
    Ctx ctx;
    int handle = 0;
    EXPECT_NE(KORALINK_thread_exchange_frame(&ctx, 5, 0, nullptr, 0, &handle), 0);
    EXPECT_EQ(handle, 0) << "a handle for an exchange that never started";

    ASSERT_EQ(KORALINK_init_rs232(&ctx, 12, KORALINK_BAUD_19200, 2), 1);
    ASSERT_EQ(KORALINK_thread_exchange_frame(&ctx, 5, 0, nullptr, 0, &handle), 0);
    EXPECT_NE(handle, 0);
    int wrong = handle + 1000;
    EXPECT_EQ(KORALINK_thread_wait_finish(&ctx, &wrong), KORALINK_ERR_ARGUMENT);
    EXPECT_EQ(KORALINK_thread_wait_finish(&ctx, &handle), 0) << ctx.error();
    EXPECT_EQ(Serial(&ctx), 815);

    // Closing with an exchange still running must neither crash nor leak.
    ASSERT_EQ(KORALINK_thread_exchange_frame(&ctx, 5, 0, nullptr, 0, &handle), 0);
    KORALINK_close(&ctx);
}

TEST_F(SerialLink, FaultySensors) {
    Ctx ctx;
    // noise
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 14, 4, 2), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), KORALINK_ERR_GARBLED);
    EXPECT_EQ(ctx.error(), "COM14: unreadable answer within 100 ms (noise; wrong baud rate?)");
    // noise at a wrong rate only
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 21, 4, 2), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), KORALINK_ERR_GARBLED);
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 21, 0, 2), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), 0) << ctx.error();
    // slow: too slow for a probe, in time for the accepted connection
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 15, 4, 2), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), KORALINK_ERR_NO_ANSWER);
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 15, 4, 1), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), 0) << ctx.error();
    // LINE OK but no version
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 17, 4, 2), 1);
    EXPECT_EQ(KORALINK_read_sensor_info(&ctx), KORALINK_ERR_NO_ANSWER);
    EXPECT_EQ(ctx.c.sensorSerial, 17) << "the serial number of the LINE OK answer was lost";
    EXPECT_EQ(ctx.error(), "COM17: no answer within 100 ms");
    // serial number 0
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 18, 4, 2), 1);
    ASSERT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), 0);
    EXPECT_EQ(Serial(&ctx), 0);
    // empty version
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 19, 4, 2), 1);
    ASSERT_EQ(KORALINK_read_sensor_info(&ctx), 0) << ctx.error();
    EXPECT_STREQ(ctx.c.sensorType, "");
    // long version: cut to the caller's buffer, terminated when there is room
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 20, 4, 2), 1);
    ASSERT_EQ(KORALINK_exchange_frame(&ctx, 7, 0, nullptr, 0), 0);
    char text[256];
    int length = 0;
    std::memset(text, 'x', sizeof text);
    ASSERT_EQ(KORALINK_get_ansframe_data(&ctx, text, 255, &length), 0);
    EXPECT_GT(length, 71);
    EXPECT_EQ(text[length], '\0');
    char small[16];
    std::memset(small, 'x', sizeof small);
    ASSERT_EQ(KORALINK_get_ansframe_data(&ctx, small, 8, &length), 0);
    EXPECT_EQ(length, 8);
    EXPECT_EQ(small[8], 'x') << "wrote past the buffer size the caller gave";
}

TEST(SerialLinkAlone, VanishingPortAndRateChange) {
    auto lab = StartLab(R"([sensor gone]
Kind=USB
Com=30
Fault=vanish

[sensor shifter]
Kind=COM
Com=31
Serial=31
Baud=9600
)");
    ASSERT_TRUE(lab);
    Ctx ctx;
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 30, 4, 2), 1);
    EXPECT_NE(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), 0);
    EXPECT_NE(ctx.error(), "");
    KORALINK_close(&ctx);
    EXPECT_EQ(KORALINK_init_rs232(&ctx, 30, 4, 2), 0);
    EXPECT_EQ(ctx.error(), "COM30: no such port") << "a vanished adapter must read as gone";

    // 190: the sensor answers at the old rate, then both sides change over.
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 31, KORALINK_BAUD_9600, 1), 1);
    ASSERT_EQ(KORALINK_exchange_frame(&ctx, 190, KORALINK_BAUD_115200, nullptr, 0), 0)
        << ctx.error();
    ASSERT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), 0)
        << "after 190 the port did not follow the sensor: " << ctx.error();
    ASSERT_EQ(KORALINK_read_sensor_info(&ctx), 0);
    EXPECT_EQ(ctx.c.line.baudCode, KORALINK_BAUD_115200);
    KORALINK_close(&ctx);
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 31, KORALINK_BAUD_9600, 2), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), KORALINK_ERR_NO_ANSWER)
        << "the sensor did not really change its rate";
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 31, KORALINK_BAUD_115200, 2), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 190, 8, nullptr, 0), KORALINK_ERR_ARGUMENT);
}

TEST(SerialLinkAlone, OnlyTheAnswerToThisRequestIsTaken) {
    // A late answer to an earlier request may wait in the input before the
    // request goes out, or arrive just before the right answer.
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    Ctx ctx;
    ASSERT_EQ(koralink::OpenSerialLine(&ctx, 60, ptsname(master), 4, 2), 1) << ctx.error();
    auto answer = [](uint8_t command, uint32_t parameter, const std::string &text) {
        koralink::Frame f;
        f.kind = koralink::FrameKind::Answer;
        f.command = command;
        f.parameter = parameter;
        f.length = static_cast<uint8_t>(text.size());
        std::memcpy(f.data.data(), text.data(), text.size());
        std::vector<uint8_t> out(koralink::kMaxFrame);
        out.resize(koralink::EncodeFrame(f, out.data()));
        return out;
    };
    auto waiting = answer(7, 0, "OLD");
    ASSERT_EQ(write(master, waiting.data(), waiting.size()), static_cast<ssize_t>(waiting.size()));
    usleep(20000);
    std::thread sensor([&] {
        uint8_t request[koralink::kMaxFrame];
        size_t got = 0;
        while (got < koralink::kHeaderSize + koralink::kCrcSize) {
            ssize_t n = read(master, request + got, sizeof request - got);
            if (n <= 0)
                return;
            got += static_cast<size_t>(n);
        }
        auto reply = answer(5, 999, "");
        auto right = answer(7, 0, "NEW");
        reply.insert(reply.end(), right.begin(), right.end());
        (void)!write(master, reply.data(), reply.size());
    });
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, KORALINK_CMD_VERSION, 0, nullptr, 0), 0) << ctx.error();
    sensor.join();
    int command = 0;
    char text[8] = {};
    EXPECT_EQ(KORALINK_get_ansframe_header(&ctx, &command, nullptr, nullptr), 0);
    EXPECT_EQ(KORALINK_get_ansframe_data(&ctx, text, sizeof text, nullptr), 0);
    EXPECT_EQ(command, KORALINK_CMD_VERSION);
    EXPECT_STREQ(text, "NEW");
    KORALINK_close(&ctx);
    close(master);
}

TEST(SerialLinkAlone, ThirtyTwoParallelProbes) {
    std::string text;
    for (int i = 0; i < 32; ++i) {
        text += "[sensor s" + std::to_string(i) + "]\nKind=USB\nCom=" + std::to_string(40 + i) +
                "\nSerial=" + std::to_string(1000 + i) + "\n";
        // every fourth port is silent: its timeout must not delay the others
        if (i % 4 == 3)
            text += "Fault=silent\n";
    }
    auto lab = StartLab(text);
    ASSERT_TRUE(lab);
    std::vector<Ctx> ctx(32);
    std::vector<int> handles(32, 0);
    for (int i = 0; i < 32; ++i) {
        ASSERT_EQ(KORALINK_init_rs232(&ctx[i], 40 + i, 4, 2), 1) << ctx[i].error();
        ASSERT_EQ(KORALINK_thread_exchange_frame(&ctx[i], 5, 0, nullptr, 0, &handles[i]), 0);
        ASSERT_NE(handles[i], 0);
    }
    for (int i = 0; i < 32; ++i) {
        int r = KORALINK_thread_wait_finish(&ctx[i], &handles[i]);
        if (i % 4 == 3) {
            EXPECT_EQ(r, KORALINK_ERR_NO_ANSWER) << i;
        } else {
            ASSERT_EQ(r, 0) << "port " << i << ": " << ctx[i].error();
            EXPECT_EQ(Serial(&ctx[i]), 1000 + i) << "answers were mixed up between lines";
        }
        KORALINK_close(&ctx[i]);
    }
    KORALINK_init_rs232(nullptr, 0, 0, 0);
}

TEST(SerialLinkAlone, DeviceSeamOpensByPath) {
    auto lab = StartLab("[sensor p]\nKind=USB\nCom=50\nSerial=5\n");
    ASSERT_TRUE(lab);
    Ctx ctx;
    EXPECT_EQ(koralink::OpenSerialLine(&ctx, 50, "/nonexistent/tty", 4, 2), 0);
    EXPECT_EQ(ctx.error(), "COM50: no such port");
    EXPECT_EQ(koralink::OpenSerialLine(&ctx, 50, "/dev/null", 4, 2), 0);
    EXPECT_EQ(ctx.error(), "COM50: /dev/null is not a serial port");
    ASSERT_EQ(koralink::OpenSerialLine(&ctx, 50, lab->DevicePath(50), 4, 2), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), 0) << ctx.error();
}

// Whatever a probe, a Test or the accepted connection did to a port, it
// leaves it with the settings it had at open: another program's cooked
// 4800-baud terminal stays one after a search went over it.
TEST(SerialLinkAlone, ClosingRestoresThePortsTerminalSettings) {
    auto lab = StartLab("[sensor s]\nKind=USB\nCom=40\nSerial=40\nBaud=57600\n");
    ASSERT_TRUE(lab);
    int fd = open(lab->DevicePath(40).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(fd, &before), 0);
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_iflag |= ICRNL | IXON;
    cfsetispeed(&before, B4800);
    cfsetospeed(&before, B4800);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &before), 0);
    ASSERT_EQ(tcgetattr(fd, &before), 0);
    for (int mode : {2, 1}) {
        Ctx ctx;
        ASSERT_EQ(KORALINK_init_rs232(&ctx, 40, KORALINK_BAUD_57600, mode), 1) << ctx.error();
        ASSERT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), 0) << ctx.error();
        termios during{};
        ASSERT_EQ(tcgetattr(fd, &during), 0);
        EXPECT_EQ(cfgetospeed(&during), static_cast<speed_t>(B57600)) << "mode " << mode;
        EXPECT_EQ(during.c_lflag & ICANON, 0u) << "mode " << mode;
        KORALINK_close(&ctx);
        termios after{};
        ASSERT_EQ(tcgetattr(fd, &after), 0);
        EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before)) << "mode " << mode;
        EXPECT_EQ(after.c_lflag, before.c_lflag) << "mode " << mode;
        EXPECT_EQ(after.c_iflag, before.c_iflag) << "mode " << mode;
        EXPECT_EQ(after.c_cflag, before.c_cflag) << "mode " << mode;
    }
    close(fd);
}

// A line that keeps sending frame starts promising more bytes than come
// must not hold a probe for as long as the stream lasts (5 s here).
TEST(SerialLinkAlone, ABabblingLineEndsTheProbeGarbled) {
    auto lab = StartLab("[sensor fast]\nKind=USB\nCom=41\nFault=babble\nBaud=115200\n"
                        "[sensor slow]\nKind=USB\nCom=42\nFault=babble\nBaud=9600\n");
    ASSERT_TRUE(lab);
    for (auto [com, code] : {std::pair{41, KORALINK_BAUD_115200}, {42, KORALINK_BAUD_9600}}) {
        Ctx ctx;
        ASSERT_EQ(KORALINK_init_rs232(&ctx, com, code, 2), 1) << ctx.error();
        auto start = std::chrono::steady_clock::now();
        int result = KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0);
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
        EXPECT_TRUE(result == KORALINK_ERR_CRC || result == KORALINK_ERR_GARBLED)
            << "COM" << com << ": " << result << " " << ctx.error();
        EXPECT_LT(ms, 1500) << "COM" << com << ": the probe followed the babble";
    }
}
