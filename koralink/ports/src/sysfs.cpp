// Real serial ports from sysfs. Only attribute files are read; no device
// node is ever opened, so enumeration cannot disturb a port in use (or the
// console).
//
// What counts as a port:
// - ttyUSB<n> (usb-serial drivers) and ttyACM<n> (CDC-ACM): USB adapters.
//   Their strings and ids come from the USB device, the first directory
//   above the tty's 'device' link that carries idVendor.
// - ttyS<n>: the 8250 driver registers as many lines as the kernel is
//   configured for (often 4 or 32), whether or not a UART answers at the
//   address. A line without hardware reports type 0 (PORT_UNKNOWN) in its
//   'type' attribute. Where a driver offers no 'type' attribute, a line is
//   taken as real unless its device is the serial8250 platform placeholder.
// - Every tty named in /sys/class/tty/console/active is left out.
#include "portenum.h"

#include "support/boundedfile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace koralink {

namespace {

using Problems = std::vector<std::string>;

// Attribute files are short; a longer one is not a sysfs attribute (a fixture
// tree may hold anything).
bool ReadAttribute(const std::string &path, std::string *value, Problems *problems) {
    std::string text, cause;
    int result = ReadBoundedFile(path.c_str(), kBoundedFileSmallLimit, &text, &cause);
    if (result != BOUNDED_FILE_OK) {
        if (result == BOUNDED_FILE_UNUSABLE && problems != nullptr) {
            problems->push_back(cause + "; taken as missing");
        }
        return false;
    }
    // Attributes end in a line feed; USB strings from cheap adapters
    // sometimes carry trailing blanks or a NUL as well.
    while (!text.empty() &&
           (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == '\0')) {
        text.pop_back();
    }
    size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        text.resize(nul);
    }
    *value = text;
    return true;
}

std::string Attribute(const std::string &dir, const char *name, Problems *problems) {
    std::string value;
    ReadAttribute(dir + "/" + name, &value, problems);
    return value;
}

// Looks without opening: opening a FIFO planted in a fixture tree would block.
bool FileExists(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// realpath() of 'path', accepted only when it stays inside 'root' (already
// resolved). sysfs links are relative, so a fixture tree resolves inside
// itself just as the real /sys does.
bool ResolveInside(const std::string &root, const std::string &path, std::string *resolved) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer) == nullptr) {
        return false;
    }
    std::string result = buffer;
    if (root != "/" && result.compare(0, root.size() + 1, root + "/") != 0) {
        return false;
    }
    *resolved = result;
    return true;
}

std::string Basename(const std::string &path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Parent(const std::string &path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

// "ttyUSB12" with prefix "ttyUSB" -> 12; -1 when the rest is not a number.
int LineNumber(const std::string &name, const char *prefix) {
    size_t length = std::strlen(prefix);
    if (name.compare(0, length, prefix) != 0 || name.size() == length || name.size() > length + 6) {
        return -1;
    }
    int value = 0;
    for (size_t i = length; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return -1;
        }
        value = value * 10 + (name[i] - '0');
    }
    return value;
}

int ParseHex(const std::string &text) {
    char *end = nullptr;
    long value = std::strtol(text.c_str(), &end, 16);
    if (end == text.c_str() || value < 0 || value > 0xffff) {
        return 0;
    }
    return static_cast<int>(value);
}

std::set<std::string> ConsoleNames(const std::string &classDir, Problems *problems) {
    std::set<std::string> names;
    std::string active;
    if (ReadAttribute(classDir + "/console/active", &active, problems)) {
        std::istringstream words(active);
        std::string word;
        while (words >> word) {
            names.insert(word);
        }
    }
    return names;
}

bool SerialLineHasUart(const std::string &ttyDir, const std::string &deviceDir,
                       const std::string &root, Problems *problems) {
    std::string type;
    if (ReadAttribute(ttyDir + "/type", &type, problems)) {
        return std::atoi(type.c_str()) != 0;
    }
    if (deviceDir.find("/serial8250") != std::string::npos) {
        return false;
    }
    std::string driver;
    if (ResolveInside(root, deviceDir + "/driver", &driver) && Basename(driver) == "serial8250") {
        return false;
    }
    return true;
}

// Fills the USB fields of 'port' from the device above 'deviceDir'.
// Returns the stable key; empty when no USB device was found.
std::string ReadUsbAdapter(const std::string &root, const std::string &deviceDir, PortInfo *port,
                           Problems *problems) {
    std::string dir = deviceDir;
    std::string interfaceDir;
    std::string devicesRoot = (root == "/" ? std::string() : root) + "/sys/devices";
    while (dir.size() > devicesRoot.size() &&
           dir.compare(0, devicesRoot.size(), devicesRoot) == 0) {
        if (interfaceDir.empty() && FileExists(dir + "/bInterfaceNumber")) {
            interfaceDir = dir;
        }
        if (FileExists(dir + "/idVendor")) {
            port->vendorId = ParseHex(Attribute(dir, "idVendor", problems));
            port->productId = ParseHex(Attribute(dir, "idProduct", problems));
            port->manufacturer = Attribute(dir, "manufacturer", problems);
            port->product = Attribute(dir, "product", problems);
            port->serialNumber = Attribute(dir, "serial", problems);
            int interfaceNumber =
                interfaceDir.empty()
                    ? 0
                    : ParseHex(Attribute(interfaceDir, "bInterfaceNumber", problems));
            std::string busPath = Basename(dir);
            port->usbLocation = interfaceDir.empty() ? busPath : Basename(interfaceDir);
            return UsbStableKey(port->vendorId, port->productId, port->serialNumber, busPath,
                                interfaceNumber);
        }
        dir = Parent(dir);
    }
    return std::string();
}

} // namespace

std::vector<PortInfo> EnumerateSysfsPorts(const std::string &sysfsRoot, Problems *problems) {
    std::vector<PortInfo> ports;
    std::vector<std::string> keys;
    std::string root;
    if (!ResolveInside("/", sysfsRoot.empty() ? "/" : sysfsRoot, &root)) {
        return ports;
    }
    std::string classDir = (root == "/" ? std::string() : root) + "/sys/class/tty";
    std::set<std::string> console = ConsoleNames(classDir, problems);

    DIR *listing = opendir(classDir.c_str());
    if (listing == nullptr) {
        return ports;
    }
    std::vector<std::string> names;
    while (struct dirent *entry = readdir(listing)) {
        names.emplace_back(entry->d_name);
    }
    closedir(listing);
    std::sort(names.begin(), names.end());

    for (const std::string &name : names) {
        bool usb = LineNumber(name, "ttyUSB") >= 0 || LineNumber(name, "ttyACM") >= 0;
        int serialLine = LineNumber(name, "ttyS");
        if ((!usb && serialLine < 0) || console.count(name) != 0) {
            continue;
        }
        std::string ttyDir = classDir + "/" + name;
        std::string deviceDir;
        if (!ResolveInside(root, ttyDir + "/device", &deviceDir)) {
            continue; // no hardware behind it
        }
        PortInfo port;
        port.ttyName = name;
        port.devicePath = "/dev/" + name;
        if (usb) {
            std::string key = ReadUsbAdapter(root, deviceDir, &port, problems);
            if (key.empty()) {
                continue;
            }
            port.type = PORT_TYPE_USB;
            port.label = port.product.empty() ? DefaultPortLabel(PORT_TYPE_USB) : port.product;
            keys.push_back(key);
        } else {
            port.comNumber = SerialLineComNumber(serialLine);
            if (port.comNumber == 0 || !SerialLineHasUart(ttyDir, deviceDir, root, problems)) {
                continue;
            }
            port.type = PORT_TYPE_COM;
            port.label = DefaultPortLabel(PORT_TYPE_COM);
            keys.emplace_back();
        }
        port.typeText = DefaultPortTypeText(port.type);
        ports.push_back(std::move(port));
    }

    AssignUsbComNumbers(ports, keys);
    std::vector<PortInfo> numbered;
    for (PortInfo &port : ports) {
        if (port.comNumber != 0) {
            port.name = MakePortName(port.label, port.comNumber);
            numbered.push_back(std::move(port));
        }
    }
    std::stable_sort(numbered.begin(), numbered.end(), [](const PortInfo &a, const PortInfo &b) {
        return a.comNumber < b.comNumber;
    });
    return numbered;
}

} // namespace koralink
