// Texts in the scan's JSON come from devices on the wire: any bytes must give
// a well-formed string literal.
#include <cstddef>
#include <cstdint>
#include <string>

#include "search/scan_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    std::string json = JsonString(text);
    if (json.size() < 2 || json.front() != '"' || json.back() != '"')
        __builtin_trap();
    for (size_t k = 1; k + 1 < json.size(); ++k) {
        unsigned char c = static_cast<unsigned char>(json[k]);
        if (c < 0x20)
            __builtin_trap();
        if (c == '\\')
            ++k; // escaped character
        else if (c == '"')
            __builtin_trap();
    }
    return 0;
}
