// Sensor frame format (docs/sensor-protocol.md is the reference):
//
//   off  size  field
//   0    2     sync 0xA5 0x5A
//   2    1     kind: 0x00 request, 0x01 answer
//   3    1     command
//   4    1     status (requests: 0; answers: see FrameStatus)
//   5    1     data length N (0..255)
//   6    4     parameter word, little-endian
//   10   N     data
//   10+N 2     CRC-16/CCITT-FALSE over bytes 2 .. 9+N, little-endian
#ifndef KORALINK_FRAME_H
#define KORALINK_FRAME_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace koralink {

constexpr uint8_t kSync0 = 0xA5;
constexpr uint8_t kSync1 = 0x5A;
constexpr size_t kHeaderSize = 10;
constexpr size_t kCrcSize = 2;
constexpr size_t kMaxData = 255;
constexpr size_t kMaxFrame = kHeaderSize + kMaxData + kCrcSize;

enum class FrameKind : uint8_t { Request = 0x00, Answer = 0x01 };

enum FrameStatus : uint8_t {
    kStatusOk = 0,
    kStatusUnknownCommand = 1,
    kStatusBadParameter = 2,
    kStatusBusy = 3,
};

struct Frame {
    FrameKind kind = FrameKind::Request;
    uint8_t command = 0;
    uint8_t status = 0;
    uint32_t parameter = 0;
    uint8_t length = 0;
    std::array<uint8_t, kMaxData> data{};
};

uint16_t Crc16(const uint8_t *bytes, size_t length, uint16_t crc = 0xFFFF);

// Writes the frame to out (room for kMaxFrame bytes); returns its size.
size_t EncodeFrame(const Frame &frame, uint8_t *out);

// Incremental decoder. Feed received bytes; it hands out complete frames
// whose CRC is right and drops everything else, resynchronising on the next
// sync pair after noise or a corrupted frame.
class FrameDecoder {
  public:
    // Consumes up to length bytes. Stops after the first complete frame and
    // returns how many bytes it consumed; *got tells whether frame was filled.
    size_t Feed(const uint8_t *bytes, size_t length, Frame *frame, bool *got);
    void Reset();

    // A frame start that stopped arriving (length byte garbled by noise, or
    // a sync pair inside noise) would otherwise hold back a real frame that
    // follows it in the buffer: give up on the stalled start and rescan what
    // is buffered. Returns true and fills frame when that finds one.
    bool DropStalled(Frame *frame);

    // Counters since the last Reset, for error texts ("corrupted answer").
    size_t crcErrors() const { return crcErrors_; }
    size_t discardedBytes() const { return discarded_; }
    bool midFrame() const { return fill_ > 0; }

  private:
    void Shift(size_t n);

    std::array<uint8_t, kMaxFrame> buf_{};
    size_t fill_ = 0;
    size_t crcErrors_ = 0;
    size_t discarded_ = 0;
};

} // namespace koralink

#endif
