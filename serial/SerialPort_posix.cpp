// CSerialPort on a termios device (a serial adapter, or the pseudo-terminal of fernwell-sim).
//
// What must match the Windows port: 8 data bits, no parity, 1 stop bit, RTS on, no flow
// control, an exclusive open, a purge before every write and a read that ends after two empty
// reads of 100 ms each. Windows gets the read rule from COMMTIMEOUTS (MAXDWORD, MAXDWORD, 100);
// here one "read" is a poll() of at most 100 ms followed by one read().
//
// Open's result codes follow the Windows steps they stand for:
//   -1  open(), another process holding the device,  CreateFile
//       flock() (another holder)
//   -5  never: poll() carries the time-outs, there is nothing to set on the device
//   -4  tcgetattr()                                 GetCommState
//   -3  baud, parity, data or stop bits refused     BuildCommDCB
//   -2  tcsetattr(), or raising RTS                 SetCommState
// Every failure path closes the descriptor again, so a failed Open holds nothing.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

#include "serial/PortHolder.h"
#include "serial/PortMap.h"
#include "serial/SerialPort.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// handle_ holds a descriptor, or one of these. After a failed Open the object behaves like the
// Windows one holding INVALID_HANDLE_VALUE: Write sends nothing and reports 0 bytes, Read
// returns an empty reply, both with result 0 (only a never-opened or closed port gives -1).
constexpr int kNoHandle = -1;
constexpr int kFailedHandle = -2;

// One empty read lasts 100 ms; two in a row end a reply (about 200 ms after the last byte).
constexpr int kReadTimeoutMs = 100;
constexpr int kEmptyReadsEndingReply = 2;
// A write of n bytes may take 1000 + 1000 n ms, as the Windows write time-outs allow.
constexpr std::int64_t kWriteTimeoutConstantMs = 1000;
constexpr std::int64_t kWriteTimeoutPerByteMs = 1000;

std::atomic<int> gOpenDelayMs{500};

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, INT32_MAX));
}

bool SpeedFor(int baud, speed_t& speed) {
    struct Rate {
        int baud;
        speed_t speed;
    };
    static constexpr Rate kRates[] = {
        {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const Rate& r : kRates) {
        if (r.baud == baud) {
            speed = r.speed;
            return true;
        }
    }
    return false;
}

// The termios counterpart of BuildCommDCB("baud=%d parity=%c data=%d stop=%d"): a raw line
// with the given framing, receiver on, modem status lines ignored, no flow control of any
// kind. A read wakes for the first byte (VMIN=1, VTIME=0); the 100 ms limit is poll()'s.
// Returns false for a definition Windows would refuse or termios cannot express
// (non-standard baud rates, 1.5 stop bits).
bool BuildLine(termios& t, int baud, char parity, int dataBits, int stopBits) {
    speed_t speed;
    if (!SpeedFor(baud, speed)) {
        return false;
    }
    tcflag_t size;
    switch (dataBits) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return false;
    }
    tcflag_t parityFlags;
    switch (parity) {
        case 'N':
        case 'n':
            parityFlags = 0;
            break;
        case 'E':
        case 'e':
            parityFlags = PARENB;
            break;
        case 'O':
        case 'o':
            parityFlags = PARENB | PARODD;
            break;
#ifdef CMSPAR
        case 'M':
        case 'm':
            parityFlags = PARENB | PARODD | CMSPAR;
            break;
        case 'S':
        case 's':
            parityFlags = PARENB | CMSPAR;
            break;
#endif
        default:
            return false;
    }
    if (stopBits != 1 && stopBits != 2) {
        return false;
    }

    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    t.c_cflag &= ~CMSPAR;
#endif
    t.c_cflag |= size | parityFlags | CLOCAL | CREAD;
    if (stopBits == 2) {
        t.c_cflag |= CSTOPB;
    }
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return cfsetispeed(&t, speed) == 0 && cfsetospeed(&t, speed) == 0;
}

// What one read of the two-empty-reads rule saw.
struct ReadOutcome {
    int got = 0;   // bytes read; 0 for an empty read
    int gone = 0;  // the errno (or EIO) that says the device has gone, else 0
};

// One read of the two-empty-reads rule: wait up to 100 ms (less when `deadline` comes first)
// for input, then one read(). A device that has gone (adapter unplugged, peer of a
// pseudo-terminal closed) reports POLLHUP/POLLERR, EIO, ENXIO or end of file at once; that
// counts as an empty read, so the reply ends instead of spinning, and says so.
ReadOutcome ReadOnce(int fd, char* buffer, int want, Clock::time_point limit) {
    const auto deadline = std::min(limit, Clock::now() + milliseconds(kReadTimeoutMs));
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, MsLeft(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;  // within 100 ms the caller looks at its cancel flag again
            }
            return {};
        }
        if (ready == 0) {
            return {};
        }
        if (!(p.revents & POLLIN)) {
            return {0, (p.revents & (POLLHUP | POLLERR | POLLNVAL)) ? EIO : 0};
        }
        const ssize_t got = read(fd, buffer, static_cast<size_t>(want));
        if (got > 0) {
            return {static_cast<int>(got), 0};
        }
        if (got < 0 && errno == EINTR && MsLeft(deadline) > 0) {
            continue;
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            return {};
        }
        return {0, got == 0 ? EIO : errno};
    }
}

// The exclusive flag lives on the tty, not on the descriptor: clear it when letting go of a
// port we made exclusive, or it would outlast us while another descriptor (a pseudo-terminal's
// peer) keeps the tty alive. Never clear it for an open that failed at the lock, because the
// flag then belongs to the port's holder.
void Release(int fd, bool exclusive) {
    if (exclusive) {
        ioctl(fd, TIOCNXCL);
    }
    close(fd);
}

}  // namespace

CSerialPort::CSerialPort() : handle_(kNoHandle) {}

// Closes a port still held. (The Windows program leaves that to the end of the process; a
// descriptor left open here would keep the flock and the exclusive flag for nothing.)
CSerialPort::~CSerialPort() {
    Close();
}

int CSerialPort::OpenDelayMs() {
    return gOpenDelayMs.load();
}

void CSerialPort::SetOpenDelayMs(int ms) {
    gOpenDelayMs.store(std::max(ms, 0));
}

bool CSerialPort::IsOpen() const {
    return handle_ >= 0;
}

int CSerialPort::Open(int portNumber, int baudRate, char parity, int dataBits, int stopBits) {
    portNumber_ = portNumber;
    baudRate_ = baudRate;
    Close();
    gone_ = false;
    readOverran_ = false;
    lastIoError_ = 0;
    lastError_ = 0;
    lastErrorText_.clear();

    bool exclusive = false;
    auto fail = [&](int code, int err, std::string text, int fd) {
        if (fd >= 0) {
            Release(fd, exclusive);
        }
        handle_ = kFailedHandle;
        lastError_ = err;
        lastErrorText_ = std::move(text);
        return code;
    };

    if (pathOverride_.empty() &&
        (portNumber < portmap::kFirstPort || portNumber > portmap::kLastPort)) {
        return fail(kOpenDeviceFailed, EINVAL,
                    "COM" + std::to_string(portNumber) +
                        " is not a valid port number: ports are numbered 1 to 255.",
                    -1);
    }

    std::this_thread::sleep_for(milliseconds(OpenDelayMs()));

    // Resolved after the wait, so a link made or changed meanwhile is the one used.
    const std::string device =
        pathOverride_.empty() ? portmap::DevicePath(portNumber) : pathOverride_;
    if (device.empty()) {
        const std::string n = std::to_string(portNumber);
        return fail(kOpenDeviceFailed, ENOENT,
                    "COM" + n + " has no device: there is no link com" + n + " in " +
                        portmap::PortsDirectory() +
                        ", and only COM1 to COM96 have a default device.",
                    -1);
    }

    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        return fail(kOpenDeviceFailed, err, portmap::OpenErrorText(err, device), -1);
    }
    // A device without line settings (a file, a FIFO, /dev/null behind a link) is no serial
    // port, whoever else holds it: said before the holders are looked for, or /dev/null, which
    // every process holds, would be "in use".
    termios line{};
    if (tcgetattr(fd, &line) != 0) {
        const int err = errno;
        return fail(kOpenGetStateFailed, err, portmap::OpenErrorText(err, device), fd);
    }
    // Another program that has the port open without a lock (a terminal program, `cat`)
    // would read the module's replies before we do: refuse the port as Windows would.
    if (const std::string holder = portmap::OtherHolder(device); !holder.empty()) {
        return fail(kOpenDeviceFailed, EBUSY, portmap::InUseText(holder), fd);
    }
    // Share mode 0 on Windows. flock() keeps out every other program that asks (including
    // one running as root); TIOCEXCL makes any other open() of the tty fail with EBUSY,
    // except root's. (A device without line settings has been refused above.)
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = (errno == EWOULDBLOCK) ? EBUSY : errno;
        return fail(kOpenDeviceFailed, err, portmap::OpenErrorText(err, device), fd);
    }
    exclusive = ioctl(fd, TIOCEXCL) == 0;

    if (!BuildLine(line, baudRate, parity, dataBits, stopBits)) {
        char definition[50];
        std::snprintf(definition, sizeof definition, "baud=%d parity=%c data=%d stop=%d", baudRate,
                      parity, dataBits, stopBits);
        return fail(kOpenBadDefinition, EINVAL,
                    std::string("The line settings \"") + definition + "\" are not supported.", fd);
    }
    if (tcsetattr(fd, TCSANOW, &line) != 0) {
        const int err = errno;
        return fail(kOpenSetStateFailed, err, portmap::OpenErrorText(err, device), fd);
    }
    // RTS held on, as RTS_CONTROL_ENABLE. Pseudo-terminals have no modem lines and answer
    // ENOTTY (some drivers EINVAL); the line works without it.
    int rts = TIOCM_RTS;
    if (ioctl(fd, TIOCMBIS, &rts) != 0 && errno != ENOTTY && errno != EINVAL) {
        const int err = errno;
        return fail(kOpenSetStateFailed, err, portmap::OpenErrorText(err, device), fd);
    }
    tcflush(fd, TCIOFLUSH);
    handle_ = fd;
    return kOpenOk;
}

int CSerialPort::Close() {
    if (handle_ >= 0) {
        Release(handle_, true);
    }
    handle_ = kNoHandle;
    return 0;
}

int CSerialPort::Write(const void* data, int& count) {
    if (handle_ == kNoHandle) {
        return -1;
    }
    const int want = std::max(count, 0);
    count = 0;
    if (handle_ == kFailedHandle) {
        return 0;
    }
    const int fd = handle_;

    // The purge: whatever arrived since the last reply (late echoes, noise) is thrown away, so
    // the reply read after this write belongs to it. Only the receive side is flushed. The
    // transmit side is already empty, because every write ends in tcdrain(); and on a
    // pseudo-terminal a TCOFLUSH reaches into the peer's not yet delivered input, where it
    // would drop the last bytes of the previous write (byte-paced uploads lose bytes).
    tcflush(fd, TCIFLUSH);

    const auto deadline =
        Clock::now() + milliseconds(kWriteTimeoutConstantMs + kWriteTimeoutPerByteMs * want);
    const char* bytes = static_cast<const char*>(data);
    int written = 0;
    bool complete = true;
    while (written < want && !Cancelled()) {
        const ssize_t n = write(fd, bytes + written, static_cast<size_t>(want - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            const int ready = poll(&p, 1, MsLeft(deadline));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready > 0 && (p.revents & POLLOUT)) {
                continue;
            }
            lastIoError_ = ready == 0 ? ETIMEDOUT : EIO;
        } else {
            lastIoError_ = n < 0 ? errno : EIO;
        }
        complete = false;  // time-out, or the device has gone
        if (lastIoError_ == EIO || lastIoError_ == ENXIO || lastIoError_ == ENODEV ||
            lastIoError_ == EPIPE) {
            gone_ = true;
        }
        break;
    }
    complete = complete && written == want;
    // Wait until the bytes have left, so the purge of the next write cannot discard them.
    // Skipped after a failure: a stuck line would block here without limit.
    if (complete) {
        while (tcdrain(fd) != 0 && errno == EINTR) {
        }
    }
    count = written;
    return 0;
}

int CSerialPort::Read(void* buffer, int& count) {
    if (handle_ == kNoHandle) {
        return -1;
    }
    char* bytes = static_cast<char*>(buffer);
    const int want = std::max(count, 0);
    const auto limit = Clock::now() + milliseconds(ReadLimitMs(want, baudRate_));
    readOverran_ = false;
    int total = 0;
    int idle = 0;
    do {
        // A dead handle (failed open) or nothing left to ask for reads as empty at once, as
        // ReadFile does.
        ReadOutcome r;
        if (handle_ >= 0 && want > total && !gone_) {
            r = ReadOnce(handle_, bytes + total, want - total, limit);
        }
        if (r.gone != 0) {
            gone_ = true;
            lastIoError_ = r.gone;
            break;
        }
        total += r.got;
        idle = r.got > 0 ? 0 : idle + 1;
        if (Cancelled()) {
            break;
        }
        if (total < want && idle < kEmptyReadsEndingReply && Clock::now() >= limit) {
            readOverran_ = true;
            break;
        }
    } while (total < want && idle < kEmptyReadsEndingReply);
    bytes[total] = '\0';
    count = total;
    return 0;
}

int EnumerateComPorts(std::vector<unsigned>& ports) {
    ports.clear();
    for (int n = portmap::kFirstPort; n <= portmap::kLastPort; ++n) {
        if (portmap::PortExists(n)) {
            ports.push_back(static_cast<unsigned>(n));
        }
    }
    return 1;
}
