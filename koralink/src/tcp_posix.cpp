// TCP backend: a stream socket to a converter module or a networked sensor.
#include "transport.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "abort.h"

namespace koralink {

namespace {

std::string ConnectCause(int e) {
    switch (e) {
    case ECONNREFUSED:
        return "connection refused";
    case EHOSTUNREACH:
        return "host unreachable";
    case ENETUNREACH:
        return "network unreachable";
    case ETIMEDOUT:
        return "connection timed out";
    default:
        return std::string("cannot connect: ") + std::strerror(e);
    }
}

class TcpLine final : public Transport {
  public:
    explicit TcpLine(int fd) : fd_(fd) {}
    ~TcpLine() override { close(fd_); }

    IoResult WriteAll(const uint8_t *bytes, size_t length, int timeoutMs,
                      std::string *cause) override {
        size_t done = 0;
        while (done < length) {
            ssize_t n = send(fd_, bytes + done, length - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN) {
                if (errno == EPIPE || errno == ECONNRESET) {
                    *cause = "connection closed by the device";
                    return IoResult::Lost;
                }
                *cause = std::string("send failed: ") + std::strerror(errno);
                return IoResult::Failed;
            }
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, timeoutMs) == 0) {
                *cause = "could not send (connection stalled)";
                return IoResult::Timeout;
            }
        }
        return IoResult::Ok;
    }

    IoResult Read(uint8_t *buffer, size_t capacity, int timeoutMs, size_t *got,
                  std::string *cause) override {
        *got = 0;
        pollfd p{fd_, POLLIN, 0};
        int r = poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
        if (r <= 0)
            return IoResult::Timeout;
        ssize_t n = recv(fd_, buffer, capacity, 0);
        if (n > 0) {
            *got = static_cast<size_t>(n);
            return IoResult::Ok;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return IoResult::Timeout;
        *cause = "connection closed by the device";
        return IoResult::Lost;
    }

    void DiscardInput() override {
        uint8_t scrap[512];
        while (recv(fd_, scrap, sizeof scrap, MSG_DONTWAIT) > 0) {
        }
    }

  private:
    int fd_;
};

} // namespace

std::unique_ptr<Transport> OpenTcp(uint32_t ip, int port, int timeoutMs, std::string *cause) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(ip);
    addr.sin_port = htons(static_cast<uint16_t>(port));

    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *cause = std::string("no socket: ") + std::strerror(errno);
        return nullptr;
    }
    int r = connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr);
    if (r != 0 && errno != EINPROGRESS) {
        *cause = ConnectCause(errno);
        close(fd);
        return nullptr;
    }
    if (r != 0) {
        pollfd p{fd, POLLOUT, 0};
        int ready = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!WaitsAborted()) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            ready = poll(&p, 1, AbortSlice(static_cast<int>(left.count())));
            if (ready > 0 || (ready < 0 && errno != EINTR))
                break;
            ready = 0;
        }
        if (ready == 0) {
            *cause = "no connection within " + std::to_string(timeoutMs) + " ms";
            close(fd);
            return nullptr;
        }
        int err = 0;
        socklen_t len = sizeof err;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err != 0) {
            *cause = ConnectCause(err);
            close(fd);
            return nullptr;
        }
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return std::make_unique<TcpLine>(fd);
}

} // namespace koralink
