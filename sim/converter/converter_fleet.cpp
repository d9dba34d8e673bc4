// Sockets and timing of the simulated converter fleet (Linux, loopback only).
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "converter_sim.h"
#include "frame.h"

namespace corvinsim {

namespace {

using Clock = std::chrono::steady_clock;

bool LoopbackText(const std::string &ip, in_addr *out) {
    return inet_pton(AF_INET, ip.c_str(), out) == 1 && (ntohl(out->s_addr) >> 24) == 127;
}

int BindUdp(const in_addr &ip, uint16_t port, bool shared, std::string *why) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *why = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (shared)
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr = ip;
    a.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        *why = std::string("bind: ") + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

struct ConverterFleet::Impl {
    struct Listener {
        int fd = -1;
        std::string ip;
        int port = 0;
    };
    struct Connection {
        int fd = -1;
        size_t module = 0;
        koralink::FrameDecoder decoder;
    };
    struct Pending {
        Clock::time_point due;
        sockaddr_in to{};
        std::vector<uint8_t> bytes;
    };
    int udp = -1, bcast = -1;
    std::vector<Listener> listeners;
    std::vector<Clock::time_point> bootUntil;
    std::vector<bool> booting;
    std::vector<std::unique_ptr<Connection>> connections;
    std::vector<Pending> pending;

    void CloseConnectionsOf(size_t module) {
        for (auto &c : connections)
            if (c->module == module && c->fd >= 0) {
                close(c->fd);
                c->fd = -1;
            }
    }
};

ConverterFleet::ConverterFleet(Options options)
    : options_(std::move(options)), impl_(std::make_unique<Impl>()) {}

ConverterFleet::~ConverterFleet() {
    Stop();
}

size_t ConverterFleet::Add(ConverterConfig config) {
    modules_.push_back(std::make_unique<ConverterModule>(std::move(config)));
    impl_->listeners.emplace_back();
    impl_->bootUntil.emplace_back();
    impl_->booting.push_back(false);
    return modules_.size() - 1;
}

bool ConverterFleet::Start(std::string *why) {
    in_addr bindIp{}, bcastIp{}, replyIp{};
    if (!LoopbackText(options_.bindIp, &bindIp)) {
        *why = "the converter fleet binds loopback addresses only";
        return false;
    }
    if (options_.faithful && !LoopbackText(options_.replyBroadcastIp, &replyIp)) {
        *why = "the converter fleet replies to loopback addresses only";
        return false;
    }
    impl_->udp = BindUdp(bindIp, options_.port, false, why);
    if (impl_->udp < 0)
        return false;
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(impl_->udp, reinterpret_cast<sockaddr *>(&a), &len);
    port_ = ntohs(a.sin_port);
    // A socket bound to a unicast address does not see broadcasts: listen on
    // the broadcast address too, on the same port. That socket is shared, so
    // several fleets (one per module address) all hear one broadcast; only
    // broadcasts arrive there, so no unicast goes astray.
    if (!options_.broadcastIp.empty()) {
        if (!LoopbackText(options_.broadcastIp, &bcastIp)) {
            *why = "the converter fleet listens on loopback addresses only";
            return false;
        }
        impl_->bcast = BindUdp(bcastIp, port_, true, why);
        if (impl_->bcast < 0)
            return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { Loop(); });
    return true;
}

void ConverterFleet::Stop() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (!impl_)
        return;
    for (int *fd : {&impl_->udp, &impl_->bcast})
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    for (auto &l : impl_->listeners)
        if (l.fd >= 0) {
            close(l.fd);
            l.fd = -1;
        }
    for (auto &c : impl_->connections)
        if (c->fd >= 0)
            close(c->fd);
    impl_->connections.clear();
}

void ConverterFleet::With(size_t i, const std::function<void(ConverterModule &)> &fn) {
    std::lock_guard lock(mutex_);
    fn(*modules_.at(i));
}

std::string ConverterFleet::Running(size_t i, const std::string &code) {
    std::lock_guard lock(mutex_);
    return modules_.at(i)->Running(code);
}

std::string ConverterFleet::Saved(size_t i, const std::string &code) {
    std::lock_guard lock(mutex_);
    return modules_.at(i)->Saved(code);
}

int ConverterFleet::Reboots(size_t i) {
    std::lock_guard lock(mutex_);
    return modules_.at(i)->reboots();
}

bool ConverterFleet::Booting(size_t i) {
    std::lock_guard lock(mutex_);
    return impl_->booting.at(i);
}

void ConverterFleet::Loop() {
    Impl &s = *impl_;
    std::vector<uint8_t> buf(4096);
    while (!stop_) {
        std::vector<pollfd> fds;
        std::vector<int> kinds; // 0 udp, 1 listener (module), 2 connection (index)
        std::vector<size_t> refs;
        int timeout = 20;
        {
            std::lock_guard lock(mutex_);
            auto now = Clock::now();
            for (size_t i = 0; i < modules_.size(); ++i) {
                if (s.booting[i] && now >= s.bootUntil[i]) {
                    s.booting[i] = false;
                    modules_[i]->FinishBoot();
                }
                // The data port follows the running settings: open in TCP
                // server or mixed mode, on a loopback own address only.
                const ConverterModule &m = *modules_[i];
                std::string op = m.Running("OP");
                std::string ip = m.Running("LI");
                int port = std::atoi(m.Running("LP").c_str());
                in_addr addr{};
                bool want = !s.booting[i] && (op == "1" || op == "2") && port > 0 &&
                            LoopbackText(ip, &addr);
                Impl::Listener &l = s.listeners[i];
                if (l.fd >= 0 && (!want || l.ip != ip || l.port != port)) {
                    close(l.fd);
                    l.fd = -1;
                    s.CloseConnectionsOf(i);
                }
                if (want && l.fd < 0 && (l.ip != ip || l.port != port || l.port == 0)) {
                    l.ip = ip;
                    l.port = port;
                    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
                    int on = 1;
                    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
                    sockaddr_in a{};
                    a.sin_family = AF_INET;
                    a.sin_addr = addr;
                    a.sin_port = htons(static_cast<uint16_t>(port));
                    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
                        listen(fd, 8) == 0)
                        l.fd = fd;
                    else if (fd >= 0)
                        close(fd); // port taken: stays closed until settings change
                }
                if (!want) {
                    l.ip.clear();
                    l.port = 0;
                }
                if (s.booting[i])
                    timeout = std::min<int>(
                        timeout,
                        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             s.bootUntil[i] - now)
                                             .count()) +
                            1);
            }
            for (auto it = s.pending.begin(); it != s.pending.end();) {
                if (now >= it->due) {
                    sendto(s.udp, it->bytes.data(), it->bytes.size(), 0,
                           reinterpret_cast<sockaddr *>(&it->to), sizeof it->to);
                    it = s.pending.erase(it);
                } else {
                    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(it->due - now)
                                  .count();
                    timeout = std::min<int>(timeout, static_cast<int>(ms) + 1);
                    ++it;
                }
            }
            std::erase_if(s.connections, [](const auto &c) { return c->fd < 0; });
            for (int fd : {s.udp, s.bcast})
                if (fd >= 0) {
                    fds.push_back({fd, POLLIN, 0});
                    kinds.push_back(0);
                    refs.push_back(0);
                }
            for (size_t i = 0; i < s.listeners.size(); ++i)
                if (s.listeners[i].fd >= 0) {
                    fds.push_back({s.listeners[i].fd, POLLIN, 0});
                    kinds.push_back(1);
                    refs.push_back(i);
                }
            for (size_t i = 0; i < s.connections.size(); ++i) {
                fds.push_back({s.connections[i]->fd, POLLIN, 0});
                kinds.push_back(2);
                refs.push_back(i);
            }
        }
        int r = poll(fds.data(), fds.size(), std::max(timeout, 0));
        if (r <= 0)
            continue;
        std::lock_guard lock(mutex_);
        for (size_t k = 0; k < fds.size(); ++k) {
            if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            if (kinds[k] == 0) {
                sockaddr_in from{};
                socklen_t len = sizeof from;
                ssize_t n = recvfrom(fds[k].fd, buf.data(), buf.size(), 0,
                                     reinterpret_cast<sockaddr *>(&from), &len);
                if (n <= 0 || (ntohl(from.sin_addr.s_addr) >> 24) != 127)
                    continue; // only loopback clients are ever answered
                ++datagrams_;
                auto now = Clock::now();
                for (size_t i = 0; i < modules_.size(); ++i) {
                    ConverterModule &m = *modules_[i];
                    if (s.booting[i] || m.config().faults.silent)
                        continue;
                    auto out = m.Handle(buf.data(), static_cast<size_t>(n));
                    if (!out.reply.empty()) {
                        sockaddr_in to = from;
                        if (options_.faithful)
                            inet_pton(AF_INET, options_.replyBroadcastIp.c_str(), &to.sin_addr);
                        auto due = now + std::chrono::milliseconds(m.config().faults.replyDelayMs);
                        for (int c = 0; c <= std::max(0, m.config().faults.duplicates); ++c)
                            s.pending.push_back({due, to, out.reply});
                    }
                    if (out.reboot) {
                        s.booting[i] = true;
                        s.bootUntil[i] = now + std::chrono::milliseconds(m.config().bootMs);
                    }
                }
                // Immediate replies leave now rather than after the next poll.
                for (auto it = s.pending.begin(); it != s.pending.end();) {
                    if (Clock::now() >= it->due) {
                        sendto(s.udp, it->bytes.data(), it->bytes.size(), 0,
                               reinterpret_cast<sockaddr *>(&it->to), sizeof it->to);
                        it = s.pending.erase(it);
                    } else {
                        ++it;
                    }
                }
            } else if (kinds[k] == 1) {
                int fd = accept4(fds[k].fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd >= 0) {
                    auto c = std::make_unique<Impl::Connection>();
                    c->fd = fd;
                    c->module = refs[k];
                    s.connections.push_back(std::move(c));
                }
            } else {
                Impl::Connection &c = *s.connections[refs[k]];
                if (c.fd < 0)
                    continue;
                ssize_t n = read(c.fd, buf.data(), buf.size());
                if (n <= 0) {
                    if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                        close(c.fd);
                        c.fd = -1;
                    }
                    continue;
                }
                const ConverterModule &m = *modules_[c.module];
                const SimSensor &sensor = m.config().sensor;
                const SensorBridge &bridge = m.config().bridge;
                static const int kRates[] = {300,   600,   1200,   1800,   2400,
                                             4800,  9600,  14400,  19200,  28800,
                                             38400, 57600, 115200, 230400, 460800};
                int br = std::atoi(m.Running("BR").c_str());
                int rate = br >= 0 && br < 15 ? kRates[br] : 0;
                bool answers = sensor.present && (sensor.baud == 0 || sensor.baud == rate);
                size_t used = 0;
                while (used < static_cast<size_t>(n)) {
                    koralink::Frame req;
                    bool got = false;
                    used += c.decoder.Feed(buf.data() + used, static_cast<size_t>(n) - used, &req,
                                           &got);
                    if (!got || req.kind != koralink::FrameKind::Request)
                        continue;
                    if (bridge) {
                        std::vector<uint8_t> bytes = bridge(req, rate);
                        if (!bytes.empty() && write(c.fd, bytes.data(), bytes.size()) < 0) {
                            close(c.fd);
                            c.fd = -1;
                            break;
                        }
                        continue;
                    }
                    if (!answers)
                        continue;
                    koralink::Frame ans;
                    ans.kind = koralink::FrameKind::Answer;
                    ans.command = req.command;
                    ans.status = koralink::kStatusOk;
                    if (req.command == 5) {
                        ans.parameter = sensor.serial;
                    } else if (req.command == 7) {
                        size_t len = std::min(sensor.version.size(), koralink::kMaxData);
                        std::memcpy(ans.data.data(), sensor.version.data(), len);
                        ans.length = static_cast<uint8_t>(len);
                    } else if (req.command == 190) {
                        ans.parameter = req.parameter;
                    } else {
                        ans.status = koralink::kStatusUnknownCommand;
                    }
                    uint8_t outBuf[koralink::kMaxFrame];
                    size_t size = koralink::EncodeFrame(ans, outBuf);
                    if (write(c.fd, outBuf, size) < 0) {
                        close(c.fd);
                        c.fd = -1;
                        break;
                    }
                }
            }
        }
    }
}

} // namespace corvinsim
