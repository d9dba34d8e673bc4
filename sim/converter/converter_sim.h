// Simulated Ethernet-to-serial converter modules speaking the UDP text
// configuration protocol, for tests, benchmarks and the demo lab.
//
// ConverterModule is the protocol state machine of one module, fed from
// memory. ConverterFleet runs many modules behind one UDP port on loopback:
// every datagram goes to every module, each answers with its own datagram,
// and each module in TCP server (or mixed) mode serves its data port on its
// own loopback address, bridged to a simulated sensor.
//
// Loopback only: the fleet binds 127.x addresses, ignores requests from
// anywhere else and never sends to 255.255.255.255.
#ifndef CORVIN_SIM_CONVERTER_H
#define CORVIN_SIM_CONVERTER_H

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame.h"

namespace corvinsim {

using ConverterMac = std::array<uint8_t, 6>;
// Every read/write setting as the module would print it (LI "192.168.11.2").
using ConverterFields = std::map<std::string, std::string>;

// Factory values of a module (what FR restores).
ConverterFields ConverterFactoryFields();

// Faults on demand.
struct ConverterFaults {
    bool silent = false;         // answers nothing
    int replyDelayMs = 0;        // answers late
    int duplicates = 0;          // sends each answer this many extra times
    bool malformed = false;      // answers with a broken MC line
    bool ignoreWrites = false;   // takes writes without error but keeps the old values
    bool broadcastWrites = true; // writes addressed to FF x 6 are applied (firmware quirk)
};

// Sensor on the module's serial side, reached through its TCP data port.
struct SimSensor {
    bool present = true;
    uint32_t serial = 10001;
    std::string version = "SIM-SENSOR 1.0";
    int baud = 0; // answers only while the module's serial rate is this; 0 = any
};

// Bytes a sensor sends back for one request frame while the module's serial
// side runs at serialRate baud; empty = it keeps quiet. Lets the lab put its
// own sensor model behind a converter.
using SensorBridge =
    std::function<std::vector<uint8_t>(const koralink::Frame &request, int serialRate)>;

struct ConverterConfig {
    ConverterMac mac{0x00, 0x08, 0xDC, 0x00, 0x00, 0x01};
    std::string model = "WIZ750SR";
    std::string version = "1.4.5";
    ConverterFields fields; // overrides of the factory values (running = saved)
    int bootMs = 300;       // silent time after RT / FR
    ConverterFaults faults;
    SimSensor sensor;
    SensorBridge bridge; // replaces sensor when set
};

class ConverterModule {
  public:
    explicit ConverterModule(ConverterConfig config);

    struct Outcome {
        std::vector<uint8_t> reply; // empty = silence
        bool reboot = false;        // RT or FR accepted: goes silent for bootMs
    };
    // Handles one request frame as the module's firmware would.
    Outcome Handle(const uint8_t *data, size_t length);
    // End of the silent boot time: running <- saved.
    void FinishBoot();

    const ConverterConfig &config() const { return config_; }
    ConverterConfig &config() { return config_; }
    const ConverterFields &running() const { return running_; }
    const ConverterFields &saved() const { return saved_; }
    std::string Running(const std::string &code) const;
    std::string Saved(const std::string &code) const;
    int reboots() const { return reboots_; }
    int requests() const { return requests_; }
    int writesSeen() const { return writesSeen_; }
    // Frames the real firmware could not have handled (over its 512-byte
    // buffer) and commands that would have wiped it (K!, FR with LP 1).
    int oversized() const { return oversized_; }
    int destructive() const { return destructive_; }

  private:
    bool Write(const std::string &code, const std::string &value, bool *applied);
    std::string Read(const std::string &code) const;

    ConverterConfig config_;
    ConverterFields running_, saved_;
    std::string status_ = "OPEN";
    int reboots_ = 0, requests_ = 0, writesSeen_ = 0, oversized_ = 0, destructive_ = 0;
};

class ConverterFleet {
  public:
    struct Options {
        std::string bindIp = "127.0.0.1"; // unicast address of the protocol port
        uint16_t port = 0;                // 0 = ephemeral
        // Broadcast address also listened on (same port); empty = none.
        std::string broadcastIp = "127.255.255.255";
        // Replies go to the request's source; "faithful" sends them to
        // replyBroadcastIp at the source port instead, as real modules do.
        bool faithful = false;
        std::string replyBroadcastIp = "127.255.255.255";
    };

    explicit ConverterFleet(Options options);
    ConverterFleet() : ConverterFleet(Options{}) {}
    ~ConverterFleet();
    ConverterFleet(const ConverterFleet &) = delete;
    ConverterFleet &operator=(const ConverterFleet &) = delete;

    // Before Start.
    size_t Add(ConverterConfig config);
    bool Start(std::string *why);
    void Stop();
    uint16_t port() const { return port_; }
    size_t size() const { return modules_.size(); }

    // Runs fn on module i under the fleet's lock (faults, fields, counters).
    void With(size_t i, const std::function<void(ConverterModule &)> &fn);
    std::string Running(size_t i, const std::string &code);
    std::string Saved(size_t i, const std::string &code);
    int Reboots(size_t i);
    bool Booting(size_t i);
    // Datagrams received on the protocol port, from any sender.
    int datagrams() const { return datagrams_; }

  private:
    struct Impl;
    void Loop();

    Options options_;
    std::vector<std::unique_ptr<ConverterModule>> modules_;
    std::unique_ptr<Impl> impl_;
    std::mutex mutex_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> datagrams_{0};
    uint16_t port_ = 0;
};

} // namespace corvinsim

#endif
