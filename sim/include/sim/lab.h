// Simulated lab: sensors on pseudo-terminals and on loopback TCP, described
// by a lab file (INI), for tests, benchmarks and the demo. Nothing here ever
// touches a real serial port or a non-loopback address.
//
// Lab file: one section per device, its kind chosen by the Kind= key.
//
//   [lab]                       optional; settings of the lab itself
//   LanTargets=127.255.255.255  value of KORALINK_LAN_TARGETS for the child:
//                               loopback addresses only, host[:port] comma-
//                               separated. An entry without a port gets the
//                               lab's discovery port: its first explicit port,
//                               else a UDP port free when the lab starts, so
//                               that labs running at the same time (the demo
//                               and the tests) never hear each other's
//                               converters. The lab's converters serve that port.
//   KORALINK_...=value          any KORALINK_ variable, passed to the child
//
//   [sensor usb1]
//   Kind=USB                    USB | COM (pseudo-terminal) or TCP (loopback)
//   Com=34                      COM number in the port map (USB, COM)
//   Name=FT232R USB UART (COM34)   port-map name (optional)
//   TypeText=USB serial adapter    port-map type text (optional)
//   Serial=12345  Version=...  Baud=19200   (Serial 0..2147483647: the
//                               record carries it as a signed 32-bit number)
//   Fault=none|silent|noise|slow|vanish|no-version|serial-zero|empty-version|long-version|bad-crc
//         |at-bound|babble      at-bound: every answer starts exactly at the protocol's
//                               bound (the request's wire time at the rate + 50 ms);
//                               babble: after a request, frame starts promising more
//                               bytes than come, every 5 ms for 5 s
//   Delay=400                   answer delay in ms for Fault=slow
//   Latency=30                  ms added to every answer on its way to the program
//                               (a USB adapter's latency timer)
//   WrongRate=silent|noise      what the sensor sends when spoken to at another rate
//   Host=127.0.0.2  Port=0      TCP sensors: loopback address, port (0: any free port)
//   Plug=2000  Unplug=5000      USB and COM: the port enters the port map this many
//                               ms after the lab started (absent until then) and
//                               leaves it again at Unplug (Unplug before Plug:
//                               pulled out, then plugged in again). The sensor on
//                               the pseudo-terminal keeps running throughout, as a
//                               sensor on a pulled adapter would.
//
//   [sensor vm-uart]
//   Kind=Pty                    a sensor on a pseudo-terminal for another program
//   Export=VM_UART_PTY          (a virtual machine's serial port, say): not in the
//                               port map; the child gets the slave's path in the
//                               variable Export names. Sensor keys as above.
//
// Adding a kind of device (e.g. a converter module): write a DeviceFactory
// and add it to the table in sim/src/kinds.cpp; the factory reads its
// section through SectionView and announces ports, variables and endpoints
// through LabBuilder. A Device stops everything it started in its destructor.
#ifndef CORVINSIM_LAB_H
#define CORVINSIM_LAB_H

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "frame.h"
#include "support/ini.h"

namespace corvinsim {

class SectionView {
  public:
    SectionView(IniStore store, std::string section)
        : store_(store), section_(std::move(section)) {}
    const std::string &name() const { return section_; }
    bool Has(const char *key) const;
    std::string Text(const char *key, const std::string &fallback = "") const;
    // False (and *error) when the key is present but not an integer in range.
    bool Int(const char *key, long long fallback, long long minValue, long long maxValue,
             long long *out, std::string *error) const;

  private:
    IniStore store_;
    std::string section_;
};

struct PortEntry {
    int comNumber = 0;
    std::string path;
    std::string type; // "USB" or "COM"
    std::string name;
    std::string typeText;
    // Times after the lab's start at which the port enters and leaves the
    // port map; -1: at the start, never.
    int plugMs = -1;
    int unplugMs = -1;
};

class Device {
  public:
    virtual ~Device() = default;
};

class LabBuilder {
  public:
    virtual ~LabBuilder() = default;
    virtual void AddPort(const PortEntry &port) = 0;
    virtual void SetEnv(const std::string &name, const std::string &value) = 0;
    // A loopback endpoint a device listens on (for tests and the log).
    virtual void AddEndpoint(const std::string &device, const std::string &host, int port) = 0;
    // The UDP port the lab's converter discovery goes to (see [lab] LanTargets).
    virtual int DiscoveryPort() const = 0;
};

using DeviceFactory = std::unique_ptr<Device> (*)(const SectionView &section, LabBuilder &lab,
                                                  std::string *error);

// The kinds of device a lab file may name (kinds.cpp).
struct DeviceKind {
    const char *kind; // value of Kind=, compared without regard to case
    DeviceFactory factory;
};
const std::vector<DeviceKind> &DeviceKinds();

class Lab {
  public:
    // Builds the lab described by labText. portMapPath empty: a file in a
    // private temporary directory. Returns null and *error on failure.
    static std::unique_ptr<Lab> Start(const std::string &labText, const std::string &portMapPath,
                                      std::string *error);
    ~Lab(); // stops every device, removes the port map and temporary files

    const std::string &PortMapPath() const { return portMapPath_; }
    // Variables a program run inside the lab needs (port map, port map only,
    // converter targets, timeouts).
    const std::vector<std::pair<std::string, std::string>> &Environment() const { return env_; }
    // setenv() of Environment() in this process, for in-process tests.
    void ApplyEnvironment() const;
    // Every port the lab file names, present in the port map or not.
    const std::vector<PortEntry> &Ports() const { return ports_; }
    // Plugs a port in (present) or pulls it out: rewrites the port map
    // (atomically) with or without it. False and *error for a COM number the
    // lab does not have or a port map that cannot be written.
    bool SetPortPresent(int comNumber, bool present, std::string *error);
    bool PortPresent(int comNumber) const;
    // Device path of a COM number; empty when the lab has no such port.
    std::string DevicePath(int comNumber) const;
    // TCP endpoint of a device by section name ("sensor tcp1"); port 0 when unknown.
    int TcpPort(const std::string &device) const;
    std::string TcpHost(const std::string &device) const;
    // Every TCP endpoint: device section name -> (host, port).
    const std::map<std::string, std::pair<std::string, int>> &Endpoints() const {
        return endpoints_;
    }
    // The lab's converter discovery port.
    int DiscoveryPort() const { return discoveryPort_; }

  private:
    Lab() = default;
    friend class LabBuilderImpl;
    bool WritePortMapLocked(std::string *error);
    void RunSchedule();

    std::vector<std::unique_ptr<Device>> devices_;
    std::vector<PortEntry> ports_;
    std::vector<std::pair<std::string, std::string>> env_;
    std::map<std::string, std::pair<std::string, int>> endpoints_;
    std::string portMapPath_;
    bool wrotePortMap_ = false;
    std::string tempDir_;
    int discoveryPort_ = 0;

    mutable std::mutex portsMutex_;
    std::set<int> absent_; // COM numbers left out of the port map
    std::mutex scheduleMutex_;
    std::condition_variable scheduleWake_;
    bool stopSchedule_ = false;
    std::thread schedule_;
};

// ---- sensor behaviour, shared by every device that plays a sensor ----

enum class Fault {
    None,
    Silent,       // never answers
    Noise,        // answers every request with noise
    Slow,         // answers after delayMs
    Vanish,       // the port disappears at the first request
    NoVersion,    // answers LINE OK, keeps quiet on the version request
    SerialZero,   // LINE OK carries serial number 0
    EmptyVersion, // version answer without text
    LongVersion,  // version text longer than 71 characters
    BadCrc,       // answers with a corrupted CRC
    AtBound,      // answers at the protocol's reaction bound
    Babble,       // answers with a long stream of frame starts that never complete
};

bool ParseFault(const std::string &text, Fault *fault);

struct SensorConfig {
    uint32_t serial = 1;
    std::string version = "Sim sensor 1.0";
    int baudCode = 4;
    Fault fault = Fault::None;
    int delayMs = 400;
    int latencyMs = 0;
    bool noiseAtWrongRate = false;
};

// Reads the sensor keys of a section (Serial, Version, Baud, Fault, Delay, Latency,
// WrongRate).
bool ReadSensorConfig(const SectionView &section, SensorConfig *config, std::string *error);

// Baud code of a rate (9600 -> 0 ... 921600 -> 7); -1 for any other rate.
int BaudCodeOfRate(long long rate);

class SensorModel {
  public:
    explicit SensorModel(SensorConfig config);

    struct Reply {
        std::vector<uint8_t> bytes;
        int delayMs = 0;
        int repeats = 0; // sent this many times more, every repeatEveryMs
        int repeatEveryMs = 0;
    };
    // What the sensor sends back for one request frame; nothing when it
    // keeps quiet. A 190 request changes baudCode() once the reply is made.
    std::optional<Reply> Answer(const koralink::Frame &request);
    // Bytes of line noise (never containing a frame start).
    std::vector<uint8_t> Noise(size_t count);

    int baudCode() const { return baudCode_; }
    const SensorConfig &config() const { return config_; }

  private:
    SensorConfig config_;
    int baudCode_;
    std::mt19937 random_;
};

} // namespace corvinsim

#endif
