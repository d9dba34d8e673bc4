#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "corvinsim/lab.h"

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

    // Port map: the same INI store the library reads it with.
    bool WritePortMap(std::string *error) {
        StoreGuard map{CreateIniStore(0)};
        for (const PortEntry &p : lab_->ports_) {
            std::string section = "COM" + std::to_string(p.comNumber);
            if (HasSection(map.store, section.c_str()) == 1) {
                *error = "lab: COM" + std::to_string(p.comNumber) + " is used twice";
                return false;
            }
            PutText(map.store, section.c_str(), "Path", p.path.c_str());
            PutText(map.store, section.c_str(), "Type", p.type.c_str());
            PutText(map.store, section.c_str(), "Name", p.name.c_str());
            PutText(map.store, section.c_str(), "TypeText", p.typeText.c_str());
        }
        int r = WriteIniFile(map.store, lab_->portMapPath_.c_str());
        if (r != INI_OK) {
            *error = "lab: cannot write the port map " + lab_->portMapPath_ + " (" +
                     std::to_string(r) + ")";
            return false;
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
    builder.SetEnv("KORALINK_LAN_TARGETS", "127.255.255.255");
    // Probe timeouts the lab's sensors are tuned for, unless the caller chose
    // its own; the lab file may override both.
    static const char *const timeouts[][2] = {{"KORALINK_PROBE_TIMEOUT_MS", "150"},
                                              {"KORALINK_ANSWER_TIMEOUT_MS", "1000"},
                                              {"KORALINK_TCP_CONNECT_TIMEOUT_MS", "500"}};
    for (const auto &t : timeouts)
        builder.SetEnv(t[0], std::getenv(t[0]) ? std::getenv(t[0]) : t[1]);

    int sections = GetNumSections(ini.store);
    for (int i = 0; i < sections; ++i) {
        const char *nameText = GetSectionName(ini.store, i);
        std::string name = nameText ? nameText : "";
        SectionView section(ini.store, name);
        if (SameWord(name, "lab")) {
            int items = GetNumItems(ini.store, name.c_str());
            for (int k = 0; k < items; ++k) {
                const char *key = GetItemKey(ini.store, name.c_str(), k);
                std::string keyText = key ? key : "";
                if (SameWord(keyText, "LanTargets"))
                    builder.SetEnv("KORALINK_LAN_TARGETS", section.Text(key));
                else if (keyText.rfind("KORALINK_", 0) == 0)
                    builder.SetEnv(keyText, section.Text(key));
            }
            continue;
        }
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
    if (!builder.WritePortMap(error))
        return nullptr;
    lab->wrotePortMap_ = true;
    return lab;
}

Lab::~Lab() {
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
