// KORALINK_abort_waits: each kind of wait a search can be in ends soon after
// the stop, and the library works whole again once it is lifted.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "lab_fixture.h"
#include "support/olist.h"
#include "testsupport/testsupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// A loopback listener whose accept queue is full: a further connect gets no
// answer to its SYN and waits for its whole timeout.
class FullListener {
  public:
    FullListener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(fd_, 0) != 0)
            return;
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        // Fill the queue until a connect stays pending.
        for (int k = 0; k < 8; ++k) {
            int c = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            clients_.push_back(c);
            connect(c, reinterpret_cast<sockaddr *>(&a), sizeof a);
            pollfd p{c, POLLOUT, 0};
            if (poll(&p, 1, 200) == 0) {
                full_ = true;
                return;
            }
        }
    }
    ~FullListener() {
        for (int c : clients_)
            close(c);
        close(fd_);
    }
    int port() const { return full_ ? port_ : 0; }

  private:
    int fd_ = -1, port_ = 0;
    bool full_ = false;
    std::vector<int> clients_;
};

// How long call takes when the waits are stopped 100 ms after it began.
long StoppedAfter100Ms(const std::function<void()> &call) {
    KORALINK_abort_waits(0);
    auto start = Clock::now();
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        KORALINK_abort_waits(1);
    });
    call();
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    stopper.join();
    KORALINK_abort_waits(0);
    return static_cast<long>(took.count());
}

class AbortWaits : public ::testing::Test {
  protected:
    void TearDown() override {
        KORALINK_abort_waits(0);
        unsetenv("KORALINK_PROBE_TIMEOUT_MS");
        unsetenv("KORALINK_TCP_CONNECT_TIMEOUT_MS");
        unsetenv("KORALINK_LAN_WINDOW_MS");
        unsetenv("KORALINK_LAN_QUIET_MS");
    }
    // Every wait below would last 3 s without the stop.
    static void Report(const char *what, long ms) {
        std::printf(
            "[ abort   ] %-22s ended %ld ms after the call (stop at 100 ms, wait 3000 ms)\n", what,
            ms);
        EXPECT_LT(ms, 1000) << what;
    }
};

TEST_F(AbortWaits, ProbeAnswerWait) {
    auto lab = StartLab("[sensor silent]\nKind=USB\nCom=13\nFault=silent\n"
                        "[sensor fast]\nKind=USB\nCom=11\nSerial=4711\nVersion=V\n");
    ASSERT_TRUE(lab);
    setenv("KORALINK_PROBE_TIMEOUT_MS", "3000", 1);
    Ctx ctx;
    ASSERT_EQ(KORALINK_init_rs232(&ctx, 13, KORALINK_BAUD_115200, KORALINK_OPEN_SERIAL_PROBE), 1)
        << ctx.error();
    int handle = 0, result = 0;
    ASSERT_EQ(KORALINK_thread_exchange_frame(&ctx, KORALINK_CMD_LINE_OK, 0, nullptr, 0, &handle),
              0);
    Report("probe answer wait",
           StoppedAfter100Ms([&] { result = KORALINK_thread_wait_finish(&ctx, &handle); }));
    EXPECT_EQ(result, KORALINK_ERR_NO_ANSWER);
    KORALINK_close(&ctx);

    // Lifted again: a sensor that answers is identified as before.
    Ctx other;
    ASSERT_EQ(KORALINK_init_rs232(&other, 11, KORALINK_BAUD_115200, KORALINK_OPEN_SERIAL_PROBE), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&other, KORALINK_CMD_LINE_OK, 0, nullptr, 0), 0)
        << other.error();
    KORALINK_init_rs232(nullptr, 0, 0, 0);
}

TEST_F(AbortWaits, TcpConnect) {
    FullListener listener;
    if (listener.port() == 0)
        GTEST_SKIP() << "the system answered every connect; no pending one to stop";
    setenv("KORALINK_TCP_CONNECT_TIMEOUT_MS", "3000", 1);
    Ctx ctx;
    int opened = -1;
    Report("TCP connect", StoppedAfter100Ms([&] {
               opened =
                   KORALINK_init_tcp(&ctx, listener.port(), "127.0.0.1", KORALINK_OPEN_TCP_PROBE);
           }));
    EXPECT_EQ(opened, 0);
}

TEST_F(AbortWaits, ConverterDiscoveryWindow) {
    // Nobody answers on this port: the window would run its whole length.
    int port = testsupport::FreeLoopbackPort(SOCK_DGRAM);
    ASSERT_NE(port, 0);
    std::string target = "127.255.255.255:" + std::to_string(port);
    setenv("KORALINK_LAN_TARGETS", target.c_str(), 1);
    setenv("KORALINK_LAN_WINDOW_MS", "3000", 1);
    setenv("KORALINK_LAN_QUIET_MS", "3000", 1);
    ListType list = ListCreate(sizeof(ConnectionRecord));
    int result = -1;
    Report("discovery window",
           StoppedAfter100Ms([&] { result = KORALINK_search_local_LAN(&list); }));
    EXPECT_EQ(result, 0);
    ListDispose(list);
    unsetenv("KORALINK_LAN_TARGETS");
}

} // namespace
