#include "support/textutil.h"

#include <cstdio>
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

std::string FormatTextV(const char *format, va_list args) {
    if (!format)
        return std::string();
    va_list again;
    va_copy(again, args);
    char small[512];
    int n = std::vsnprintf(small, sizeof small, format, args);
    std::string text;
    if (n >= static_cast<int>(sizeof small)) {
        text.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<size_t>(n));
    } else if (n > 0) {
        text = small;
    }
    va_end(again);
    return text;
}
