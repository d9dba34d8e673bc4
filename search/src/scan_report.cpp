#include "search/scan_report.h"

#include "search/text_format.h"
#include "support/textcodec.h"

#include <cstdio>
#include <cstring>

namespace {

// Length of the valid UTF-8 sequence starting at p (at most n bytes), 0 when
// the bytes there are not one.
size_t Utf8SequenceLength(const unsigned char *p, size_t n) {
    unsigned char c = p[0];
    size_t length;
    unsigned int min;
    if (c >= 0xC2 && c <= 0xDF)
        length = 2, min = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
        length = 3, min = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
        length = 4, min = 0x10000;
    else
        return 0;
    if (n < length)
        return 0;
    unsigned int cp = c & (0x3F >> (length - 1));
    for (size_t k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

std::string FieldText(const char *text, size_t size) {
    return std::string(text, strnlen(text, size));
}

void AppendKey(std::string &out, const char *key) {
    out += '"';
    out += key;
    out += "\":";
}

} // namespace

std::string JsonString(const std::string &text) {
    std::string out = "\"";
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    size_t n = text.size();
    for (size_t k = 0; k < n;) {
        unsigned char c = bytes[k];
        char escape[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c >= 0x80) {
            size_t length = Utf8SequenceLength(bytes + k, n - k);
            if (length == 0) {
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out.append(text, k, length);
                k += length;
                continue;
            }
        } else {
            out += static_cast<char>(c);
        }
        ++k;
    }
    out += '"';
    return out;
}

std::string ScanReportText(ListType entries, const TreeGroups &groups) {
    std::string out;
    for (const TreeLine &line : BuildTreeLines(entries, groups)) {
        out.append(static_cast<size_t>(2 * (line.level - 1)), ' ');
        out += line.text;
        out += '\n';
    }
    return out;
}

std::string ScanReportJson(ListType entries, const TreeGroups &groups) {
    std::string out = "{\"groups\":[";
    bool firstGroup = true, firstConnection = true;
    for (const TreeLine &line : BuildTreeLines(entries, groups)) {
        if (line.level == 1) {
            if (!firstGroup)
                out += "]},";
            firstGroup = false;
            firstConnection = true;
            out += "{";
            AppendKey(out, "label");
            out += JsonString(line.text) + ",";
            AppendKey(out, "connections");
            out += "[";
            continue;
        }
        if (line.level != 2 || line.entryPosition == 0)
            continue; // "NONE" is an empty list; description lines come with their entry
        const auto *entry =
            static_cast<const ConnectionEntry *>(ListItemPtr(entries, line.entryPosition));
        if (!entry)
            continue;
        const ConnectionRecord &r = entry->record;
        if (!firstConnection)
            out += ",";
        firstConnection = false;
        bool identified = entry->identified == 1 && entry->answered == 1;
        out += "{";
        AppendKey(out, "name");
        out += JsonString(FieldText(r.name, sizeof r.name)) + ",";
        AppendKey(out, "type");
        out += std::to_string(r.type) + ",";
        AppendKey(out, "typeText");
        out += JsonString(FieldText(r.typeText, sizeof r.typeText)) + ",";
        if (r.type == KORALINK_TYPE_LAN) {
            AppendKey(out, "address");
            out += JsonString(Ipv4Text(r.localIp)) + ",";
            AppendKey(out, "port");
            out += std::to_string(r.localPort) + ",";
        } else {
            AppendKey(out, "comNumber");
            out += std::to_string(r.comNumber) + ",";
        }
        AppendKey(out, "identified");
        out += identified ? "true," : "false,";
        if (identified) {
            AppendKey(out, "serial");
            out += JsonString(FieldText(entry->serialText, sizeof entry->serialText)) + ",";
            AppendKey(out, "sensorType");
            // The data itself, not the escaped display line.
            out += JsonString(
                       DecodeWindows1252(FieldText(entry->sensorType, sizeof entry->sensorType))) +
                   ",";
            if (r.type != KORALINK_TYPE_LAN) {
                AppendKey(out, "baudRate");
                out += std::to_string(entry->baudRate) + ",";
            }
        }
        AppendKey(out, "lines");
        out += "[";
        bool firstLine = true;
        for (const std::string &text : DescribeConnection(*entry)) {
            if (!firstLine)
                out += ",";
            firstLine = false;
            out += JsonString(text);
        }
        out += "]}";
    }
    if (!firstGroup)
        out += "]}";
    out += "]}\n";
    return out;
}
