// Replies to a discovery are untrusted network input.
#include <cstring>

#include "segcp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    koralink::segcp::ModuleSettings s;
    std::string why;
    if (koralink::segcp::ParseReply(data, size, &s, &why)) {
        // Whatever parses must fit a record without overrunning its texts.
        ConnectionRecord r;
        std::memset(&r, 0, sizeof r);
        koralink::segcp::FillRecord(s, &r);
        if (r.typeText[sizeof r.typeText - 1] != '\0' || r.name[sizeof r.name - 1] != '\0')
            __builtin_trap();
        if (!koralink::segcp::GetRemoteName(r).empty() && r.remoteIp[0] != 0)
            __builtin_trap();
    }
    koralink::segcp::Mac mac;
    koralink::segcp::ParseHeader(data, size, &mac);
    return 0;
}
