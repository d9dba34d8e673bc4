// The double-byte code pages (932, 936, 949, 950) come from the system's own
// tables: iconv on POSIX systems (textcodec_double.cpp), the Windows code
// pages on Windows (textcodec_double_win.cpp).
#ifndef CORVIN_TEXTCODEC_DOUBLE_H
#define CORVIN_TEXTCODEC_DOUBLE_H

#include <cstddef>
#include <string>

class DoubleByteDecoder {
  public:
    explicit DoubleByteDecoder(int codePage);
    ~DoubleByteDecoder();
    DoubleByteDecoder(const DoubleByteDecoder &) = delete;
    DoubleByteDecoder &operator=(const DoubleByteDecoder &) = delete;

    // Appends the UTF-8 of one character (length 1 or 2) to *out; false,
    // and nothing appended, when the bytes name no character.
    bool Append(const char *bytes, size_t length, std::string *out);

  private:
    struct State; // one per backend
    State *state_;
};

#endif
