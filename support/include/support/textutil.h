// Bounded text copies into fixed-size buffers.
#ifndef CORVIN_TEXTUTIL_H
#define CORVIN_TEXTUTIL_H

#include <cstdarg>
#include <cstddef>
#include <string>

// Length of the longest prefix of text[0..maxBytes) that does not end inside
// a UTF-8 multi-byte sequence.
size_t Utf8SafePrefix(const char *text, size_t length, size_t maxBytes);

// Copies src into dst (capacity dstSize bytes, dstSize >= 1), cut to at most
// dstSize - 1 bytes without splitting a UTF-8 sequence, always terminated.
// A null src gives an empty text. Returns the number of bytes copied.
size_t CopyText(char *dst, size_t dstSize, const char *src);

// Same for a source that is not terminated (or longer than needed).
size_t CopyTextN(char *dst, size_t dstSize, const char *src, size_t srcLength);

// printf-style text of any length; empty for a null format or a format error.
std::string FormatTextV(const char *format, va_list args);

template <size_t N> size_t CopyText(char (&dst)[N], const char *src) {
    return CopyText(dst, N, src);
}

#endif
