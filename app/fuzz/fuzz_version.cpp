#include <cstddef>
#include <cstdint>
#include <string>

#include "app/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size); // stops at a NUL, as a C text
    ProgramVersionRec version;
    ParseVersion(text.c_str(), &version);
    ParseVersion(text.c_str(), nullptr);
    return 0;
}
