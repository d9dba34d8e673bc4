// The port-map file: ports that tests and the simulator add or put in place
// of real ones. INI syntax, read with the project's INI store:
//
//   [COM5]
//   Path=/dev/pts/7
//   Type=USB            ; USB or COM
//   Name=Sim sensor     ; optional, default "<generic label> (COM5)"
//   TypeText=Simulated  ; optional, default as for real ports
#include "portenum.h"

#include "config.h"
#include "support/boundedfile.h"
#include "support/ini.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace koralink {

namespace {

bool SameLetters(const char *a, const char *b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::toupper(static_cast<unsigned char>(*a)) !=
            std::toupper(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

std::string Value(IniStore store, const char *section, const char *key) {
    const char *text = nullptr;
    if (GetTextView(store, section, key, &text) != 1 || text == nullptr) {
        return std::string();
    }
    return text;
}

std::vector<PortInfo> EntriesOf(IniStore store) {
    std::map<int, PortInfo> entries;
    int count = GetNumSections(store);
    for (int i = 0; i < count; ++i) {
        const char *sectionName = GetSectionName(store, i);
        int number = ParseComSectionName(sectionName);
        if (number == 0 || entries.count(number) != 0) {
            continue;
        }
        // GetTextView's result lives in the store's one result buffer:
        // take a copy of the section name before the next lookup.
        std::string section = sectionName;
        PortInfo port;
        port.comNumber = number;
        port.fromPortMap = true;
        port.devicePath = Value(store, section.c_str(), "Path");
        std::string type = Value(store, section.c_str(), "Type");
        if (SameLetters(type.c_str(), "USB")) {
            port.type = PORT_TYPE_USB;
        } else if (SameLetters(type.c_str(), "COM")) {
            port.type = PORT_TYPE_COM;
        } else {
            continue;
        }
        if (port.devicePath.empty()) {
            continue;
        }
        port.label = DefaultPortLabel(port.type);
        port.name = Value(store, section.c_str(), "Name");
        if (port.name.empty()) {
            port.name = MakePortName(port.label, number);
        } else {
            port.label = port.name;
        }
        port.typeText = Value(store, section.c_str(), "TypeText");
        if (port.typeText.empty()) {
            port.typeText = DefaultPortTypeText(port.type);
        }
        entries.emplace(number, std::move(port));
    }
    std::vector<PortInfo> result;
    for (auto &entry : entries) {
        result.push_back(std::move(entry.second));
    }
    return result;
}

} // namespace

std::vector<PortInfo> ParsePortMap(const char *data, size_t length) {
    std::vector<PortInfo> result;
    IniStore store = CreateIniStore(0);
    if (store == nullptr) {
        return result;
    }
    // A file that breaks off part-way still yields the sections read so far.
    ReadIniMemory(store, data, length);
    result = EntriesOf(store);
    DisposeIniStore(store);
    return result;
}

std::vector<PortInfo> ReadPortMapFile(const char *path, std::string *cause) {
    std::string content, why;
    if (ReadBoundedFile(path, kBoundedFileLargeLimit, &content, &why) != BOUNDED_FILE_OK) {
        if (cause != nullptr) {
            *cause = why;
        }
        return {};
    }
    return ParsePortMap(content.data(), content.size());
}

std::vector<PortInfo> ReadConfiguredPortMap() {
    std::string content;
    std::string path =
        SettingText(Setting::PortMap, [&content](const std::string &value, std::string *why) {
            return ReadBoundedFile(value.c_str(), kBoundedFileLargeLimit, &content, why) ==
                   BOUNDED_FILE_OK;
        });
    if (path.empty()) {
        return {};
    }
    // Every probe resolves its COM number here, so a search of many ports
    // parsed the same file thousands of times: the last parse is kept for as
    // long as the file's content stays the same.
    static std::mutex mutex;
    static std::string lastContent;
    static std::vector<PortInfo> lastPorts;
    std::lock_guard<std::mutex> lock(mutex);
    if (content != lastContent || lastPorts.empty()) {
        lastPorts = ParsePortMap(content.data(), content.size());
        lastContent = std::move(content);
    }
    return lastPorts;
}

std::vector<PortInfo> MergePortMap(std::vector<PortInfo> realPorts,
                                   const std::vector<PortInfo> &mapEntries) {
    std::map<int, PortInfo> byNumber;
    for (PortInfo &port : realPorts) {
        byNumber.emplace(port.comNumber, std::move(port));
    }
    for (const PortInfo &entry : mapEntries) {
        byNumber[entry.comNumber] = entry;
    }
    std::vector<PortInfo> result;
    for (auto &item : byNumber) {
        result.push_back(std::move(item.second));
    }
    return result;
}

} // namespace koralink
