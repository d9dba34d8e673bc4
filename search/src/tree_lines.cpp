// What the connection tree shows, as plain lines: shared by the tree control
// and the headless scan so that both always say the same.
#include <cstdio>
#include <cstring>

#include "search/converter_values.h"
#include "search/search_texts.h"
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
        return UiTextOf(search_texts::kTcpClient);
    case 1:
        return UiTextOf(search_texts::kTcpServer);
    case 2:
        return UiTextOf(search_texts::kTcpMixed);
    case 3:
        return "UDP";
    default:
        return "";
    }
}

const char *IpModeText(int mode) {
    switch (mode) {
    case 0:
        return UiTextOf(search_texts::kStatic);
    case 1:
        return "DHCP";
    default:
        return "";
    }
}

// "<label> <value>": the label carries its own colon, as a language wants.
std::string Line(const UiText &label, const std::string &value) {
    return std::string(UiTextOf(label)) + " " + value;
}

std::string BaudLine(const UiText &label, int baud) {
    char text[64] = "";
    FormatBaud(text, sizeof text, baud, TEXT_REPLACE);
    return Line(label, text);
}

} // namespace

std::vector<std::string> DescribeConnection(const ConnectionEntry &entry) {
    const ConnectionRecord &r = entry.record;
    std::vector<std::string> lines;
    namespace t = search_texts;
    lines.push_back(Line(t::kType, Shown(r.typeText)));
    if (r.type == KORALINK_TYPE_LAN) {
        lines.push_back(Line(t::kDeviceMode, DeviceModeText(r.deviceMode)));
        lines.push_back(Line(t::kIpMode, IpModeText(r.ipMode)));
        lines.push_back(Line(t::kLocalIp, Ipv4Text(r.localIp)));
        lines.push_back(Line(t::kLocalPort, std::to_string(r.localPort)));
        lines.push_back(Line(t::kSubnetMask, Ipv4Text(r.subnetMask)));
        lines.push_back(Line(t::kGateway, Ipv4Text(r.gateway)));
        if (r.deviceMode != 1) {
            lines.push_back(Line(t::kRemoteIp, ConverterRemoteHost(r)));
            lines.push_back(Line(t::kRemotePort, std::to_string(r.remotePort)));
        }
        if (r.lanState == 2)
            lines.push_back(BaudLine(t::kSerialBaud, r.serialBaud));
    } else if (r.type == KORALINK_TYPE_USB) {
        lines.push_back(Line(t::kComPort, std::to_string(r.comNumber)));
    }
    if (entry.identified == 1 && entry.answered == 1) {
        lines.push_back(UiTextOf(t::kIdentified));
        lines.push_back(Line(t::kSensorSerial, Field(entry.serialText)));
        lines.push_back(Line(t::kSensorType, DeviceShown(entry.sensorType)));
        // The rate it answered at: the one to connect with.
        if (r.type != KORALINK_TYPE_LAN && entry.baudRate > 0)
            lines.push_back(BaudLine(t::kSensorBaud, entry.baudRate));
    } else {
        lines.push_back(UiTextOf(t::kNotIdentified));
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
    CopyText(groups.otherLabel, UiTextOf(search_texts::kOther));
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
            lines.push_back({2, TREE_STYLE_CONNECTION, 0, UiTextOf(search_texts::kNone)});
    }
    return lines;
}
