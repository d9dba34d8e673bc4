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

class Transport {
  public:
    virtual ~Transport() = default;

    // Writes every byte or fails with a plain-words cause in *cause.
    virtual bool WriteAll(const uint8_t *bytes, size_t length, int timeoutMs,
                          std::string *cause) = 0;
    // Waits up to timeoutMs: > 0 bytes read, 0 nothing arrived, < 0 the line
    // failed (cause in *cause).
    virtual int Read(uint8_t *buffer, size_t capacity, int timeoutMs, std::string *cause) = 0;
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

// Connects to a dotted IPv4 address within timeoutMs.
std::unique_ptr<Transport> OpenTcp(const std::string &ipText, int port, int timeoutMs,
                                   std::string *cause);

} // namespace koralink

#endif
