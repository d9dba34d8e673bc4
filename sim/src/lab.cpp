#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/lab.h"

namespace corvinsim {

namespace {

bool SameWord(const std::string &a, const std::string &b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

struct StoreGuard {
    IniStore store;
    ~StoreGuard() { DisposeIniStore(store); }
};

// A UDP port that no socket on any address uses right now. Binding the
// wildcard address is what makes it free on every loopback address at once
// (nothing is sent).
int FreeUdpPort() {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

// LanTargets of the lab file: loopback entries only, since the child sends
// its discovery there. Entries without a port get the lab's own, which is
// the first explicit port or a free one.
bool LabTargets(const std::string &text, std::string *targets, int *port, std::string *error) {
    std::vector<std::pair<std::string, int>> entries;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string entry = text.substr(start, comma == std::string::npos ? comma : comma - start);
        start = comma == std::string::npos ? text.size() + 1 : comma + 1;
        while (!entry.empty() && std::isspace(static_cast<unsigned char>(entry.back())))
            entry.pop_back();
        entry.erase(0, entry.find_first_not_of(" \t"));
        size_t colon = entry.find(':');
        std::string host = entry.substr(0, colon);
        long entryPort = 0;
        if (colon != std::string::npos) {
            char *end = nullptr;
            std::string digits = entry.substr(colon + 1);
            entryPort = std::strtol(digits.c_str(), &end, 10);
            if (digits.empty() || *end || entryPort < 1 || entryPort > 65535) {
                *error = "lab: LanTargets entry \"" + entry + "\" has a bad port";
                return false;
            }
        }
        in_addr ip{};
        if (inet_pton(AF_INET, host.c_str(), &ip) != 1 || (ntohl(ip.s_addr) >> 24) != 127) {
            *error = "lab: LanTargets entry \"" + entry + "\" is not a loopback address 127.x.x.x";
            return false;
        }
        if (*port == 0 && entryPort != 0)
            *port = static_cast<int>(entryPort);
        entries.emplace_back(host, static_cast<int>(entryPort));
    }
    if (*port == 0 && (*port = FreeUdpPort()) == 0) {
        *error =
            std::string("lab: no free UDP port for converter discovery: ") + std::strerror(errno);
        return false;
    }
    targets->clear();
    for (const auto &[host, entryPort] : entries)
        *targets += (targets->empty() ? "" : ",") + host + ":" +
                    std::to_string(entryPort ? entryPort : *port);
    return true;
}

} // namespace

bool SectionView::Has(const char *key) const {
    return HasKey(store_, section_.c_str(), key) == 1;
}

std::string SectionView::Text(const char *key, const std::string &fallback) const {
    const char *text = nullptr;
    if (GetTextView(store_, section_.c_str(), key, &text) != 1 || !text)
        return fallback;
    return text;
}

bool SectionView::Int(const char *key, long long fallback, long long minValue, long long maxValue,
                      long long *out, std::string *error) const {
    if (!Has(key)) {
        *out = fallback;
        return true;
    }
    std::string text = Text(key);
    char *end = nullptr;
    errno = 0;
    long long value = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || errno || *end || value < minValue || value > maxValue) {
        *error = "[" + section_ + "] " + key + "=" + text + " is not a number in " +
                 std::to_string(minValue) + ".." + std::to_string(maxValue);
        return false;
    }
    *out = value;
    return true;
}

class LabBuilderImpl final : public LabBuilder {
  public:
    explicit LabBuilderImpl(Lab *lab) : lab_(lab) {}
    void AddPort(const PortEntry &port) override { lab_->ports_.push_back(port); }
    void SetEnv(const std::string &name, const std::string &value) override {
        for (auto &entry : lab_->env_) {
            if (entry.first == name) {
                entry.second = value;
                return;
            }
        }
        lab_->env_.emplace_back(name, value);
    }
    void AddEndpoint(const std::string &device, const std::string &host, int port) override {
        lab_->endpoints_[device] = {host, port};
    }
    int DiscoveryPort() const override { return lab_->discoveryPort_; }

    bool CheckPorts(std::string *error) const {
        std::set<int> numbers;
        for (const PortEntry &p : lab_->ports_) {
            if (!numbers.insert(p.comNumber).second) {
                *error = "lab: COM" + std::to_string(p.comNumber) + " is used twice";
                return false;
            }
        }
        return true;
    }

  private:
    Lab *lab_;
};

std::unique_ptr<Lab> Lab::Start(const std::string &labText, const std::string &portMapPath,
                                std::string *error) {
    StoreGuard ini{CreateIniStore(0)};
    if (!ini.store || ReadIniMemory(ini.store, labText.data(), labText.size()) != INI_OK) {
        *error = "lab: cannot parse the lab file";
        return nullptr;
    }
    std::unique_ptr<Lab> lab(new Lab);
    if (portMapPath.empty()) {
        char dir[] = "/tmp/corvin-sim.XXXXXX";
        if (!mkdtemp(dir)) {
            *error = std::string("lab: no temporary directory: ") + std::strerror(errno);
            return nullptr;
        }
        lab->tempDir_ = dir;
        lab->portMapPath_ = lab->tempDir_ + "/portmap.ini";
    } else {
        lab->portMapPath_ = portMapPath;
    }

    LabBuilderImpl builder(lab.get());
    builder.SetEnv("KORALINK_PORTMAP", lab->portMapPath_);
    builder.SetEnv("KORALINK_PORTMAP_ONLY", "1");
    // Timeouts the lab's sensors are tuned for, unless the caller chose its
    // own; the lab file may override them. The probe's wait is the library's
    // own: the lab's sensors answer within the protocol's bound.
    static const char *const timeouts[][2] = {{"KORALINK_ANSWER_TIMEOUT_MS", "1000"},
                                              {"KORALINK_TCP_CONNECT_TIMEOUT_MS", "500"}};
    for (const auto &t : timeouts)
        builder.SetEnv(t[0], std::getenv(t[0]) ? std::getenv(t[0]) : t[1]);

    // The [lab] section first: converters need the discovery port, wherever
    // the section stands in the file.
    std::string lanTargets = "127.255.255.255";
    int sections = GetNumSections(ini.store);
    for (int i = 0; i < sections; ++i) {
        const char *nameText = GetSectionName(ini.store, i);
        std::string name = nameText ? nameText : "";
        if (!SameWord(name, "lab"))
            continue;
        SectionView section(ini.store, name);
        int items = GetNumItems(ini.store, name.c_str());
        for (int k = 0; k < items; ++k) {
            const char *key = GetItemKey(ini.store, name.c_str(), k);
            std::string keyText = key ? key : "";
            if (SameWord(keyText, "LanTargets") || keyText == "KORALINK_LAN_TARGETS")
                lanTargets = section.Text(key);
            else if (keyText.rfind("KORALINK_", 0) == 0)
                builder.SetEnv(keyText, section.Text(key));
        }
    }
    std::string targets;
    if (!LabTargets(lanTargets, &targets, &lab->discoveryPort_, error))
        return nullptr;
    builder.SetEnv("KORALINK_LAN_TARGETS", targets);

    for (int i = 0; i < sections; ++i) {
        const char *nameText = GetSectionName(ini.store, i);
        std::string name = nameText ? nameText : "";
        SectionView section(ini.store, name);
        if (SameWord(name, "lab"))
            continue;
        std::string kind = section.Text("Kind");
        DeviceFactory factory = nullptr;
        for (const DeviceKind &k : DeviceKinds())
            if (SameWord(kind, k.kind))
                factory = k.factory;
        if (!factory) {
            *error = "lab: [" + name + "] has unknown Kind=" + kind;
            return nullptr;
        }
        std::unique_ptr<Device> device = factory(section, builder, error);
        if (!device) {
            if (error->empty())
                *error = "lab: [" + name + "] could not be built";
            return nullptr;
        }
        lab->devices_.push_back(std::move(device));
    }
    if (!builder.CheckPorts(error))
        return nullptr;
    bool scheduled = false;
    for (const PortEntry &p : lab->ports_) {
        if (p.plugMs >= 0 && (p.unplugMs < 0 || p.plugMs <= p.unplugMs))
            lab->absent_.insert(p.comNumber);
        scheduled = scheduled || p.plugMs >= 0 || p.unplugMs >= 0;
    }
    {
        std::lock_guard<std::mutex> lock(lab->portsMutex_);
        if (!lab->WritePortMapLocked(error))
            return nullptr;
    }
    lab->wrotePortMap_ = true;
    if (scheduled) {
        Lab *self = lab.get();
        lab->schedule_ = std::thread([self] { self->RunSchedule(); });
    }
    return lab;
}

// Port map: the same INI store the library reads it with, written to a
// temporary file and renamed over the old one, so that a listing never
// reads half a file.
bool Lab::WritePortMapLocked(std::string *error) {
    StoreGuard map{CreateIniStore(0)};
    for (const PortEntry &p : ports_) {
        if (absent_.count(p.comNumber) != 0)
            continue;
        std::string section = "COM" + std::to_string(p.comNumber);
        PutText(map.store, section.c_str(), "Path", p.path.c_str());
        PutText(map.store, section.c_str(), "Type", p.type.c_str());
        PutText(map.store, section.c_str(), "Name", p.name.c_str());
        PutText(map.store, section.c_str(), "TypeText", p.typeText.c_str());
    }
    int r = WriteIniFile(map.store, portMapPath_.c_str());
    if (r != INI_OK) {
        *error = "lab: cannot write the port map " + portMapPath_ + " (" + std::to_string(r) + ")";
        return false;
    }
    return true;
}

bool Lab::SetPortPresent(int comNumber, bool present, std::string *error) {
    std::lock_guard<std::mutex> lock(portsMutex_);
    if (DevicePath(comNumber).empty()) {
        *error = "lab: no port COM" + std::to_string(comNumber);
        return false;
    }
    bool wasPresent = absent_.count(comNumber) == 0;
    if (wasPresent == present)
        return true;
    if (present)
        absent_.erase(comNumber);
    else
        absent_.insert(comNumber);
    if (WritePortMapLocked(error))
        return true;
    if (present)
        absent_.insert(comNumber);
    else
        absent_.erase(comNumber);
    return false;
}

bool Lab::PortPresent(int comNumber) const {
    std::lock_guard<std::mutex> lock(portsMutex_);
    return !DevicePath(comNumber).empty() && absent_.count(comNumber) == 0;
}

// Plug= and Unplug= of the lab file, in the order of their times.
void Lab::RunSchedule() {
    struct Step {
        int atMs;
        int comNumber;
        bool present;
    };
    std::vector<Step> steps;
    for (const PortEntry &p : ports_) {
        if (p.plugMs >= 0)
            steps.push_back({p.plugMs, p.comNumber, true});
        if (p.unplugMs >= 0)
            steps.push_back({p.unplugMs, p.comNumber, false});
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const Step &a, const Step &b) { return a.atMs < b.atMs; });
    auto start = std::chrono::steady_clock::now();
    for (const Step &step : steps) {
        {
            std::unique_lock<std::mutex> lock(scheduleMutex_);
            if (scheduleWake_.wait_until(lock, start + std::chrono::milliseconds(step.atMs),
                                         [this] { return stopSchedule_; }))
                return;
        }
        std::string error;
        if (!SetPortPresent(step.comNumber, step.present, &error))
            std::fprintf(stderr, "corvin-sim: %s\n", error.c_str());
    }
}

Lab::~Lab() {
    if (schedule_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(scheduleMutex_);
            stopSchedule_ = true;
        }
        scheduleWake_.notify_all();
        schedule_.join();
    }
    devices_.clear();
    if (wrotePortMap_)
        unlink(portMapPath_.c_str());
    if (!tempDir_.empty())
        rmdir(tempDir_.c_str());
}

void Lab::ApplyEnvironment() const {
    for (const auto &[name, value] : env_)
        setenv(name.c_str(), value.c_str(), 1);
}

std::string Lab::DevicePath(int comNumber) const {
    for (const PortEntry &p : ports_)
        if (p.comNumber == comNumber)
            return p.path;
    return "";
}

int Lab::TcpPort(const std::string &device) const {
    auto it = endpoints_.find(device);
    return it == endpoints_.end() ? 0 : it->second.second;
}

std::string Lab::TcpHost(const std::string &device) const {
    auto it = endpoints_.find(device);
    return it == endpoints_.end() ? "" : it->second.first;
}

} // namespace corvinsim
