#include "frame.h"

#include <cstring>

namespace koralink {

uint16_t Crc16(const uint8_t *bytes, size_t length, uint16_t crc) {
    for (size_t i = 0; i < length; ++i) {
        crc ^= static_cast<uint16_t>(bytes[i]) << 8;
        for (int b = 0; b < 8; ++b)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}

size_t EncodeFrame(const Frame &frame, uint8_t *out) {
    out[0] = kSync0;
    out[1] = kSync1;
    out[2] = static_cast<uint8_t>(frame.kind);
    out[3] = frame.command;
    out[4] = frame.status;
    out[5] = frame.length;
    for (int i = 0; i < 4; ++i)
        out[6 + i] = static_cast<uint8_t>(frame.parameter >> (8 * i));
    std::memcpy(out + kHeaderSize, frame.data.data(), frame.length);
    size_t end = kHeaderSize + frame.length;
    uint16_t crc = Crc16(out + 2, end - 2);
    out[end] = static_cast<uint8_t>(crc & 0xFF);
    out[end + 1] = static_cast<uint8_t>(crc >> 8);
    return end + kCrcSize;
}

void FrameDecoder::Reset() {
    fill_ = 0;
    crcErrors_ = 0;
    discarded_ = 0;
}

bool FrameDecoder::DropStalled(Frame *frame) {
    if (fill_ == 0)
        return false;
    Shift(1);
    ++discarded_;
    bool got = false;
    Feed(nullptr, 0, frame, &got);
    return got;
}

void FrameDecoder::Shift(size_t n) {
    std::memmove(buf_.data(), buf_.data() + n, fill_ - n);
    fill_ -= n;
}

size_t FrameDecoder::Feed(const uint8_t *bytes, size_t length, Frame *frame, bool *got) {
    *got = false;
    size_t used = 0;
    while (used < length || fill_ > 0) {
        // Top up the buffer one byte at a time so that a frame never swallows
        // bytes that belong to the next one.
        if (used < length && fill_ < buf_.size())
            buf_[fill_++] = bytes[used++];

        // Hunt for the sync pair.
        while (fill_ > 0 && buf_[0] != kSync0) {
            Shift(1);
            ++discarded_;
        }
        if (fill_ >= 2 && buf_[1] != kSync1) {
            Shift(1);
            ++discarded_;
            continue;
        }
        if (fill_ < kHeaderSize) {
            if (used >= length)
                break;
            continue;
        }
        if (buf_[2] > static_cast<uint8_t>(FrameKind::Answer)) {
            Shift(1);
            ++discarded_;
            continue;
        }
        size_t total = kHeaderSize + buf_[5] + kCrcSize;
        if (fill_ < total) {
            if (used >= length)
                break;
            continue;
        }
        uint16_t want = static_cast<uint16_t>(buf_[total - 2] | (buf_[total - 1] << 8));
        if (Crc16(buf_.data() + 2, total - 4) != want) {
            ++crcErrors_;
            Shift(1);
            ++discarded_;
            continue;
        }
        frame->kind = static_cast<FrameKind>(buf_[2]);
        frame->command = buf_[3];
        frame->status = buf_[4];
        frame->length = buf_[5];
        frame->parameter = static_cast<uint32_t>(buf_[6]) | static_cast<uint32_t>(buf_[7]) << 8 |
                           static_cast<uint32_t>(buf_[8]) << 16 |
                           static_cast<uint32_t>(buf_[9]) << 24;
        std::memcpy(frame->data.data(), buf_.data() + kHeaderSize, frame->length);
        Shift(total);
        *got = true;
        return used;
    }
    return used;
}

} // namespace koralink
