// What the connection tree shows, as plain lines: shared by the tree control
// and the headless scan so that both always say the same.
#include <cstdio>
#include <cstring>

#include "search/converter_values.h"
#include "search/text_format.h"
#include "search/tree_lines.h"
#include "support/textcodec.h"
#include "support/textutil.h"

namespace {

// Record texts come from the library or a converter and need not be
// terminated inside their field.
std::string Field(const char *text, size_t size) {
    return std::string(text, strnlen(text, size));
}

template <size_t N> std::string Field(const char (&text)[N]) {
    return Field(text, N);
}

// One tree line each: a control character in a name must not start another.
template <size_t N> std::string Shown(const char (&text)[N]) {
    return EscapeControls(Field(text, N));
}

// What the sensor sent, in its own 8-bit code page.
template <size_t N> std::string DeviceShown(const char (&text)[N]) {
    return EscapeControls(DecodeWindows1252(Field(text, N)));
}

const char *DeviceModeText(int mode) {
    switch (mode) {
    case 0:
        return "TCP client";
    case 1:
        return "TCP server";
    case 2:
        return "TCP mixed";
    case 3:
        return "UDP";
    default:
        return "";
    }
}

const char *IpModeText(int mode) {
    switch (mode) {
    case 0:
        return "STATIC";
    case 1:
        return "DHCP";
    default:
        return "";
    }
}

} // namespace

std::vector<std::string> DescribeConnection(const ConnectionEntry &entry) {
    const ConnectionRecord &r = entry.record;
    std::vector<std::string> lines;
    lines.push_back("Type: " + Shown(r.typeText));
    if (r.type == KORALINK_TYPE_LAN) {
        lines.push_back(std::string("Device mode: ") + DeviceModeText(r.deviceMode));
        lines.push_back(std::string("IP mode: ") + IpModeText(r.ipMode));
        lines.push_back("Local IP: " + Ipv4Text(r.localIp));
        lines.push_back("Local portno.: " + std::to_string(r.localPort));
        lines.push_back("Subnet Mask: " + Ipv4Text(r.subnetMask));
        lines.push_back("Gateway address: " + Ipv4Text(r.gateway));
        if (r.deviceMode != 1) {
            lines.push_back("Remote host IP: " + ConverterRemoteHost(r));
            lines.push_back("Remote host portno.: " + std::to_string(r.remotePort));
        }
        if (r.lanState == 2) {
            char baud[64] = "Serial baudrate: ";
            FormatBaud(baud, sizeof baud, r.serialBaud, TEXT_APPEND);
            lines.push_back(baud);
        }
    } else if (r.type == KORALINK_TYPE_USB) {
        lines.push_back("Virtual COM Port No.: " + std::to_string(r.comNumber));
    }
    if (entry.identified == 1 && entry.answered == 1) {
        lines.push_back("Status: Sensor identified");
        lines.push_back("Sensor serial: " + Field(entry.serialText));
        lines.push_back("Sensor type: " + DeviceShown(entry.sensorType));
        // The rate it answered at: the one to connect with.
        if (r.type != KORALINK_TYPE_LAN && entry.baudRate > 0) {
            char baud[64] = "Sensor baudrate: ";
            FormatBaud(baud, sizeof baud, entry.baudRate, TEXT_APPEND);
            lines.push_back(baud);
        }
    } else {
        lines.push_back("Status: No sensor identified");
    }
    return lines;
}

TreeGroups DefaultTreeGroups() {
    TreeGroups groups{};
    groups.showLan = groups.showUsb = groups.showOther = 1;
    CopyText(groups.lanLabel, "LAN");
    CopyText(groups.usbLabel, "USB");
    CopyText(groups.otherLabel, "other");
    return groups;
}

TreeGroups StandardTreeGroups() {
    TreeGroups groups = DefaultTreeGroups();
    CopyText(groups.lanLabel, "adp-b/ETH, adp-c/ETH");
    CopyText(groups.usbLabel, "adp-b/USB, adp-c/USB");
    return groups;
}

std::vector<TreeLine> BuildTreeLines(ListType entries, const TreeGroups &groups) {
    struct Group {
        int show;
        const char *label;
        int type;
    };
    const Group shown[3] = {
        {groups.showLan, groups.lanLabel, KORALINK_TYPE_LAN},
        {groups.showUsb, groups.usbLabel, KORALINK_TYPE_USB},
        {groups.showOther, groups.otherLabel, KORALINK_TYPE_COM},
    };
    std::vector<TreeLine> lines;
    int count = entries ? ListNumItems(entries) : 0;
    for (const Group &group : shown) {
        if (!group.show)
            continue;
        lines.push_back({1, TREE_STYLE_GROUP, 0, Field(group.label, sizeof groups.lanLabel)});
        bool any = false;
        for (int k = 1; k <= count; ++k) {
            const auto *entry = static_cast<const ConnectionEntry *>(ListItemPtr(entries, k));
            if (!entry || entry->record.type != group.type)
                continue;
            any = true;
            lines.push_back({2, TREE_STYLE_CONNECTION, k, Shown(entry->record.name)});
            for (std::string &text : DescribeConnection(*entry))
                lines.push_back({3, TREE_STYLE_DETAIL, 0, std::move(text)});
        }
        if (!any)
            lines.push_back({2, TREE_STYLE_CONNECTION, 0, "NONE"});
    }
    return lines;
}
