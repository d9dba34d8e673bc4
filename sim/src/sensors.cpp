// Sensors on pseudo-terminals and on loopback TCP.
//
// A pty has no baud rate of its own, but on Linux the master reads back the
// termios the program set on the slave: the sensor compares that rate with
// its own and, like a real UART at the wrong rate, makes nothing of the
// bytes. The lab keeps a slave descriptor open for the whole run; without
// it the master reports POLLHUP whenever the program under test has the
// port closed.
//
// Kind=Pty serves the same sensor on a pseudo-terminal that another program
// opens by the path the lab exports, typically a virtual machine's serial
// port (QEMU -chardev serial,path=...). QEMU carries the guest's line
// settings over with tcsetattr() on its side, so the rate check below holds
// for a guest's real UART and USB serial drivers too.
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "sensors.h"
#include "sim/lab.h"

namespace corvinsim {

namespace {

using Clock = std::chrono::steady_clock;

int CodeOfSpeed(speed_t speed) {
    switch (speed) {
    case B9600:
        return 0;
    case B19200:
        return 1;
    case B38400:
        return 2;
    case B57600:
        return 3;
    case B115200:
        return 4;
    case B230400:
        return 5;
    case B460800:
        return 6;
    case B921600:
        return 7;
    default:
        return -1;
    }
}

void WriteSome(int fd, const std::vector<uint8_t> &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return; // a full buffer means nobody reads: drop, as a wire would
        done += static_cast<size_t>(n);
    }
}

struct Pending {
    Clock::time_point due;
    int fd;
    std::vector<uint8_t> bytes;
};

// Thread plus stop signal; the device's loop polls stopFd() with its own fds.
class Worker {
  public:
    Worker() : stop_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Worker() { close(stop_); }
    template <class F> void Start(F f) { thread_ = std::thread(std::move(f)); }
    void Stop() {
        uint64_t one = 1;
        if (write(stop_, &one, sizeof one) < 0) {
        }
        if (thread_.joinable())
            thread_.join();
    }
    int stopFd() const { return stop_; }

  private:
    int stop_;
    std::thread thread_;
};

int MsUntil(const std::vector<Pending> &pending) {
    if (pending.empty())
        return -1;
    auto first = pending.front().due;
    for (const Pending &p : pending)
        first = std::min(first, p.due);
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(first - Clock::now()).count();
    return ms < 0 ? 0 : static_cast<int>(ms);
}

void FlushDue(std::vector<Pending> *pending) {
    auto now = Clock::now();
    for (size_t i = 0; i < pending->size();) {
        if ((*pending)[i].due <= now) {
            WriteSome((*pending)[i].fd, (*pending)[i].bytes);
            pending->erase(pending->begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
}

// Feeds received bytes through a decoder and queues the sensor's replies.
void Serve(SensorModel *model, koralink::FrameDecoder *decoder, const uint8_t *bytes, size_t n,
           int fd, std::vector<Pending> *pending) {
    size_t off = 0;
    while (off < n) {
        koralink::Frame request;
        bool got = false;
        off += decoder->Feed(bytes + off, n - off, &request, &got);
        if (!got)
            continue;
        auto reply = model->Answer(request);
        if (!reply)
            continue;
        auto due =
            Clock::now() + std::chrono::milliseconds(reply->delayMs + model->config().latencyMs);
        for (int k = 0; k <= reply->repeats; ++k)
            pending->push_back(
                {due + std::chrono::milliseconds(k * reply->repeatEveryMs), fd, reply->bytes});
    }
}

class PtySensor final : public Device {
  public:
    PtySensor(int master, int slave, SensorConfig config)
        : master_(master), slave_(slave), model_(std::move(config)) {
        worker_.Start([this] { Run(); });
    }
    ~PtySensor() override {
        worker_.Stop();
        CloseFds();
    }

  private:
    void CloseFds() {
        if (master_ >= 0)
            close(master_);
        if (slave_ >= 0)
            close(slave_);
        master_ = slave_ = -1;
    }

    void Run() {
        std::vector<Pending> pending;
        uint8_t buffer[1024];
        for (;;) {
            pollfd fds[2] = {{worker_.stopFd(), POLLIN, 0}, {master_, POLLIN, 0}};
            int r = poll(fds, master_ >= 0 ? 2 : 1, MsUntil(pending));
            if (r < 0 && errno != EINTR)
                return;
            if (fds[0].revents)
                return;
            FlushDue(&pending);
            if (master_ < 0 || !(fds[1].revents & POLLIN))
                continue;
            ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            if (model_.config().fault == Fault::Vanish) {
                // Like an adapter pulled out mid-search: the device node goes away.
                pending.clear();
                CloseFds();
                continue;
            }
            termios tio{};
            int lineCode = tcgetattr(master_, &tio) == 0 ? CodeOfSpeed(cfgetospeed(&tio)) : -1;
            if (lineCode != model_.baudCode()) {
                decoder_.Reset();
                if (model_.config().noiseAtWrongRate)
                    pending.push_back({Clock::now(), master_, model_.Noise(12)});
                continue;
            }
            Serve(&model_, &decoder_, buffer, static_cast<size_t>(n), master_, &pending);
        }
    }

    int master_;
    int slave_;
    SensorModel model_;
    koralink::FrameDecoder decoder_;
    Worker worker_;
};

class TcpSensor final : public Device {
  public:
    TcpSensor(int listener, SensorConfig config) : listener_(listener), model_(std::move(config)) {
        worker_.Start([this] { Run(); });
    }
    ~TcpSensor() override {
        worker_.Stop();
        CloseAll();
    }

  private:
    struct Client {
        int fd;
        koralink::FrameDecoder decoder;
    };

    // The listener goes first: a peer that sees its connection drop may
    // reconnect at once, and must then be refused, not accepted by a
    // listener that is about to vanish.
    void CloseAll() {
        if (listener_ >= 0)
            close(listener_);
        listener_ = -1;
        for (Client &c : clients_)
            close(c.fd);
        clients_.clear();
    }

    void Run() {
        std::vector<Pending> pending;
        uint8_t buffer[1024];
        for (;;) {
            std::vector<pollfd> fds{{worker_.stopFd(), POLLIN, 0}};
            if (listener_ >= 0)
                fds.push_back({listener_, POLLIN, 0});
            for (const Client &c : clients_)
                fds.push_back({c.fd, POLLIN, 0});
            int r = poll(fds.data(), fds.size(), MsUntil(pending));
            if (r < 0 && errno != EINTR)
                return;
            if (fds[0].revents)
                return;
            FlushDue(&pending);
            size_t at = 1;
            if (listener_ >= 0) {
                if (fds[at].revents & POLLIN) {
                    int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                    if (fd >= 0)
                        clients_.push_back({fd, {}});
                }
                ++at;
            }
            bool vanish = false;
            for (size_t i = 0; at < fds.size(); ++at) {
                Client &c = clients_[i];
                if (!(fds[at].revents & (POLLIN | POLLHUP | POLLERR))) {
                    ++i;
                    continue;
                }
                ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    for (Pending &p : pending)
                        if (p.fd == c.fd)
                            p.bytes.clear();
                    close(c.fd);
                    clients_.erase(clients_.begin() + static_cast<long>(i));
                    continue;
                }
                if (model_.config().fault == Fault::Vanish) {
                    vanish = true;
                    break;
                }
                Serve(&model_, &c.decoder, buffer, static_cast<size_t>(n), c.fd, &pending);
                ++i;
            }
            if (vanish) {
                pending.clear();
                CloseAll();
            }
        }
    }

    int listener_;
    std::vector<Client> clients_;
    SensorModel model_;
    Worker worker_;
};

enum class PtyUse { Usb, Com, Exported };

// A name the child's environment can carry: letters, digits, '_', no digit first.
bool IsVariableName(const std::string &name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (char c : name)
        if (!(c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
              (c >= '0' && c <= '9')))
            return false;
    return true;
}

std::unique_ptr<Device> MakePtySensor(const SectionView &section, LabBuilder &lab,
                                      std::string *error, PtyUse use) {
    SensorConfig config;
    if (!ReadSensorConfig(section, &config, error))
        return nullptr;
    long long com = 0;
    std::string exportName = section.Text("Export");
    if (use == PtyUse::Exported) {
        if (!IsVariableName(exportName) || exportName.rfind("KORALINK_", 0) == 0) {
            *error =
                "[" + section.name() + "] needs Export=NAME, a variable name (not KORALINK_...)";
            return nullptr;
        }
    } else {
        if (!section.Int("Com", 0, 1, 255, &com, error))
            return nullptr;
        if (com == 0) {
            *error = "[" + section.name() + "] needs Com=1..255";
            return nullptr;
        }
    }
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        *error = std::string("openpty: ") + std::strerror(errno);
        return nullptr;
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    // cfmakeraw() leaves ONLCR: a program that turns OPOST back on (QEMU's
    // serial backend does) would then send every 0x0A as 0x0D 0x0A.
    tio.c_oflag = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(slave, TCSANOW, &tio);
    char *path = ttyname(slave);
    if (use == PtyUse::Exported) {
        lab.SetEnv(exportName, path ? path : "");
        return std::make_unique<PtySensor>(master, slave, config);
    }
    const bool usb = use == PtyUse::Usb;
    PortEntry port;
    port.comNumber = static_cast<int>(com);
    port.path = path ? path : "";
    port.type = usb ? "USB" : "COM";
    std::string n = std::to_string(com);
    port.name = section.Text("Name", usb ? "Simulated USB UART (COM" + n + ")"
                                         : "Communications Port (COM" + n + ")");
    port.typeText = section.Text("TypeText", usb ? "USB serial adapter" : "Serial port");
    long long plug = -1, unplug = -1;
    if (!section.Int("Plug", -1, 0, 86400000, &plug, error) ||
        !section.Int("Unplug", -1, 0, 86400000, &unplug, error)) {
        close(master);
        close(slave);
        return nullptr;
    }
    port.plugMs = static_cast<int>(plug);
    port.unplugMs = static_cast<int>(unplug);
    lab.AddPort(port);
    return std::make_unique<PtySensor>(master, slave, config);
}

} // namespace

std::unique_ptr<Device> MakeUsbSensor(const SectionView &section, LabBuilder &lab,
                                      std::string *error) {
    return MakePtySensor(section, lab, error, PtyUse::Usb);
}

std::unique_ptr<Device> MakeComSensor(const SectionView &section, LabBuilder &lab,
                                      std::string *error) {
    return MakePtySensor(section, lab, error, PtyUse::Com);
}

std::unique_ptr<Device> MakeExportedPtySensor(const SectionView &section, LabBuilder &lab,
                                              std::string *error) {
    return MakePtySensor(section, lab, error, PtyUse::Exported);
}

std::unique_ptr<Device> MakeTcpSensor(const SectionView &section, LabBuilder &lab,
                                      std::string *error) {
    SensorConfig config;
    if (!ReadSensorConfig(section, &config, error))
        return nullptr;
    std::string host = section.Text("Host", "127.0.0.2");
    long long port = 0;
    if (!section.Int("Port", 0, 0, 65535, &port, error))
        return nullptr;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    // Loopback only: the lab must never be reachable from the network.
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1 ||
        (ntohl(addr.sin_addr.s_addr) >> 24) != 127) {
        *error = "[" + section.name() + "] Host=" + host + " is not a loopback address 127.x.x.x";
        return nullptr;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        listen(fd, 64) != 0) {
        *error = "[" + section.name() + "] cannot listen on " + host + ":" + std::to_string(port) +
                 ": " + std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    lab.AddEndpoint(section.name(), host, ntohs(addr.sin_port));
    return std::make_unique<TcpSensor>(fd, config);
}

} // namespace corvinsim
