// The history's place in the settings file, and its ring texts.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "connection_settings.h"
#include "koralink.h"
#include "support/textutil.h"

namespace {

constexpr const char *kSection = "Connect History";
constexpr const char *kCountKey = "Number of entries";

std::string Key(int n, const char *field) {
    char key[128];
    std::snprintf(key, sizeof key, "Entry #%d: %s", n, field);
    return key;
}

// Values are read through a 512-byte text, so at most 511 characters.
bool ReadText(IniStore store, const std::string &key, char *field, size_t fieldSize) {
    char value[512];
    if (GetText(store, kSection, key.c_str(), value, sizeof value) != 1)
        return false;
    CopyText(field, fieldSize, value);
    return true;
}

enum class Field { Read, Missing, OutOfRange };

// A number for a 16-bit field: a value that does not fit is refused rather
// than cut, which would turn COM70000 into COM4464.
Field ReadU16(IniStore store, const std::string &key, uint16_t *field) {
    int32_t value = 0;
    if (GetInteger(store, kSection, key.c_str(), &value) != 1)
        return Field::Missing;
    if (value < 0 || value > 0xFFFF)
        return Field::OutOfRange;
    *field = static_cast<uint16_t>(value);
    return Field::Read;
}

// The entry numbers N that have an "Entry #N: Type" key, ascending. The
// count in the file need not be honest: walking 1..count would take ages for
// a count of two billion.
std::vector<int> TypedEntries(IniStore store, int count) {
    std::vector<int> numbers;
    int items = GetNumItems(store, kSection);
    for (int k = 0; k < items; ++k) {
        const char *key = GetItemKey(store, kSection, k);
        const char *hash = key ? std::strchr(key, '#') : nullptr;
        long n = hash ? std::strtol(hash + 1, nullptr, 10) : 0;
        if (n >= 1 && n <= count &&
            HasKey(store, kSection, Key(static_cast<int>(n), "Type").c_str()) == 1)
            numbers.push_back(static_cast<int>(n));
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

} // namespace

std::string HistoryItemText(const ConnectionSettings &s) {
    char text[512];
    if (IsSerialMode(s.mode)) {
        int rate = KoralinkBaudRate(s.baudCode);
        std::string rateText = rate > 0 ? std::to_string(rate) : "?";
        std::snprintf(text, sizeof text, "COM%d:%sbaud [%s]", s.comNumber, rateText.c_str(),
                      s.label);
    } else if (s.mode == TRANSFER_TCPIP) {
        std::snprintf(text, sizeof text, "%s:%d [%s]", s.server, s.remotePort, s.label);
    } else {
        return std::string();
    }
    return text;
}

int ReadConnectionHistory(IniStore store, ListType history) {
    ListClear(history);
    int32_t count = 0;
    if (GetInteger(store, kSection, kCountKey, &count) != 1)
        return -1;
    for (int n : TypedEntries(store, count)) {
        ConnectionSettings s;
        std::memset(&s, 0, sizeof s);
        Field fields[2] = {Field::Read, Field::Read};
        bool read = GetInteger(store, kSection, Key(n, "Type").c_str(), &s.mode) == 1 &&
                    ReadText(store, Key(n, "ID"), s.label, sizeof s.label);
        if (read && IsSerialMode(s.mode)) {
            fields[0] = ReadU16(store, Key(n, "Port number"), &s.comNumber);
            fields[1] = ReadU16(store, Key(n, "Baudrate"), &s.baudCode);
        } else if (read && s.mode == TRANSFER_TCPIP) {
            read = ReadText(store, Key(n, "Remote server"), s.server, sizeof s.server);
            fields[0] = ReadU16(store, Key(n, "Remote port number"), &s.remotePort);
        }
        if (!read || fields[0] == Field::Missing || fields[1] == Field::Missing)
            return -1;
        if (fields[0] == Field::OutOfRange || fields[1] == Field::OutOfRange)
            continue;
        if (ListInsertItem(history, &s, LIST_END) != 0)
            return -1;
    }
    return 0;
}

void WriteConnectionHistory(IniStore store, ListType history) {
    if (HasSection(store, kSection))
        RemoveSection(store, kSection);
    int count = history ? ListNumItems(history) : 0;
    PutInteger(store, kSection, kCountKey, count);
    for (int n = 1; n <= count; ++n) {
        const auto *s = static_cast<const ConnectionSettings *>(ListItemPtr(history, n));
        PutInteger(store, kSection, Key(n, "Type").c_str(), s->mode);
        PutText(store, kSection, Key(n, "ID").c_str(), s->label);
        if (IsSerialMode(s->mode)) {
            PutInteger(store, kSection, Key(n, "Port number").c_str(), s->comNumber);
            PutInteger(store, kSection, Key(n, "Baudrate").c_str(), s->baudCode);
        } else if (s->mode == TRANSFER_TCPIP) {
            PutText(store, kSection, Key(n, "Remote server").c_str(), s->server);
            PutInteger(store, kSection, Key(n, "Remote port number").c_str(), s->remotePort);
        }
    }
}
