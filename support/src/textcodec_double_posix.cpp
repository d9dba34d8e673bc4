// Double-byte code pages through iconv.
#include "textcodec_double.h"

#include <iconv.h>
#include <string>

struct DoubleByteDecoder::State {
    iconv_t cd;
};

DoubleByteDecoder::DoubleByteDecoder(int codePage)
    : state_(new State{iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str())}) {}

DoubleByteDecoder::~DoubleByteDecoder() {
    if (state_->cd != reinterpret_cast<iconv_t>(-1))
        iconv_close(state_->cd);
    delete state_;
}

bool DoubleByteDecoder::Append(const char *bytes, size_t length, std::string *out) {
    if (state_->cd == reinterpret_cast<iconv_t>(-1))
        return false;
    char in[2] = {bytes[0], length == 2 ? bytes[1] : '\0'};
    char buf[16];
    char *inp = in, *outp = buf;
    size_t inLeft = length, outLeft = sizeof buf;
    if (iconv(state_->cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) ||
        inLeft != 0) {
        iconv(state_->cd, nullptr, nullptr, nullptr, nullptr);
        return false;
    }
    out->append(buf, static_cast<size_t>(outp - buf));
    return true;
}
