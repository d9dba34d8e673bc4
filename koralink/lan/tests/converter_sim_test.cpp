// The simulated module must behave like the firmware, or the discovery tests
// prove nothing: addressing, privilege, search id, save/restart, reset.
#include <string>

#include <gtest/gtest.h>

#include "converter_sim.h"

using corvinsim::ConverterConfig;
using corvinsim::ConverterModule;

namespace {

const corvinsim::ConverterMac kOwn = {0x00, 0x08, 0xDC, 0x11, 0x22, 0x33};
const corvinsim::ConverterMac kAll = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

std::string Frame(const corvinsim::ConverterMac &mac, const std::string &lines,
                  const std::string &pw = " ") {
    std::string f = "MA";
    f.append(reinterpret_cast<const char *>(mac.data()), 6);
    return f + "\r\nPW" + pw + "\r\n" + lines;
}

std::string Ask(ConverterModule &m, const std::string &frame, bool *reboot = nullptr) {
    auto out = m.Handle(reinterpret_cast<const uint8_t *>(frame.data()), frame.size());
    if (reboot)
        *reboot = out.reboot;
    return std::string(out.reply.begin(), out.reply.end());
}

std::string Body(const std::string &reply) {
    return reply.size() > 10 ? reply.substr(10) : "";
}

ConverterModule Module() {
    ConverterConfig c;
    c.mac = kOwn;
    return ConverterModule(c);
}

} // namespace

TEST(SimConverter, AnswersOnlyWhenAddressed) {
    ConverterModule m = Module();
    EXPECT_EQ(Body(Ask(m, Frame(kAll, "MC\r\nLI\r\nXX\r\n"))),
              "PW \r\nMC00:08:DC:11:22:33\r\nLI192.168.11.2\r\n")
        << "reads in request order, unknown ones omitted";
    corvinsim::ConverterMac other = kOwn;
    other[5] ^= 1;
    EXPECT_EQ(Ask(m, Frame(other, "MC\r\n")), "") << "another module's MAC must get silence";
    EXPECT_EQ(Ask(m, Frame(kAll, "")), "") << "MA and PW alone get no reply";
    EXPECT_EQ(Ask(m, "MA\xFF\xFF\xFF\xFF\xFF\xFFxxPW \r\nMC\r\n"), "") << "bad header";
}

TEST(SimConverter, SearchIdGuardsEveryAnswer) {
    ConverterModule m = Module();
    ASSERT_NE(Ask(m, Frame(kOwn, "SPsecret\r\nSV\r\n")), "");
    EXPECT_EQ(Ask(m, Frame(kAll, "MC\r\n")), "") << "a module with a search id ignores PW blank";
    EXPECT_NE(Ask(m, Frame(kAll, "MC\r\n", "secret")), "");
}

TEST(SimConverter, WriteSaveRestart) {
    ConverterModule m = Module();
    Ask(m, Frame(kOwn, "LP6000\r\nRHbroker.example\r\nLP\r\nRH\r\n"));
    EXPECT_EQ(m.Running("LP"), "6000");
    EXPECT_EQ(m.Running("RH"), "broker.example");
    EXPECT_EQ(m.Saved("LP"), "5000") << "a write alone must not be saved";

    bool reboot = false;
    std::string r = Ask(m, Frame(kOwn, "SV\r\nRT\r\n"), &reboot);
    EXPECT_EQ(Body(r), "PW \r\n") << "SV and RT add no line";
    EXPECT_TRUE(reboot);
    EXPECT_EQ(m.Saved("LP"), "6000");
    EXPECT_EQ(m.reboots(), 1);

    Ask(m, Frame(kOwn, "LP7000\r\n"));
    m.FinishBoot();
    EXPECT_EQ(m.Running("LP"), "6000") << "unsaved values are lost by a restart";
}

TEST(SimConverter, AnErrorCancelsSaveAndLaterReads) {
    ConverterModule m = Module();
    std::string r = Ask(m, Frame(kOwn, "LP6000\r\nBR99\r\nLP\r\nSV\r\n"));
    EXPECT_EQ(Body(r), "PW \r\n") << "reads after an error are dropped";
    EXPECT_EQ(m.Running("LP"), "6000") << "writes before the error still land in RAM";
    EXPECT_EQ(m.Saved("LP"), "5000") << "the error must cancel SV";
    Ask(m, Frame(kOwn, "MCnew\r\nSV\r\n"));
    EXPECT_EQ(m.Saved("LP"), "5000") << "MC is read-only";
}

TEST(SimConverter, LastByteIsLostWithoutCrLf) {
    ConverterModule m = Module();
    std::string f = Frame(kOwn, "LP6001");
    Ask(m, f);
    EXPECT_EQ(m.Running("LP"), "600") << "the firmware overwrites the last byte";
}

TEST(SimConverter, BroadcastWritesAreSwitchable) {
    ConverterModule m = Module();
    Ask(m, Frame(kAll, "LP6000\r\n"));
    EXPECT_EQ(m.Running("LP"), "6000") << "default: the firmware quirk that lets FF x 6 write";
    m.config().faults.broadcastWrites = false;
    Ask(m, Frame(kAll, "LP6100\r\n"));
    EXPECT_EQ(m.Running("LP"), "6000");
}

TEST(SimConverter, FactoryResetKeepsTheMac) {
    ConverterConfig c;
    c.mac = kOwn;
    c.fields = {{"LI", "127.0.0.40"}, {"LP", "4000"}};
    ConverterModule m(c);
    bool reboot = false;
    Ask(m, Frame(kOwn, "FR\r\n"), &reboot);
    EXPECT_TRUE(reboot);
    EXPECT_EQ(m.Saved("LI"), "192.168.11.2");
    EXPECT_EQ(m.Saved("KI"), "7000");
    EXPECT_NE(Ask(m, Frame(kOwn, "MC\r\n")), "") << "the MAC survives a factory reset";

    Ask(m, Frame(kOwn, "LP1\r\nSV\r\n"));
    Ask(m, Frame(kOwn, "FR\r\n"), &reboot);
    EXPECT_EQ(m.destructive(), 1) << "FR with LP 1 wipes a real module and must be flagged";
}
