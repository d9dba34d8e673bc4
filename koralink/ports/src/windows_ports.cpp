// COM ports from the "Ports" devices of SetupAPI. Kept apart from the
// SetupAPI calls so that the rules can be checked on any system.
#include "portenum.h"

#include <cctype>
#include <map>

namespace koralink {

namespace {

// The designation at the end of a friendly name: "... (COM5)" -> 5.
int NumberAtEnd(const std::string &name, size_t *designationStart) {
    size_t end = name.find_last_not_of(' ');
    if (end == std::string::npos || name[end] != ')')
        return 0;
    size_t open = name.rfind('(', end);
    if (open == std::string::npos)
        return 0;
    int number = ParseComSectionName(name.substr(open + 1, end - open - 1).c_str());
    if (number != 0)
        *designationStart = open;
    return number;
}

// USB adapters are listed under the USB enumerator, except where the
// vendor's driver brings a bus of its own (FTDI's driver lists its ports
// under FTDIBUS). Bluetooth links (BTHENUM), ACPI and PCI cards and
// virtual drivers are plain COM ports to the user.
bool IsUsbEnumerator(const std::string &instanceId) {
    std::string bus = instanceId.substr(0, instanceId.find('\\'));
    for (char &c : bus)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return bus == "USB" || bus == "FTDIBUS";
}

} // namespace

std::vector<PortInfo> PortsOfWindowsDevices(const std::vector<WindowsPortDevice> &devices) {
    std::map<int, PortInfo> byNumber;
    for (const WindowsPortDevice &device : devices) {
        // The hardware key's PortName is what CreateFile knows the port by;
        // the friendly name can lag behind a renumbering. Parallel ports
        // belong to the same device class and have "LPT1" here.
        size_t designation = std::string::npos;
        int fromName = NumberAtEnd(device.friendlyName, &designation);
        int number =
            device.portName.empty() ? fromName : ParseComSectionName(device.portName.c_str());
        if (number == 0 || byNumber.count(number) != 0)
            continue;
        PortInfo port;
        port.comNumber = number;
        port.type = IsUsbEnumerator(device.instanceId) ? PORT_TYPE_USB : PORT_TYPE_COM;
        port.devicePath = "\\\\.\\COM" + std::to_string(number);
        port.label = device.friendlyName.substr(0, designation);
        while (!port.label.empty() && port.label.back() == ' ')
            port.label.pop_back();
        if (port.label.empty())
            port.label = DefaultPortLabel(port.type);
        port.name = MakePortName(port.label, number);
        port.typeText = DefaultPortTypeText(port.type);
        byNumber.emplace(number, std::move(port));
    }
    std::vector<PortInfo> ports;
    for (auto &entry : byNumber)
        ports.push_back(std::move(entry.second));
    return ports;
}

} // namespace koralink
