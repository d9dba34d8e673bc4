// Converters described in a lab file, reached through the library's public
// calls: discovery finds them, and the sensor behind a TCP-server converter
// answers on the converter's data port, as the search's network phase asks it.
#include <cstring>
#include <string>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "koralink.h"
#include "sim/lab.h"
#include "testsupport/testsupport.h"

namespace {

std::string LabText(int port) {
    std::string p = std::to_string(port);
    return "[lab]\nLanTargets=127.255.255.255:" + p +
           "\nKORALINK_LAN_WINDOW_MS=400\n"
           "[converter server]\nKind=Converter\nHost=127.0.0.131\nUdpPort=" +
           p +
           "\nOP=1\nSerial=31337\nSensorVersion=CT-400 behind a converter\nBaud=57600\n"
           "[converter client]\nKind=Converter\nHost=127.0.0.132\nUdpPort=" +
           p + "\nOP=0\nRH=127.0.0.1\nRP=4000\nSensor=no\nModel=WIZ750SR-110\n";
}

} // namespace

TEST(ConverterLab, SearchFindsLabConvertersAndTheSensorBehindOne) {
    std::string error;
    auto lab =
        corvinsim::Lab::Start(LabText(testsupport::FreeLoopbackPort(SOCK_DGRAM)), "", &error);
    ASSERT_TRUE(lab) << error;
    lab->ApplyEnvironment();

    ListType list = ListCreate(sizeof(ConnectionRecord));
    ASSERT_EQ(KORALINK_search_local_LAN(&list), 2);
    ConnectionRecord server, client;
    ListGetItem(list, &server, 1);
    ListGetItem(list, &client, 2);
    ListDispose(list);
    EXPECT_STREQ(server.name, "WIZ750SR 127.0.0.131");
    EXPECT_EQ(server.deviceMode, 1);
    EXPECT_EQ(server.serialBaud, 57600) << "the module's rate follows its sensor's by default";
    EXPECT_EQ(server.localPort, lab->TcpPort("converter server"));
    EXPECT_STREQ(client.typeText, "WIZ750SR-110 1.4.5");
    EXPECT_EQ(client.remotePort, 4000);

    // What the search engine does for a converter: open TCP to its own
    // address and data port and ask the sensor for LINE OK.
    char ip[32];
    std::snprintf(ip, sizeof ip, "%d.%d.%d.%d", server.localIp[0], server.localIp[1],
                  server.localIp[2], server.localIp[3]);
    static LinkContext ctx; // 5972 bytes, zeroed
    ASSERT_EQ(KORALINK_init_tcp(&ctx, server.localPort, ip, KORALINK_OPEN_TCP_PROBE), 1)
        << ctx.lastError;
    ASSERT_EQ(KORALINK_exchange_frame(&ctx, KORALINK_CMD_LINE_OK, 0, nullptr, 0), 0)
        << ctx.lastError;
    int serial = 0;
    ASSERT_EQ(KORALINK_get_ansframe_header(&ctx, nullptr, &serial, nullptr), 0);
    EXPECT_EQ(serial, 31337);
    KORALINK_close(&ctx);

    // A write through the public call lands on the lab module.
    server.remotePort = 4100;
    EXPECT_GE(KORALINK_access_LAN_device(&server, 2), 1);
    EXPECT_EQ(server.remotePort, 4100);
    EXPECT_STREQ(KORALINK_get_LAN_error(), "") << "a success leaves no stale cause";

    // A refused write reaches the program with its cause, not just a result.
    ConnectionRecord bad = server;
    bad.remotePort = 70000;
    EXPECT_LT(KORALINK_access_LAN_device(&bad, 2), 1);
    EXPECT_NE(std::strlen(KORALINK_get_LAN_error()), 0u)
        << "the dialog would have nothing to show the user";
}

TEST(ConverterLab, TwoLabsAtOnceEachSeeOnlyTheirOwnConverters) {
    // The demo in one terminal and the scan (or the tests) in another: one
    // lab file twice. Each lab takes a free discovery port of its own.
    const std::string text = "[lab]\nLanTargets=127.255.255.255\nKORALINK_LAN_WINDOW_MS=300\n"
                             "[converter c]\nKind=Converter\nHost=127.0.0.133\nSensor=no\n";
    std::string error;
    auto first = corvinsim::Lab::Start(text, "", &error);
    ASSERT_TRUE(first) << error;
    auto second = corvinsim::Lab::Start(text + "Mac=00:08:DC:00:01:33\n", "", &error);
    ASSERT_TRUE(second) << "a second lab could not start beside the first: " << error;
    EXPECT_NE(first->DiscoveryPort(), second->DiscoveryPort());
    for (const corvinsim::Lab *lab : {first.get(), second.get()}) {
        lab->ApplyEnvironment();
        ListType list = ListCreate(sizeof(ConnectionRecord));
        ASSERT_EQ(KORALINK_search_local_LAN(&list), 1) << KORALINK_get_LAN_error();
        ConnectionRecord r;
        ListGetItem(list, &r, 1);
        ListDispose(list);
        EXPECT_EQ(r.mac[4], lab == first.get() ? 0x00 : 0x01) << "the other lab's converter";
    }
}
