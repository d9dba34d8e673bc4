// Baud codes are the library's own numbering, the same for every backend.
#include "transport.h"

namespace koralink {

int BaudRateOfCode(int baudCode) {
    static const int rates[] = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    return (baudCode >= 0 && baudCode < 8) ? rates[baudCode] : 0;
}

} // namespace koralink
