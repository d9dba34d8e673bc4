// Lab files: Kind=Converter, one converter module per section.
//
//   [converter c1]
//   Kind=Converter
//   Host=127.0.0.21          the module's own address (LI); it answers the
//                            protocol from there and serves its data port
//                            there. Loopback only.
//   UdpPort=                 protocol port; default the lab's discovery port
//                            (see [lab] LanTargets in corvinsim/lab.h)
//   DataPort=0               LP, the TCP data port; 0 = a free port
//   Mac=00:08:DC:00:00:21    default 00:08:DC:00:00:<last part of Host>
//   Model=WIZ750SR  Version=1.4.5  BootMs=300
//   IM= OP= SM= GW= RH= RP= BR= SP=   module settings by their protocol codes
//                            (BR defaults to the sensor's rate)
//   ConverterFault=none|silent|late|duplicate|malformed|unconfirmed
//   LateMs=1000              reply delay of ConverterFault=late
//   Faithful=0               1: replies go to 127.255.255.255 at the source port
//   Sensor=yes               no: nothing on the serial side
//   Serial= Version...       the sensor behind it: the keys of a sensor section
//                            (SensorVersion= names its version text, since
//                            Version= is the module's firmware)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "converter_sim.h"
#include "sim/lab.h"

namespace corvinsim {

namespace {

class ConverterDevice : public Device {
  public:
    ~ConverterDevice() override {
        if (fleet)
            fleet->Stop();
    }
    std::unique_ptr<sim::ConverterFleet> fleet;
    std::shared_ptr<SensorModel> sensor;
};

bool ParseMac(const std::string &text, sim::ConverterMac *mac) {
    unsigned v[6];
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4],
                    &v[5], &tail) != 6)
        return false;
    for (size_t i = 0; i < 6; ++i)
        (*mac)[i] = static_cast<uint8_t>(v[i]);
    return true;
}

int FreeTcpPort(const in_addr &ip) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr = ip;
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

// BR index of a sensor rate, so that the module talks to its sensor by default.
int ModuleIndexOfRate(long long rate) {
    static const long long rates[] = {300,   600,   1200,  1800,  2400,   4800,   9600,  14400,
                                      19200, 28800, 38400, 57600, 115200, 230400, 460800};
    for (size_t i = 0; i < std::size(rates); ++i)
        if (rates[i] == rate)
            return static_cast<int>(i);
    return 12;
}

} // namespace

std::unique_ptr<Device> MakeConverterModule(const SectionView &section, LabBuilder &lab,
                                            std::string *error) {
    const std::string where = "[" + section.name() + "] ";
    std::string host = section.Text("Host", "127.0.0.21");
    in_addr ip{};
    if (inet_pton(AF_INET, host.c_str(), &ip) != 1 || (ntohl(ip.s_addr) >> 24) != 127) {
        *error = where + "Host=" + host + " is not a loopback address 127.x.x.x";
        return nullptr;
    }
    long long udpPort = 0, dataPort = 0, bootMs = 0, lateMs = 0;
    if (!section.Int("UdpPort", lab.DiscoveryPort(), 1, 65535, &udpPort, error) ||
        !section.Int("DataPort", 0, 0, 65535, &dataPort, error) ||
        !section.Int("BootMs", 300, 0, 600000, &bootMs, error) ||
        !section.Int("LateMs", 1000, 0, 600000, &lateMs, error))
        return nullptr;
    if (dataPort == 0 && (dataPort = FreeTcpPort(ip)) == 0) {
        *error = where + "no free TCP port on " + host;
        return nullptr;
    }

    sim::ConverterConfig config;
    config.mac = {0x00, 0x08, 0xDC, 0x00, 0x00, static_cast<uint8_t>(ntohl(ip.s_addr) & 0xFF)};
    if (section.Has("Mac") && !ParseMac(section.Text("Mac"), &config.mac)) {
        *error = where + "Mac= must read like 00:08:DC:00:00:21";
        return nullptr;
    }
    config.model = section.Text("Model", config.model);
    config.version = section.Text("Version", config.version);
    config.bootMs = static_cast<int>(bootMs);

    std::string fault = section.Text("ConverterFault", "none");
    sim::ConverterFaults &f = config.faults;
    if (fault == "silent")
        f.silent = true;
    else if (fault == "late")
        f.replyDelayMs = static_cast<int>(lateMs);
    else if (fault == "duplicate")
        f.duplicates = 2;
    else if (fault == "malformed")
        f.malformed = true;
    else if (fault == "unconfirmed")
        f.ignoreWrites = true;
    else if (fault != "none") {
        *error = where + "unknown ConverterFault=" + fault;
        return nullptr;
    }

    auto device = std::make_unique<ConverterDevice>();
    std::string sensorWanted = section.Text("Sensor", "yes");
    long long sensorRate = 115200;
    if (sensorWanted == "no") {
        config.sensor.present = false;
    } else {
        SensorConfig sensor;
        if (!ReadSensorConfig(section, &sensor, error))
            return nullptr;
        sensor.version = section.Text("SensorVersion", sensor.version);
        section.Int("Baud", 115200, 1, 1000000000, &sensorRate, error);
        device->sensor = std::make_shared<SensorModel>(sensor);
        std::shared_ptr<SensorModel> model = device->sensor;
        config.bridge = [model](const koralink::Frame &request, int serialRate) {
            if (BaudCodeOfRate(serialRate) != model->baudCode())
                return model->config().noiseAtWrongRate ? model->Noise(12) : std::vector<uint8_t>();
            auto reply = model->Answer(request);
            return reply ? reply->bytes : std::vector<uint8_t>();
        };
    }
    config.fields["LI"] = host;
    config.fields["LP"] = std::to_string(dataPort);
    config.fields["BR"] = std::to_string(ModuleIndexOfRate(sensorRate));
    for (const char *code : {"IM", "OP", "SM", "GW", "RH", "RP", "BR", "SP"})
        if (section.Has(code))
            config.fields[code] = section.Text(code);

    sim::ConverterFleet::Options options;
    options.bindIp = host;
    options.port = static_cast<uint16_t>(udpPort);
    options.faithful = section.Text("Faithful", "0") == "1";
    device->fleet = std::make_unique<sim::ConverterFleet>(options);
    device->fleet->Add(config);
    std::string why;
    if (!device->fleet->Start(&why)) {
        *error = where + "cannot serve the converter protocol on " + host + ":" +
                 std::to_string(udpPort) + ": " + why;
        return nullptr;
    }
    lab.AddEndpoint(section.name(), host, static_cast<int>(dataPort));
    return device;
}

} // namespace corvinsim
