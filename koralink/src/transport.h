// Byte-stream seam between the frame exchange and the platform: one backend
// file per kind of line (serial_posix.cpp, tcp_posix.cpp).
#ifndef KORALINK_TRANSPORT_H
#define KORALINK_TRANSPORT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "koralink.h"

namespace koralink {

// What became of one call on a line. The frame exchange turns it into the
// library's result code; the plain-words cause beside it is only for people.
enum class IoResult {
    Ok,
    Timeout, // nothing arrived, or the output stayed blocked, within the time
    Lost,    // the port went away or the peer closed the connection
    Refused, // the system or the peer would not take the request
    Failed,  // any other system error
};

class Transport {
  public:
    virtual ~Transport() = default;

    // Writes every byte; anything but Ok comes with a cause in *cause.
    virtual IoResult WriteAll(const uint8_t *bytes, size_t length, int timeoutMs,
                              std::string *cause) = 0;
    // Waits up to timeoutMs for bytes: Ok with *got > 0, Timeout when nothing
    // arrived, Lost or Failed (cause in *cause) when the line failed.
    virtual IoResult Read(uint8_t *buffer, size_t capacity, int timeoutMs, size_t *got,
                          std::string *cause) = 0;
    // Drops whatever has been received and not read yet.
    virtual void DiscardInput() = 0;

    // Serial lines only; the defaults suit a stream socket.
    virtual bool SetBaud(int /*baudCode*/, std::string *cause) {
        *cause = "baud rate cannot be changed on this line";
        return false;
    }
    virtual void WaitSent() {}
    // Time one byte takes on the wire, in microseconds (0: not a serial line).
    virtual int ByteTimeUs() const { return 0; }
};

// Baud rate of a baud code 0..7; 0 for an unknown code.
inline int BaudRateOfCode(int baudCode) {
    return KoralinkBaudRate(baudCode);
}

struct SerialOpenRequest {
    std::string devicePath;
    int baudCode = 0;
    bool accepted = false; // modes 1/3: also leave a UUCP lock file while open
    std::string lockDir;
};

// Opens a serial device 8N1 raw with an exclusive lock. On failure returns
// null and a cause such as "no such port" or "in use by another program".
std::unique_ptr<Transport> OpenSerial(const SerialOpenRequest &request, std::string *cause);

// Connects to an IPv4 address (host byte order) within timeoutMs; the
// address and port are checked by the caller (CheckTcpTarget).
std::unique_ptr<Transport> OpenTcp(uint32_t ip, int port, int timeoutMs, std::string *cause);

} // namespace koralink

#endif
