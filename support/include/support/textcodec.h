// The one place where 8-bit texts become UTF-8 (docs/text-encoding.md).
//
// Language files are written by a Windows tool in a Windows code page named
// by their CharSet item; sensors answer in plain 8-bit text that we show as
// Windows-1252. Everything inside the program is UTF-8.
#ifndef CORVIN_TEXTCODEC_H
#define CORVIN_TEXTCODEC_H

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr int kCodePageWindows1252 = 1252;
inline constexpr int kCodePageUtf8 = 65001;

// Code page for a language file's CharSet. 0..255 are the Windows
// character-set codes (0 ANSI, 238 East European, 204 Cyrillic, 128
// Shift-JIS ...); larger values name a code page directly (1250, 65001).
// Codes we cannot decode give Windows-1252.
int CodePageForCharSet(int charSet);

// Whether we decode this code page (single-byte tables, the four East Asian
// double-byte pages, UTF-8).
bool IsKnownCodePage(int codePage);

// In a double-byte code page a lead byte and the byte after it form one
// character; the second byte may look like a backslash or a quote and must
// not be taken for one.
bool IsLeadByte(int codePage, unsigned char byte);

// Bytes in codePage to UTF-8. Bytes that name no character become U+FFFD;
// an unknown code page decodes as Windows-1252. UTF-8 input is checked the
// same way, so the result is always valid UTF-8.
std::string DecodeToUtf8(int codePage, std::string_view bytes);

// Device texts (version answers, converter names): Windows-1252 as the
// sensors' own tools show them. Bytes the code page leaves undefined become
// the C1 control of the same value, as on Windows.
std::string DecodeWindows1252(std::string_view bytes);

// UTF-8 to Windows-1252. False (and *out unchanged) when a character has no
// byte there or the input is not UTF-8.
bool EncodeWindows1252(std::string_view utf8, std::string *out);

// Device texts keep their bytes until they are shown: copies src up to its
// first NUL or srcLength, cut after exactly dstSize - 1 bytes (wherever that
// falls), always terminated. Returns the number of bytes copied.
size_t CopyDeviceText(char *dst, size_t dstSize, const char *src, size_t srcLength);
template <size_t N> size_t CopyDeviceText(char (&dst)[N], const char *src, size_t srcLength) {
    return CopyDeviceText(dst, N, src, srcLength);
}

// One line of text output: control characters (C0, DEL, C1) of a UTF-8 text
// become \t, \n, \r or \xNN, so a device text never breaks a line.
std::string EscapeControls(std::string_view utf8);

#endif
