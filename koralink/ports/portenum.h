// Serial-port enumeration for the library: real ports read from sysfs plus
// the ports of the port-map file, each with a COM number 1..255.
// The numbering rule is described in docs/com-numbers.md.
#ifndef KORALINK_PORTENUM_H
#define KORALINK_PORTENUM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace koralink {

enum PortType {
    PORT_TYPE_USB = 1, // USB serial adapter (ttyUSB*, ttyACM*)
    PORT_TYPE_COM = 3, // other serial port (ttyS*)
};

struct PortInfo {
    int comNumber = 0;      // 1..255
    int type = 0;           // 1 USB adapter, 3 other COM port
    std::string devicePath; // "/dev/ttyUSB0"
    std::string name;       // "FT232R USB UART (COM34)"
    std::string typeText;   // "USB serial adapter"

    // What the name is built from: the USB product string, or the generic
    // text for the port's kind ("Communications Port").
    std::string label;
    std::string ttyName; // "ttyUSB0"; empty for port-map entries
    bool fromPortMap = false;

    // USB adapters only (empty / 0 otherwise).
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    int vendorId = 0;
    int productId = 0;
    std::string usbLocation; // "1-1.4:1.0": bus-port path and interface
};

// All ports the configuration allows (KORALINK_PORTMAP, KORALINK_PORTMAP_ONLY,
// KORALINK_SYSFS_ROOT), sorted by COM number, the system console left out.
std::vector<PortInfo> EnumeratePorts();

// The port with this COM number; false when there is none.
bool ResolvePort(int comNumber, PortInfo *out);

// The real serial ports found under sysfsRoot ("/" for the running system),
// console excluded, COM numbers assigned, sorted by COM number. Reads
// nothing but sysfs attributes (regular files of at most 4 KiB, never
// blocking) and never opens a device. An attribute that exists but cannot be
// read counts as missing; when problems is given, the cause is added to it.
std::vector<PortInfo> EnumerateSysfsPorts(const std::string &sysfsRoot,
                                          std::vector<std::string> *problems = nullptr);

// Port-map entries from INI text held in memory; invalid sections are
// skipped. Sorted by COM number; of two sections naming one number the
// first wins.
std::vector<PortInfo> ParsePortMap(const char *data, size_t length);
// The same read from a file (a regular file of at most 1 MiB, never
// blocking); a file that cannot be used gives no entries and the cause in
// *cause when given.
std::vector<PortInfo> ReadPortMapFile(const char *path, std::string *cause = nullptr);
// The port map KORALINK_PORTMAP names; one that cannot be used is reported
// as an unusable setting and gives no entries.
std::vector<PortInfo> ReadConfiguredPortMap();

// Real ports with the port-map entries laid over them: an entry replaces
// the real port of its number.
std::vector<PortInfo> MergePortMap(std::vector<PortInfo> realPorts,
                                   const std::vector<PortInfo> &mapEntries);

// ---- COM-number rule and names (shared with the portquest library) ----

constexpr int kMinComNumber = 1;
constexpr int kMaxComNumber = 255;
// USB adapters take numbers from this range (see docs/com-numbers.md).
constexpr int kFirstUsbComNumber = 33;

// ttyS<line> is COM<line + 1>; 0 when the line has no COM number (> 254).
int SerialLineComNumber(int line);

// The preferred COM number of a USB adapter with this stable key.
int UsbPreferredComNumber(const std::string &stableKey);
// FNV-1a (32 bit) of the key's bytes, the hash behind the preferred number.
uint32_t Fnv1a32(const std::string &text);

// The stable key of a USB adapter: its serial string when it has one, else
// its place on the bus. interfaceNumber tells the ports of a multi-port
// adapter apart.
std::string UsbStableKey(int vendorId, int productId, const std::string &serial,
                         const std::string &busPath, int interfaceNumber);

// Gives every port in 'ports' whose comNumber is 0 a USB number: taken in
// the order of their stable keys (usbKeys[i] belongs to ports[i]), each
// gets its preferred number or, when that is taken, the next free one above
// it (wrapping within the USB range). Numbers already set are kept and
// never reused. A port left without a free number keeps 0.
void AssignUsbComNumbers(std::vector<PortInfo> &ports, const std::vector<std::string> &usbKeys);

// "<label> (COM<n>)". With maxBytes > 0 the result fits maxBytes - 1 bytes
// (a terminated buffer of maxBytes): the label is shortened, never cut inside
// a UTF-8 sequence, so that the port designation always stays visible.
std::string MakePortName(const std::string &label, int comNumber, size_t maxBytes = 0);

// A port's name cut to fit a terminated buffer of maxBytes: a name ending
// in its " (COM<n>)" designation keeps the designation whole and loses
// characters before it; any other name is cut UTF-8-safely at the end.
std::string FitPortName(const std::string &name, int comNumber, size_t maxBytes);

// Generic labels and type texts.
const char *DefaultPortLabel(int type);    // "USB Serial Port" / "Communications Port"
const char *DefaultPortTypeText(int type); // "USB serial adapter" / "Serial port"

// "COM<n>" (any letter case, decimal digits only, 1..255) -> n; 0 otherwise.
int ParseComSectionName(const char *text);

} // namespace koralink

#endif
