// Serial backend for Linux: termios, 8N1 raw, exclusive use.
//
// Exclusive use is layered because no single mechanism covers every other
// program: flock() is honoured by most modern tools, TIOCEXCL stops plain
// open() calls from non-root programs, and UUCP lock files in /run/lock are
// what older terminal programs (minicom, cu) leave behind.
#include "transport.h"

#include "config.h"
#include "support/boundedfile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace koralink {

namespace {

speed_t SpeedOfCode(int baudCode) {
    switch (baudCode) {
    case 0:
        return B9600;
    case 1:
        return B19200;
    case 2:
        return B38400;
    case 3:
        return B57600;
    case 4:
        return B115200;
    case 5:
        return B230400;
    case 6:
        return B460800;
    case 7:
        return B921600;
    default:
        return B0;
    }
}

// "/dev/ttyUSB0" -> "LCK..ttyUSB0", "/dev/pts/3" -> "LCK..pts_3".
std::string LockFileName(const std::string &devicePath) {
    std::string rest = devicePath;
    if (rest.rfind("/dev/", 0) == 0)
        rest = rest.substr(5);
    for (char &c : rest)
        if (c == '/')
            c = '_';
    return "LCK.." + rest;
}

// Pid recorded in a UUCP lock file: ten ASCII digits by convention, a raw
// 4-byte int from some old programs; 0 when there is no lock file. The lock
// directory is writable by everyone, so what sits there under a lock file's
// name may be anything: false with the cause when it is not a file that can
// be read (a FIFO there would block a plain open() for good).
bool ReadLockPid(const std::string &path, int *pid, std::string *cause) {
    *pid = 0;
    std::string text;
    int result = ReadBoundedFile(path.c_str(), kBoundedFileSmallLimit, &text, cause);
    if (result == BOUNDED_FILE_MISSING)
        return true;
    if (result != BOUNDED_FILE_OK)
        return false;
    if (text.size() == 4 && (text[0] < '0' || text[0] > '9') && text[0] != ' ')
        std::memcpy(pid, text.data(), 4);
    else
        *pid = std::atoi(text.c_str());
    return true;
}

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry{};
    group *found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->gr_name;
    return std::to_string(gid);
}

// The commonest first-day problem on Linux: serial devices belong to a group
// (dialout on most distributions, uucp on some) that a new user is not in.
std::string PermissionDenied(const std::string &devicePath) {
    struct stat st {};
    if (stat(devicePath.c_str(), &st) != 0)
        return "permission denied";
    return "permission denied (the user may need to be in group " + GroupName(st.st_gid) + ")";
}

bool ProcessAlive(int pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

class SerialPort final : public Transport {
  public:
    SerialPort(int fd, int baudCode, std::string ownLockFile)
        : fd_(fd), baudCode_(baudCode), ownLock_(std::move(ownLockFile)) {}

    ~SerialPort() override {
        ioctl(fd_, TIOCNXCL);
        close(fd_); // also drops the flock
        if (!ownLock_.empty())
            unlink(ownLock_.c_str());
    }

    bool WriteAll(const uint8_t *bytes, size_t length, int timeoutMs, std::string *cause) override {
        size_t done = 0;
        while (done < length) {
            ssize_t n = write(fd_, bytes + done, length - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN) {
                *cause = errno == EIO ? "port went away"
                                      : std::string("write failed: ") + std::strerror(errno);
                return false;
            }
            pollfd p{fd_, POLLOUT, 0};
            int r = poll(&p, 1, timeoutMs);
            if (r == 0) {
                *cause = "could not send (output blocked)";
                return false;
            }
            if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
                *cause = "port went away";
                return false;
            }
        }
        return true;
    }

    int Read(uint8_t *buffer, size_t capacity, int timeoutMs, std::string *cause) override {
        pollfd p{fd_, POLLIN, 0};
        int r = poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
        if (r < 0)
            return errno == EINTR ? 0 : -1;
        if (r == 0)
            return 0;
        ssize_t n = read(fd_, buffer, capacity);
        if (n > 0)
            return static_cast<int>(n);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return 0;
        // A vanished USB adapter or a closed pseudo-terminal reads as EIO or
        // end of file with POLLHUP set.
        *cause = "port went away";
        return -1;
    }

    void DiscardInput() override { tcflush(fd_, TCIFLUSH); }

    bool SetBaud(int baudCode, std::string *cause) override {
        speed_t speed = SpeedOfCode(baudCode);
        termios tio{};
        if (speed == B0 || tcgetattr(fd_, &tio) != 0) {
            *cause = "cannot change the baud rate";
            return false;
        }
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
            *cause = std::string("cannot change the baud rate: ") + std::strerror(errno);
            return false;
        }
        baudCode_ = baudCode;
        return true;
    }

    void WaitSent() override { tcdrain(fd_); }

    int ByteTimeUs() const override {
        int rate = BaudRateOfCode(baudCode_);
        return rate > 0 ? 10000000 / rate : 0; // start + 8 data + stop bits
    }

  private:
    int fd_;
    int baudCode_;
    std::string ownLock_;
};

} // namespace

std::unique_ptr<Transport> OpenSerial(const SerialOpenRequest &request, std::string *cause) {
    speed_t speed = SpeedOfCode(request.baudCode);
    if (speed == B0) {
        *cause = "unknown baud code " + std::to_string(request.baudCode);
        return nullptr;
    }

    // Look at the lock file before open(): opening a port can already toggle
    // DTR/RTS and disturb the program that owns it.
    std::string lockPath = request.lockDir + "/" + LockFileName(request.devicePath);
    int holder = 0;
    std::string lockProblem;
    if (!ReadLockPid(lockPath, &holder, &lockProblem)) {
        // Not a lock any program writes: someone may be in the way on purpose.
        *cause = "its lock file cannot be checked (" + lockProblem + ")";
        ReportOnce(request.devicePath + " not opened: " + *cause);
        return nullptr;
    }
    if (holder != getpid() && ProcessAlive(holder)) {
        *cause = "in use by another program";
        return nullptr;
    }

    int fd = open(request.devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int e = errno;
        if (e == ENOENT || e == ENXIO || e == ENODEV)
            *cause = "no such port";
        else if (e == EBUSY)
            *cause = "in use by another program";
        else if (e == EACCES || e == EPERM)
            *cause = PermissionDenied(request.devicePath);
        else
            *cause = "cannot open " + request.devicePath + ": " + std::strerror(e);
        return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        *cause = "in use by another program";
        return nullptr;
    }
    ioctl(fd, TIOCEXCL);

    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        close(fd);
        *cause = request.devicePath + " is not a serial port";
        return nullptr;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        int e = errno;
        close(fd);
        *cause = std::string("cannot set 8N1 at the requested rate: ") + std::strerror(e);
        return nullptr;
    }
    tcflush(fd, TCIOFLUSH);

    std::string ownLock;
    if (request.accepted) {
        // Best effort: without write access to the lock directory the flock
        // and TIOCEXCL still protect the line.
        if (holder > 0 && !ProcessAlive(holder))
            unlink(lockPath.c_str());
        int lf = open(lockPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (lf >= 0) {
            char text[16];
            int len = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
            if (write(lf, text, static_cast<size_t>(len)) == len)
                ownLock = lockPath;
            close(lf);
            if (ownLock.empty())
                unlink(lockPath.c_str());
        }
    }
    return std::make_unique<SerialPort>(fd, request.baudCode, ownLock);
}

} // namespace koralink
