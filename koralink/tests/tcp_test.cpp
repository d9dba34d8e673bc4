// The TCP side of the library against simulated sensors on loopback.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "lab_fixture.h"
#include "net_common.h"
#include "testsupport/testsupport.h"

TEST(TcpLink, IdentifiesASensorAndFillsTheHostFields) {
    auto lab = StartLab("[sensor net]\nKind=TCP\nHost=127.0.0.2\nSerial=99\nVersion=Net sensor\n");
    ASSERT_TRUE(lab);
    int port = lab->TcpPort("sensor net");
    ASSERT_NE(port, 0);
    Ctx ctx;
    ASSERT_EQ(KORALINK_init_tcp(&ctx, port, "127.0.0.2", 4), 1) << ctx.error();
    int handle = 0;
    ASSERT_EQ(KORALINK_thread_exchange_frame(&ctx, 5, 0, nullptr, 0, &handle), 0);
    ASSERT_EQ(KORALINK_thread_wait_finish(&ctx, &handle), 0) << ctx.error();
    KORALINK_close(&ctx);
    int serial = 0;
    EXPECT_EQ(KORALINK_get_ansframe_header(&ctx, nullptr, &serial, nullptr), 0);
    EXPECT_EQ(serial, 99);

    ASSERT_EQ(KORALINK_init_tcp(&ctx, port, "127.0.0.2", 3), 1) << ctx.error();
    ASSERT_EQ(KORALINK_read_sensor_info(&ctx), 0) << ctx.error();
    EXPECT_EQ(ctx.c.infoKind, 1);
    EXPECT_EQ(ctx.c.port, port);
    EXPECT_STREQ(ctx.c.line.host, "127.0.0.2");
    EXPECT_STREQ(ctx.c.sensorType, "Net sensor");
}

TEST(TcpLink, ErrorTexts) {
    Ctx ctx;
    int port = testsupport::FreeLoopbackPort(SOCK_STREAM);
    EXPECT_EQ(KORALINK_init_tcp(&ctx, port, "127.0.0.1", 4), 0);
    EXPECT_EQ(ctx.error(), "127.0.0.1:" + std::to_string(port) + ": connection refused");
    EXPECT_EQ(KORALINK_init_tcp(&ctx, 5000, "not-an-address", 4), 0);
    EXPECT_EQ(ctx.error(), "not-an-address:5000: not an IPv4 address");
    EXPECT_EQ(KORALINK_init_tcp(&ctx, 5000, nullptr, 4), 0);
    EXPECT_NE(ctx.error(), "");
}

TEST(TcpLink, SilentAndVanishingSensors) {
    auto lab = StartLab("[sensor quiet]\nKind=TCP\nHost=127.0.0.3\nFault=silent\n"
                        "[sensor gone]\nKind=TCP\nHost=127.0.0.4\nFault=vanish\n");
    ASSERT_TRUE(lab);
    Ctx ctx;
    int quiet = lab->TcpPort("sensor quiet");
    ASSERT_EQ(KORALINK_init_tcp(&ctx, quiet, "127.0.0.3", 4), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), KORALINK_ERR_NO_ANSWER);
    EXPECT_EQ(ctx.error(), "127.0.0.3:" + std::to_string(quiet) + ": no answer within 150 ms");

    int gone = lab->TcpPort("sensor gone");
    ASSERT_EQ(KORALINK_init_tcp(&ctx, gone, "127.0.0.4", 4), 1);
    EXPECT_EQ(KORALINK_exchange_frame(&ctx, 5, 0, nullptr, 0), KORALINK_ERR_LINE_LOST);
    EXPECT_EQ(ctx.error(),
              "127.0.0.4:" + std::to_string(gone) + ": connection closed by the device");
    EXPECT_EQ(KORALINK_init_tcp(&ctx, gone, "127.0.0.4", 4), 0);
    EXPECT_EQ(ctx.error(), "127.0.0.4:" + std::to_string(gone) + ": connection refused");
}

TEST(TcpLink, TargetChecksTakeOnlyDottedAddressesAndPortsInRange) {
    const struct {
        const char *ip;
        int port;
        bool ok;
        uint32_t address;
    } cases[] = {
        {"127.0.0.1", 1, true, 0x7F000001u},
        {"255.255.255.255", 65535, true, 0xFFFFFFFFu},
        {"0.0.0.0", 80, true, 0},
        {"127.0.0.1", 0, false, 0},
        {"127.0.0.1", 65536, false, 0},
        {"256.0.0.1", 80, false, 0},
        {"127.0.0.01", 80, false, 0},
        {"127.0.0", 80, false, 0},
        {"127.0.0.1.", 80, false, 0},
        {"127.0.0.1 ", 80, false, 0},
        {"1270.0.0.1", 80, false, 0},
        {"localhost", 80, false, 0},
        {"", 80, false, 0},
    };
    for (const auto &c : cases) {
        uint32_t ip = 0;
        std::string cause;
        EXPECT_EQ(koralink::CheckTcpTarget(c.ip, c.port, &ip, &cause), c.ok)
            << c.ip << ":" << c.port << " " << cause;
        if (c.ok)
            EXPECT_EQ(ip, c.address) << c.ip;
        else
            EXPECT_FALSE(cause.empty()) << c.ip;
    }
}
