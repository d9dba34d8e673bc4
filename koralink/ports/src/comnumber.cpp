// COM numbers and display names of serial ports. The portquest library
// links this file too, so both number a port the same way.
#include "portenum.h"

#include "support/textutil.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <numeric>

namespace koralink {

namespace {
constexpr int kUsbRangeSize = kMaxComNumber - kFirstUsbComNumber + 1;
}

int SerialLineComNumber(int line) {
    if (line < 0 || line > kMaxComNumber - 1) {
        return 0;
    }
    return line + 1;
}

uint32_t Fnv1a32(const std::string &text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

int UsbPreferredComNumber(const std::string &stableKey) {
    return kFirstUsbComNumber + static_cast<int>(Fnv1a32(stableKey) % kUsbRangeSize);
}

std::string UsbStableKey(int vendorId, int productId, const std::string &serial,
                         const std::string &busPath, int interfaceNumber) {
    char head[32];
    std::snprintf(head, sizeof head, "%04x:%04x", vendorId & 0xffff, productId & 0xffff);
    std::string key;
    if (!serial.empty()) {
        key = std::string("serial:") + head + ":" + serial;
    } else {
        key = "path:" + busPath;
    }
    key += ":" + std::to_string(interfaceNumber);
    return key;
}

void AssignUsbComNumbers(std::vector<PortInfo> &ports, const std::vector<std::string> &usbKeys) {
    bool taken[kMaxComNumber + 1] = {};
    std::vector<size_t> order;
    for (size_t i = 0; i < ports.size(); ++i) {
        int n = ports[i].comNumber;
        if (n >= kMinComNumber && n <= kMaxComNumber) {
            taken[n] = true;
        } else if (i < usbKeys.size()) {
            order.push_back(i);
        }
    }
    // Sorting by key makes the outcome independent of the order in which
    // the kernel listed (or the user plugged in) the adapters.
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (usbKeys[a] != usbKeys[b]) {
            return usbKeys[a] < usbKeys[b];
        }
        return ports[a].ttyName < ports[b].ttyName;
    });
    for (size_t i : order) {
        int first = UsbPreferredComNumber(usbKeys[i]);
        ports[i].comNumber = 0;
        for (int step = 0; step < kUsbRangeSize; ++step) {
            int n = kFirstUsbComNumber + (first - kFirstUsbComNumber + step) % kUsbRangeSize;
            if (!taken[n]) {
                taken[n] = true;
                ports[i].comNumber = n;
                break;
            }
        }
    }
}

std::string MakePortName(const std::string &label, int comNumber, size_t maxBytes) {
    std::string suffix = " (COM" + std::to_string(comNumber) + ")";
    if (maxBytes == 0) {
        return label + suffix;
    }
    if (maxBytes <= suffix.size() + 1) {
        // Room for the designation only; drop the leading blank first.
        std::string bare = suffix.substr(1);
        return bare.substr(0, maxBytes > 0 ? maxBytes - 1 : 0);
    }
    size_t room = maxBytes - 1 - suffix.size();
    size_t keep = Utf8SafePrefix(label.data(), label.size(), room);
    return label.substr(0, keep) + suffix;
}

std::string FitPortName(const std::string &name, int comNumber, size_t maxBytes) {
    if (maxBytes == 0) {
        return std::string();
    }
    if (name.size() < maxBytes) {
        return name;
    }
    std::string suffix = " (COM" + std::to_string(comNumber) + ")";
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        return MakePortName(name.substr(0, name.size() - suffix.size()), comNumber, maxBytes);
    }
    return name.substr(0, Utf8SafePrefix(name.data(), name.size(), maxBytes - 1));
}

const char *DefaultPortLabel(int type) {
    return type == PORT_TYPE_USB ? "USB Serial Port" : "Communications Port";
}

const char *DefaultPortTypeText(int type) {
    return type == PORT_TYPE_USB ? "USB serial adapter" : "Serial port";
}

int ParseComSectionName(const char *text) {
    if (text == nullptr) {
        return 0;
    }
    if (std::toupper(static_cast<unsigned char>(text[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(text[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(text[2])) != 'M') {
        return 0;
    }
    const char *p = text + 3;
    int value = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (++digits > 3) {
            return 0;
        }
    }
    if (digits == 0 || *p != '\0' || value < kMinComNumber || value > kMaxComNumber) {
        return 0;
    }
    return value;
}

} // namespace koralink
