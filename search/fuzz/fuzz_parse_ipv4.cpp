// ParseIpv4 reads what a user typed into the converter dialog.
#include <cstddef>
#include <cstdint>
#include <string>

#include "search/text_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size); // terminated copy
    int octets[4] = {0, 0, 0, 0};
    int count = ParseIpv4(text.c_str(), octets);
    if (count < 0 || count > 4)
        __builtin_trap();
    char out[16];
    FormatIpv4(out, sizeof out, octets, TEXT_REPLACE);
    return 0;
}
