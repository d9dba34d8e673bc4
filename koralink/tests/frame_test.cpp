// Frame codec: the bytes on the wire are a contract with sensor firmware,
// so the worked example of docs/sensor-protocol.md is checked byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "frame.h"

using namespace koralink;

namespace {

std::vector<uint8_t> Encode(uint8_t command, FrameKind kind, uint32_t parameter,
                            std::vector<uint8_t> data = {}, uint8_t status = 0) {
    Frame f;
    f.kind = kind;
    f.command = command;
    f.status = status;
    f.parameter = parameter;
    f.length = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), f.data.begin());
    std::vector<uint8_t> out(kMaxFrame);
    out.resize(EncodeFrame(f, out.data()));
    return out;
}

// Feeds everything, collecting each frame the decoder hands out.
std::vector<Frame> DecodeAll(FrameDecoder &d, const std::vector<uint8_t> &bytes) {
    std::vector<Frame> frames;
    size_t off = 0;
    while (off < bytes.size()) {
        Frame f;
        bool got = false;
        size_t used = d.Feed(bytes.data() + off, bytes.size() - off, &f, &got);
        off += used;
        if (got)
            frames.push_back(f);
        else if (used == 0)
            break;
    }
    return frames;
}

} // namespace

TEST(FrameCodec, CrcIsCcittFalse) {
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc16(check, sizeof check), 0x29B1) << "not CRC-16/CCITT-FALSE: sensors would "
                                                     "reject every request";
}

TEST(FrameCodec, WorkedExampleOfTheProtocolPage) {
    // LINE OK request, then the answer of sensor 4711 (0x00001267).
    EXPECT_EQ(Encode(5, FrameKind::Request, 0),
              (std::vector<uint8_t>{0xA5, 0x5A, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0x99, 0x48}));
    EXPECT_EQ(Encode(5, FrameKind::Answer, 4711),
              (std::vector<uint8_t>{0xA5, 0x5A, 0x01, 0x05, 0x00, 0x00, 0x67, 0x12, 0x00, 0x00,
                                    0xB6, 0x2A}));
    EXPECT_EQ(Encode(7, FrameKind::Answer, 0, {'T', '1', '0'}),
              (std::vector<uint8_t>{0xA5, 0x5A, 0x01, 0x07, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 'T',
                                    '1', '0', 0x30, 0x5A}));
}

TEST(FrameCodec, RoundTripKeepsEveryField) {
    std::vector<uint8_t> data(255);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i ^ 0xA5);
    auto bytes = Encode(190, FrameKind::Answer, 0xDEADBEEF, data, kStatusBadParameter);
    ASSERT_EQ(bytes.size(), kMaxFrame);
    FrameDecoder d;
    auto frames = DecodeAll(d, bytes);
    ASSERT_EQ(frames.size(), 1u);
    const Frame &f = frames[0];
    EXPECT_EQ(f.kind, FrameKind::Answer);
    EXPECT_EQ(f.command, 190);
    EXPECT_EQ(f.status, kStatusBadParameter);
    EXPECT_EQ(f.parameter, 0xDEADBEEFu) << "parameter word must be little-endian 32 bit";
    ASSERT_EQ(f.length, 255);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), f.data.begin()));
}

TEST(FrameCodec, ResynchronisesAfterNoise) {
    // Noise including lone sync bytes and a sync pair with an invalid kind.
    std::vector<uint8_t> bytes = {0x00, 0xA5, 0x13, 0x5A, 0xA5, 0xA5, 0x5A, 0x07, 0xFF, 0x42};
    auto frame = Encode(5, FrameKind::Answer, 42);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    FrameDecoder d;
    auto frames = DecodeAll(d, bytes);
    ASSERT_EQ(frames.size(), 1u) << "a frame after noise was lost";
    EXPECT_EQ(frames[0].parameter, 42u);
    EXPECT_GT(d.discardedBytes(), 0u);
    EXPECT_FALSE(d.midFrame());
}

TEST(FrameCodec, CorruptedCrcIsDroppedAndTheNextFrameStillDecodes) {
    auto bad = Encode(5, FrameKind::Answer, 1);
    bad[7] ^= 0x01; // one bit flipped in the parameter word
    auto good = Encode(5, FrameKind::Answer, 2);
    std::vector<uint8_t> bytes = bad;
    bytes.insert(bytes.end(), good.begin(), good.end());
    FrameDecoder d;
    auto frames = DecodeAll(d, bytes);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].parameter, 2u) << "the corrupted frame was accepted";
    EXPECT_EQ(d.crcErrors(), 1u);
}

TEST(FrameCodec, FalseStartWithAShortLengthDoesNotSwallowTheAnswerBehindIt) {
    // A sync pair in line noise whose length byte (3) makes the "frame" end
    // inside the real answer that follows: after the CRC fails, only the
    // false A5 may go, or the real answer is lost with it.
    std::vector<uint8_t> bytes = {0xA5, 0x5A, 0x01, 0x05, 0x00, 0x03};
    auto frame = Encode(5, FrameKind::Answer, 4711);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    FrameDecoder d;
    auto frames = DecodeAll(d, bytes);
    ASSERT_EQ(frames.size(), 1u) << "the answer behind the false start was lost";
    EXPECT_EQ(frames[0].parameter, 4711u);
    EXPECT_EQ(d.crcErrors(), 1u);
}

TEST(FrameCodec, SplitDeliveryAndBackToBackFrames) {
    auto a = Encode(7, FrameKind::Answer, 0, {'a', 'b', 'c'});
    auto b = Encode(5, FrameKind::Answer, 9);
    FrameDecoder d;
    // One byte at a time: the frame appears exactly with its last byte.
    for (size_t i = 0; i < a.size(); ++i) {
        Frame f;
        bool got = false;
        EXPECT_EQ(d.Feed(&a[i], 1, &f, &got), 1u);
        EXPECT_EQ(got, i + 1 == a.size()) << "at byte " << i;
    }
    // Two frames in one buffer: the first Feed stops after the first frame
    // and leaves the second one's bytes to the caller.
    std::vector<uint8_t> both = a;
    both.insert(both.end(), b.begin(), b.end());
    Frame f;
    bool got = false;
    size_t used = d.Feed(both.data(), both.size(), &f, &got);
    ASSERT_TRUE(got);
    EXPECT_EQ(used, a.size());
    used = d.Feed(both.data() + used, both.size() - used, &f, &got);
    ASSERT_TRUE(got);
    EXPECT_EQ(f.parameter, 9u);
}

TEST(FrameCodec, StalledFalseStartDoesNotHideARealAnswer) {
    // A sync pair in noise whose "length" byte promises 255 bytes that never
    // come: without DropStalled the real answer behind it is never seen.
    std::vector<uint8_t> bytes = {0xA5, 0x5A, 0x01, 0x05, 0x00, 0xFF};
    auto frame = Encode(5, FrameKind::Answer, 77);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    FrameDecoder d;
    EXPECT_TRUE(DecodeAll(d, bytes).empty());
    EXPECT_TRUE(d.midFrame());
    Frame f;
    bool found = false;
    while (!found && d.midFrame())
        found = d.DropStalled(&f);
    ASSERT_TRUE(found);
    EXPECT_EQ(f.parameter, 77u);
}
