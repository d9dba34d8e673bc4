#include "textutil.h"

#include <cstring>

size_t Utf8SafePrefix(const char *text, size_t length, size_t maxBytes) {
    if (length <= maxBytes)
        return length;
    size_t cut = maxBytes;
    // Step back over continuation bytes to the lead byte of the sequence that
    // straddles the cut; drop that sequence if it does not fit whole.
    size_t back = 0;
    while (cut > 0 && back < 4 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
        ++back;
    }
    if (back == 4) // not UTF-8 at all: plain byte cut
        return maxBytes;
    return cut;
}

size_t CopyTextN(char *dst, size_t dstSize, const char *src, size_t srcLength) {
    if (!dst || dstSize == 0)
        return 0;
    if (!src) {
        dst[0] = '\0';
        return 0;
    }
    size_t n = Utf8SafePrefix(src, srcLength, dstSize - 1);
    std::memmove(dst, src, n);
    dst[n] = '\0';
    return n;
}

size_t CopyText(char *dst, size_t dstSize, const char *src) {
    return CopyTextN(dst, dstSize, src, src ? std::strlen(src) : 0);
}
