// The port walk: open the set of present "Ports" devices, read each
// device's friendly name, keep those that contain the fragment and name a
// port COM1..COM255.
#include "setupapi_seam.h"

#include <cstdlib>
#include <cstring>

namespace portquest {

namespace {

// A name that keeps growing between the size query and the read would keep
// the walk busy for ever; after this many reads the device is passed over.
constexpr int kMaxNameReads = 16;
// Digits beyond this add nothing: the number is out of range either way,
// and stopping here keeps the arithmetic from overflowing.
constexpr long kNumberCap = 100000;

bool IsScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads SPDRP_FRIENDLYNAME into a heap buffer the caller frees. The buffer
// is one byte longer than the property and zero-filled, so the name is
// terminated even when the stored data is not.
NameRead ReadFriendlyName(SetupApi &api, DevSet set, DevInfoRecord *record, char **name) {
    *name = nullptr;
    uint32_t required = 0;
    if (api.GetDeviceRegistryProperty(set, record, kSpdrpFriendlyName, nullptr, nullptr, 0,
                                      &required)) {
        if (required == 0) {
            return NameRead::Skip;
        }
    } else if (api.LastError() != kErrorInsufficientBuffer) {
        return NameRead::Fail;
    }
    for (int attempt = 0; attempt < kMaxNameReads; ++attempt) {
        if (required == 0) {
            return NameRead::Skip;
        }
        char *buffer = static_cast<char *>(std::calloc(static_cast<size_t>(required) + 1, 1));
        if (buffer == nullptr) {
            return NameRead::Skip;
        }
        uint32_t size = required;
        if (api.GetDeviceRegistryProperty(set, record, kSpdrpFriendlyName, nullptr,
                                          reinterpret_cast<unsigned char *>(buffer), size,
                                          &required)) {
            *name = buffer;
            return NameRead::Ok;
        }
        std::free(buffer);
        if (api.LastError() != kErrorInsufficientBuffer) {
            return NameRead::Fail;
        }
    }
    return NameRead::Skip;
}

} // namespace

int PortNumberOfName(const char *friendlyName) {
    const char *com = std::strstr(friendlyName, "COM");
    if (com == nullptr) {
        return 0;
    }
    const char *p = com + 3;
    while (IsScanSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9') {
        return 0;
    }
    long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value < kNumberCap) {
            value = value * 10 + (*p - '0');
        }
    }
    if (negative || value < 1 || value > 255) {
        return 0;
    }
    return static_cast<int>(value);
}

void WalkPorts(SetupApi &api, PortVisitor visit, void *context) {
    uint32_t guidCount = 0;
    api.ClassGuidsFromName("Ports", nullptr, 0, &guidCount);
    if (guidCount == 0) {
        return;
    }
    Guid *guids = static_cast<Guid *>(std::calloc(guidCount, sizeof(Guid)));
    if (guids == nullptr) {
        return;
    }
    uint32_t listed = 0;
    if (!api.ClassGuidsFromName("Ports", guids, guidCount, &listed)) {
        std::free(guids);
        return;
    }
    DevSet set = api.GetClassDevs(&guids[0], kDigcfPresent);
    std::free(guids);
    if (set == kInvalidDevSet) {
        return;
    }

    DevInfoRecord record;
    std::memset(&record, 0, sizeof record);
    record.cbSize = sizeof record;
    for (uint32_t index = 0; api.EnumDeviceInfo(set, index, &record); ++index) {
        char *name = nullptr;
        NameRead read = ReadFriendlyName(api, set, &record, &name);
        bool more = visit(context, set, &record, read, name);
        std::free(name);
        if (!more) {
            break;
        }
    }
    api.DestroyDeviceInfoList(set);
}

namespace {

struct Quest {
    const char *fragment;
    int *portNumbers;
    int maxPorts;
    bool listMode;
    int stored = 0;
    int first = 0;
    bool failed = false;
};

bool VisitForQuest(void *context, DevSet, DevInfoRecord *, NameRead read, const char *name) {
    Quest &q = *static_cast<Quest *>(context);
    if (read == NameRead::Fail) {
        q.failed = true;
        return false;
    }
    if (read == NameRead::Skip) {
        return true;
    }
    int number = std::strstr(name, q.fragment) != nullptr ? PortNumberOfName(name) : 0;
    if (number == 0) {
        return true;
    }
    if (!q.listMode) {
        q.first = number;
        return false;
    }
    if (q.stored < q.maxPorts) {
        q.portNumbers[q.stored++] = number;
    }
    return true;
}

} // namespace

int QuestPorts(SetupApi &api, const char *nameFragment, int *portNumbers, int maxPorts) {
    if (nameFragment == nullptr) {
        return 0;
    }
    Quest q{nameFragment, portNumbers, maxPorts, portNumbers != nullptr && maxPorts >= 1};
    WalkPorts(api, VisitForQuest, &q);
    if (q.failed) {
        return 0;
    }
    return q.listMode ? q.stored : q.first;
}

} // namespace portquest
