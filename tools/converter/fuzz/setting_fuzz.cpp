// KEY=VALUE words of the converter command, from arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "converter_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view text(reinterpret_cast<const char *>(data), size);
    ConverterEdit edit;
    std::string why;
    // Several words in one input: the second of a key must be refused.
    while (!text.empty()) {
        size_t end = text.find('\n');
        ParseSetting(text.substr(0, end), &edit, &why);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    ConnectionRecord record{};
    ApplyEdit(edit, &record);
    (void)ParseDottedIpv4(std::string_view(reinterpret_cast<const char *>(data), size));
    return 0;
}
