// Double-byte code pages through the Windows code-page tables.
#include "textcodec_double.h"

#include <windows.h>

struct DoubleByteDecoder::State {
    UINT codePage;
};

DoubleByteDecoder::DoubleByteDecoder(int codePage)
    : state_(new State{static_cast<UINT>(codePage)}) {}

DoubleByteDecoder::~DoubleByteDecoder() {
    delete state_;
}

bool DoubleByteDecoder::Append(const char *bytes, size_t length, std::string *out) {
    // MB_ERR_INVALID_CHARS: a byte pair that names nothing fails instead of
    // becoming the code page's default character.
    wchar_t wide[4];
    int n = MultiByteToWideChar(state_->codePage, MB_ERR_INVALID_CHARS, bytes,
                                static_cast<int>(length), wide, 4);
    if (n <= 0)
        return false;
    char utf8[16];
    int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, sizeof utf8, nullptr, nullptr);
    if (m <= 0)
        return false;
    out->append(utf8, static_cast<size_t>(m));
    return true;
}
