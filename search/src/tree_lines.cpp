// What the connection tree shows, as plain lines: shared by the tree control
// and the headless scan so that both always say the same.
#include <cstdio>
#include <cstring>

#include "connection_tree.h"
#include "textutil.h"

namespace {

// Record texts come from the library or a converter and need not be
// terminated inside their field.
std::string Field(const char *text, size_t size) {
    return std::string(text, strnlen(text, size));
}

template <size_t N> std::string Field(const char (&text)[N]) {
    return Field(text, N);
}

std::string Ipv4Text(const int32_t octets[4]) {
    char text[32] = "";
    int values[4] = {octets[0], octets[1], octets[2], octets[3]};
    FormatIpv4(text, sizeof text, values, TEXT_REPLACE);
    return text;
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
    lines.push_back("Type: " + Field(r.typeText));
    if (r.type == KORALINK_TYPE_LAN) {
        lines.push_back(std::string("Device mode: ") + DeviceModeText(r.deviceMode));
        lines.push_back(std::string("IP mode: ") + IpModeText(r.ipMode));
        lines.push_back("Local IP: " + Ipv4Text(r.localIp));
        lines.push_back("Local portno.: " + std::to_string(r.localPort));
        lines.push_back("Subnet Mask: " + Ipv4Text(r.subnetMask));
        lines.push_back("Gateway address: " + Ipv4Text(r.gateway));
        if (r.deviceMode != 1) {
            lines.push_back("Remote host IP: " + Ipv4Text(r.remoteIp));
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
        lines.push_back("Sensor type: " + Field(entry.sensorType));
    } else {
        lines.push_back("Status: No sensor identified");
    }
    return lines;
}

std::vector<TreeLine> BuildTreeLines(const ConnectionTree &tree) {
    struct Group {
        int show;
        const char *label;
        int type;
    };
    const Group groups[3] = {
        {tree.showLan, tree.lanLabel, KORALINK_TYPE_LAN},
        {tree.showUsb, tree.usbLabel, KORALINK_TYPE_USB},
        {tree.showOther, tree.otherLabel, KORALINK_TYPE_COM},
    };
    std::vector<TreeLine> lines;
    int count = tree.entries ? ListNumItems(tree.entries) : 0;
    for (const Group &group : groups) {
        if (!group.show)
            continue;
        lines.push_back({1, TREE_STYLE_GROUP, 0, Field(group.label, sizeof tree.lanLabel)});
        bool any = false;
        for (int k = 1; k <= count; ++k) {
            const auto *entry = static_cast<const ConnectionEntry *>(ListItemPtr(tree.entries, k));
            if (!entry || entry->record.type != group.type)
                continue;
            any = true;
            lines.push_back({2, TREE_STYLE_CONNECTION, k, Field(entry->record.name)});
            for (std::string &text : DescribeConnection(*entry))
                lines.push_back({3, TREE_STYLE_DETAIL, 0, std::move(text)});
        }
        if (!any)
            lines.push_back({2, TREE_STYLE_CONNECTION, 0, "NONE"});
    }
    return lines;
}

int FormatIpv4(char *text, size_t textSize, const int octets[4], int mode) {
    if (!text || textSize == 0 || !octets)
        return 0;
    for (int k = 0; k < 4; ++k) {
        if (octets[k] < 0 || octets[k] > 255) {
            CopyText(text, textSize, "???.???.???.???");
            return -1;
        }
    }
    if (mode != TEXT_APPEND && mode != TEXT_REPLACE)
        return 0;
    size_t start = mode == TEXT_APPEND ? strnlen(text, textSize - 1) : 0;
    int written = std::snprintf(text + start, textSize - start, "%d.%d.%d.%d", octets[0], octets[1],
                                octets[2], octets[3]);
    return written < 0 ? 0 : static_cast<int>(strnlen(text + start, textSize - start));
}

int FormatBaud(char *text, size_t textSize, int baud, int mode) {
    if (!text || textSize == 0 || (mode != TEXT_APPEND && mode != TEXT_REPLACE))
        return 0;
    size_t start = mode == TEXT_APPEND ? strnlen(text, textSize - 1) : 0;
    int written = std::snprintf(text + start, textSize - start, "%d baud", baud);
    return written < 0 ? 0 : static_cast<int>(strnlen(text + start, textSize - start));
}

int ParseIpv4(const char *text, int octets[4]) {
    if (!text || !octets)
        return 0;
    const char *p = text;
    int count = 0;
    for (; count < 4; ++count) {
        if (count > 0) {
            if (*p != '.')
                break;
            ++p;
        }
        // A decimal integer as the formatter's scanner reads it: blanks, an
        // optional sign, digits. Values too large for an int are not numbers.
        while (*p == ' ' || *p == '\t')
            ++p;
        bool negative = false;
        if (*p == '+' || *p == '-')
            negative = *p++ == '-';
        if (*p < '0' || *p > '9')
            break;
        long long value = 0;
        bool overflow = false;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + (*p++ - '0');
            if (value > 2147483647LL)
                overflow = true, value = 2147483647LL;
        }
        if (overflow)
            break;
        octets[count] = static_cast<int>(negative ? -value : value);
    }
    return count;
}
