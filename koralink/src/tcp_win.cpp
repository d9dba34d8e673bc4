// TCP backend for Windows: a Winsock stream socket to a converter module or
// a networked sensor, non-blocking throughout, waits done with select().
//
// WSAPoll is not used: before Windows 10 2004 it never reports a refused
// connect, so a probe of a closed port would always run into the timeout.
// Note that Windows itself retries a refused connect for about two seconds;
// with the short probe timeout a closed port then reads as "no connection
// within N ms" instead of "connection refused".
#include "transport.h"

#include <chrono>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "abort.h"
#include "net_common.h"
#include "support/windows_text.h"

namespace koralink {

namespace {

std::string ConnectCause(int e) {
    switch (e) {
    case WSAECONNREFUSED:
        return "connection refused";
    case WSAEHOSTUNREACH:
        return "host unreachable";
    case WSAENETUNREACH:
        return "network unreachable";
    case WSAETIMEDOUT:
        return "connection timed out";
    default:
        return "cannot connect: " + SystemErrorText(static_cast<DWORD>(e));
    }
}

// Waits until the socket is readable (or writable); 1 ready, 0 timed out,
// -1 failed. exceptSet reports a failed non-blocking connect.
int Wait(SOCKET s, bool forWrite, int timeoutMs, bool *failedConnect = nullptr) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval tv{};
    if (timeoutMs > 0) {
        tv.tv_sec = timeoutMs / 1000;
        tv.tv_usec = (timeoutMs % 1000) * 1000;
    }
    int r = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &tv);
    if (r > 0 && failedConnect)
        *failedConnect = FD_ISSET(s, &failed) != 0;
    return r == SOCKET_ERROR ? -1 : (r > 0 ? 1 : 0);
}

class TcpLine final : public Transport {
  public:
    explicit TcpLine(SOCKET s) : s_(s) {}
    ~TcpLine() override { closesocket(s_); }

    IoResult WriteAll(const uint8_t *bytes, size_t length, int timeoutMs,
                      std::string *cause) override {
        size_t done = 0;
        while (done < length) {
            int chunk = length - done > 65536 ? 65536 : static_cast<int>(length - done);
            int n = send(s_, reinterpret_cast<const char *>(bytes + done), chunk, 0);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            int e = WSAGetLastError();
            if (e != WSAEWOULDBLOCK) {
                if (e == WSAECONNRESET || e == WSAECONNABORTED || e == WSAESHUTDOWN) {
                    *cause = "connection closed by the device";
                    return IoResult::Lost;
                }
                *cause = "send failed: " + SystemErrorText(static_cast<DWORD>(e));
                return IoResult::Failed;
            }
            if (Wait(s_, true, timeoutMs) == 0) {
                *cause = "could not send (connection stalled)";
                return IoResult::Timeout;
            }
        }
        return IoResult::Ok;
    }

    IoResult Read(uint8_t *buffer, size_t capacity, int timeoutMs, size_t *got,
                  std::string *cause) override {
        *got = 0;
        if (Wait(s_, false, timeoutMs) <= 0)
            return IoResult::Timeout;
        int want = capacity > 65536 ? 65536 : static_cast<int>(capacity);
        int n = recv(s_, reinterpret_cast<char *>(buffer), want, 0);
        if (n > 0) {
            *got = static_cast<size_t>(n);
            return IoResult::Ok;
        }
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
            return IoResult::Timeout;
        *cause = "connection closed by the device";
        return IoResult::Lost;
    }

    void DiscardInput() override {
        char scrap[512];
        while (recv(s_, scrap, sizeof scrap, 0) > 0) {
        }
    }

  private:
    SOCKET s_;
};

} // namespace

std::unique_ptr<Transport> OpenTcp(uint32_t ip, int port, int timeoutMs, std::string *cause) {
    if (!StartNetwork(cause))
        return nullptr;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(ip);
    addr.sin_port = htons(static_cast<u_short>(port));

    // Not inherited by programs the caller starts, as SOCK_CLOEXEC on Linux.
    SOCKET s =
        WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        *cause = "no socket: " + SystemErrorText(static_cast<DWORD>(WSAGetLastError()));
        return nullptr;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        int e = WSAGetLastError();
        if (e != WSAEWOULDBLOCK) {
            *cause = ConnectCause(e);
            closesocket(s);
            return nullptr;
        }
        bool failed = false;
        int ready = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!WaitsAborted()) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            ready = Wait(s, true, AbortSlice(static_cast<int>(left.count())), &failed);
            if (ready != 0)
                break;
        }
        if (ready == 0) {
            *cause = "no connection within " + std::to_string(timeoutMs) + " ms";
            closesocket(s);
            return nullptr;
        }
        int err = 0;
        int len = sizeof err;
        if (ready < 0)
            err = WSAGetLastError();
        else
            getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&err), &len);
        if (ready < 0 || failed || err != 0) {
            *cause = err != 0 ? ConnectCause(err) : "connection refused";
            closesocket(s);
            return nullptr;
        }
    }
    BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
    return std::make_unique<TcpLine>(s);
}

} // namespace koralink
