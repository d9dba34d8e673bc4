// Serial backend for Windows: a COM port opened without sharing, 8N1, no
// flow control.
//
// Windows grants a COM port to one handle at a time: a second CreateFile
// fails with ERROR_ACCESS_DENIED, which is how a port held by another
// program shows. There are no lock files. Under wine a tty that a Linux
// program holds with TIOCEXCL fails with ERROR_LOCK_VIOLATION; a second open
// by a Windows program is not refused there at all.
//
// Reads use the one COMMTIMEOUTS combination that behaves like poll() and
// read(): ReadIntervalTimeout and ReadTotalTimeoutMultiplier at MAXDWORD
// with a constant between 0 and MAXDWORD make ReadFile return as soon as any
// byte is there, or empty-handed after the constant. The frame exchange
// above builds the first-byte and inter-byte timeouts from such reads, as it
// does on Linux.
#include "transport.h"

#include <windows.h>

#include "support/windows_text.h"

namespace koralink {

namespace {

// A bare device name such as "COM12" (as a port map may give it) becomes
// "\\.\COM12": without the device prefix CreateFile reaches COM1..COM9 only.
std::string DevicePath(const std::string &path) {
    if (path.find_first_of("\\/:") == std::string::npos)
        return "\\\\.\\" + path;
    return path;
}

// Longest single wait of a read. Windows ends the wait at the first byte,
// but wine lets it run to its end before it hands over what came: in short
// slices an answer is still picked up within a few milliseconds there. The
// frame exchange calls again until its own deadline.
constexpr int kSliceMs = 5;

bool IsGoneError(DWORD e) {
    // A USB adapter pulled out while open: the driver fails every call on the
    // stale handle, with one of these depending on the driver.
    return e == ERROR_ACCESS_DENIED || e == ERROR_BAD_COMMAND || e == ERROR_DEVICE_REMOVED ||
           e == ERROR_DEV_NOT_EXIST || e == ERROR_GEN_FAILURE || e == ERROR_OPERATION_ABORTED ||
           e == ERROR_INVALID_HANDLE || e == ERROR_DEVICE_NOT_CONNECTED || e == ERROR_BROKEN_PIPE;
}

class SerialPort final : public Transport {
  public:
    SerialPort(HANDLE handle, int baudCode, const DCB &original,
               const COMMTIMEOUTS &originalTimeouts)
        : handle_(handle), baudCode_(baudCode), original_(original),
          originalTimeouts_(originalTimeouts) {}
    ~SerialPort() override {
        // The port goes back to the settings it had when it was opened.
        DCB dcb = original_;
        SetCommState(handle_, &dcb);
        COMMTIMEOUTS t = originalTimeouts_;
        SetCommTimeouts(handle_, &t);
        CloseHandle(handle_);
    }

    IoResult WriteAll(const uint8_t *bytes, size_t length, int timeoutMs,
                      std::string *cause) override {
        COMMTIMEOUTS t = timeouts_;
        t.WriteTotalTimeoutMultiplier = 0;
        t.WriteTotalTimeoutConstant = static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 1);
        if (!Apply(t)) {
            *cause = "port went away";
            return IoResult::Lost;
        }
        size_t done = 0;
        while (done < length) {
            DWORD chunk = static_cast<DWORD>(length - done);
            DWORD written = 0;
            if (!WriteFile(handle_, bytes + done, chunk, &written, nullptr)) {
                DWORD e = GetLastError();
                if (IsGoneError(e)) {
                    *cause = "port went away";
                    return IoResult::Lost;
                }
                *cause = "write failed: " + SystemErrorText(e);
                return IoResult::Failed;
            }
            if (written == 0) {
                *cause = "could not send (output blocked)";
                return IoResult::Timeout;
            }
            done += written;
        }
        return IoResult::Ok;
    }

    IoResult Read(uint8_t *buffer, size_t capacity, int timeoutMs, size_t *got,
                  std::string *cause) override {
        *got = 0;
        COMMTIMEOUTS t = timeouts_;
        t.ReadIntervalTimeout = MAXDWORD;
        if (timeoutMs > 0) {
            t.ReadTotalTimeoutMultiplier = MAXDWORD;
            t.ReadTotalTimeoutConstant =
                static_cast<DWORD>(timeoutMs < kSliceMs ? timeoutMs : kSliceMs);
        } else {
            t.ReadTotalTimeoutMultiplier = 0;
            t.ReadTotalTimeoutConstant = 0;
        }
        if (!Apply(t)) {
            *cause = "port went away";
            return IoResult::Lost;
        }
        DWORD count = 0;
        DWORD want = capacity > 65536 ? 65536 : static_cast<DWORD>(capacity);
        if (!ReadFile(handle_, buffer, want, &count, nullptr)) {
            DWORD e = GetLastError();
            DWORD errors = 0;
            ClearCommError(handle_, &errors, nullptr);
            if (IsGoneError(e)) {
                *cause = "port went away";
                return IoResult::Lost;
            }
            *cause = "read failed: " + SystemErrorText(e);
            return IoResult::Failed;
        }
        *got = count;
        return count > 0 ? IoResult::Ok : IoResult::Timeout;
    }

    void DiscardInput() override {
        DWORD errors = 0;
        ClearCommError(handle_, &errors, nullptr);
        PurgeComm(handle_, PURGE_RXCLEAR | PURGE_RXABORT);
    }

    bool SetBaud(int baudCode, std::string *cause) override {
        int rate = BaudRateOfCode(baudCode);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (rate == 0 || !GetCommState(handle_, &dcb)) {
            *cause = "cannot change the baud rate";
            return false;
        }
        dcb.BaudRate = static_cast<DWORD>(rate);
        if (!SetCommState(handle_, &dcb)) {
            *cause = "cannot change the baud rate: " + SystemErrorText(GetLastError());
            return false;
        }
        baudCode_ = baudCode;
        return true;
    }

    // Returns once the driver has sent everything written so far.
    void WaitSent() override { FlushFileBuffers(handle_); }

    int ByteTimeUs() const override {
        int rate = BaudRateOfCode(baudCode_);
        return rate > 0 ? 10000000 / rate : 0; // start + 8 data + stop bits
    }

  private:
    // SetCommTimeouts is a driver call: made only when something changed.
    bool Apply(const COMMTIMEOUTS &t) {
        if (applied_ && t.ReadIntervalTimeout == timeouts_.ReadIntervalTimeout &&
            t.ReadTotalTimeoutMultiplier == timeouts_.ReadTotalTimeoutMultiplier &&
            t.ReadTotalTimeoutConstant == timeouts_.ReadTotalTimeoutConstant &&
            t.WriteTotalTimeoutMultiplier == timeouts_.WriteTotalTimeoutMultiplier &&
            t.WriteTotalTimeoutConstant == timeouts_.WriteTotalTimeoutConstant)
            return true;
        COMMTIMEOUTS copy = t;
        if (!SetCommTimeouts(handle_, &copy))
            return false;
        timeouts_ = t;
        applied_ = true;
        return true;
    }

    HANDLE handle_;
    int baudCode_;
    DCB original_;
    COMMTIMEOUTS originalTimeouts_;
    COMMTIMEOUTS timeouts_{};
    bool applied_ = false;
};

} // namespace

// ERROR_NO_SUCH_DEVICE, which mingw-w64's headers lack: a port whose device
// has gone (wine says so for a COM link that leads to no device).
constexpr DWORD kErrorNoSuchDevice = 433;

std::unique_ptr<Transport> OpenSerial(const SerialOpenRequest &request, std::string *cause) {
    int rate = BaudRateOfCode(request.baudCode);
    if (rate == 0) {
        *cause = "unknown baud code " + std::to_string(request.baudCode);
        return nullptr;
    }
    const std::string path = DevicePath(request.devicePath);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* no sharing */, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_DEV_NOT_EXIST ||
            e == kErrorNoSuchDevice || e == ERROR_BAD_UNIT || e == ERROR_INVALID_NAME)
            *cause = "no such port";
        else if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION || e == ERROR_BUSY ||
                 e == ERROR_LOCK_VIOLATION)
            *cause = "in use by another program";
        else
            *cause = "cannot open " + path + ": " + SystemErrorText(e);
        return nullptr;
    }

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS originalTimeouts{};
    if (!GetCommState(h, &dcb) || !GetCommTimeouts(h, &originalTimeouts)) {
        CloseHandle(h);
        *cause = path + " is not a serial port";
        return nullptr;
    }
    const DCB original = dcb;
    dcb.BaudRate = static_cast<DWORD>(rate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    // Some sensors take their power from the modem lines, as on Linux,
    // where opening the port raises both.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // Otherwise a framing error (a sensor at another rate) fails every
    // later call until ClearCommError.
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(h, &dcb)) {
        DWORD e = GetLastError();
        DCB back = original;
        SetCommState(h, &back);
        CloseHandle(h);
        *cause = "cannot set 8N1 at the requested rate: " + SystemErrorText(e);
        return nullptr;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    return std::make_unique<SerialPort>(h, request.baudCode, original, originalTimeouts);
}

} // namespace koralink
