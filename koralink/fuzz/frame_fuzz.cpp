// Frame decoder under arbitrary input, delivered in arbitrary pieces (the
// first byte of the input chooses the piece size). Every frame it hands out
// must encode back to a frame with a valid CRC, and it must never stall.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const size_t piece = 1 + data[0] % 32;
    ++data;
    --size;
    koralink::FrameDecoder decoder;
    size_t offset = 0;
    while (offset < size) {
        size_t n = size - offset < piece ? size - offset : piece;
        koralink::Frame f;
        bool got = false;
        size_t used = decoder.Feed(data + offset, n, &f, &got);
        if (used == 0 && !got)
            std::abort(); // no progress on fresh input
        offset += used;
        if (got) {
            uint8_t out[koralink::kMaxFrame];
            size_t len = koralink::EncodeFrame(f, out);
            uint16_t crc = static_cast<uint16_t>(out[len - 2] | out[len - 1] << 8);
            if (len != koralink::kHeaderSize + f.length + koralink::kCrcSize ||
                koralink::Crc16(out + 2, len - 4) != crc)
                std::abort();
        }
    }
    koralink::Frame f;
    for (size_t guard = 0; decoder.midFrame(); ++guard) {
        decoder.DropStalled(&f);
        if (guard > koralink::kMaxFrame)
            std::abort(); // DropStalled must always make progress
    }
    return 0;
}
