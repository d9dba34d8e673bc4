// Port-map files are written by hand and by the simulator; none of them may
// crash the library or give an entry outside COM1..COM255.
#include "portenum.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    for (const koralink::PortInfo &port :
         koralink::ParsePortMap(reinterpret_cast<const char *>(data), size)) {
        if (port.comNumber < 1 || port.comNumber > 255 || port.devicePath.empty() ||
            (port.type != koralink::PORT_TYPE_USB && port.type != koralink::PORT_TYPE_COM) ||
            port.name.empty()) {
            std::abort();
        }
    }
    return 0;
}
