// Serial-port enumeration for the library: real ports read from sysfs plus
// the ports of the port-map file, each with a COM number 1..255.
#ifndef KORALINK_PORTENUM_H
#define KORALINK_PORTENUM_H

#include <string>
#include <vector>

namespace koralink {

struct PortInfo {
    int comNumber = 0;      // 1..255
    int type = 0;           // 1 USB adapter, 3 other COM port
    std::string devicePath; // "/dev/ttyUSB0"
    std::string name;       // "FT232R USB UART (COM34)"
    std::string typeText;   // "USB serial adapter"
};

// All ports the configuration allows (KORALINK_PORTMAP, KORALINK_PORTMAP_ONLY,
// KORALINK_SYSFS_ROOT), sorted by COM number, the system console left out.
std::vector<PortInfo> EnumeratePorts();

// The port with this COM number; false when there is none.
bool ResolvePort(int comNumber, PortInfo *out);

} // namespace koralink

#endif
