#pragma once
// One COM port: open and configure it (8 data bits, no parity, 1 stop bit, RTS on, no
// handshake), write a block, read a reply until the line falls silent, close it.
//
// The module protocol depends on two properties of this class:
//  - every Write first discards whatever is waiting in both directions, so the reply read
//    after a write belongs to that write (late echoes and noise are thrown away);
//  - a Read ends when the wanted count has arrived or when two reads in a row of 100 ms
//    each brought nothing, i.e. about 200 ms after the module's last byte.
//
// The implementation lives in SerialPort_posix.cpp (termios) and SerialPort_win32.cpp.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
using FernwellPortHandle = void*;  // HANDLE
#else
using FernwellPortHandle = int;  // file descriptor
#endif

class CSerialPort {
public:
    // Results of Open, by the step that failed.
    enum OpenResult {
        kOpenOk = 0,
        kOpenDeviceFailed = -1,    // the device could not be opened (absent, busy, no rights)
        kOpenSetStateFailed = -2,  // writing the line state failed
        kOpenBadDefinition = -3,   // the line definition was refused
        kOpenGetStateFailed = -4,  // reading the line state failed
        kOpenTimeoutsFailed = -5,  // setting the time-outs failed
    };

    CSerialPort();
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens COM `portNumber` (1..255) after closing what is held and waiting OpenDelayMs().
    // Returns 0 or one of the negative OpenResult codes. On failure LastErrorText() says why.
    int Open(int portNumber, int baudRate, char parity, int dataBits, int stopBits);
    // Opens the device `path` itself, not through a COM number (fernwell-cli --device), with
    // Open's steps and results otherwise. PortNumber() is 0 then.
    int OpenPath(const std::string& path, int baudRate, char parity, int dataBits,
                 int stopBits) {
        pathOverride_ = path;
        const int result = Open(0, baudRate, parity, dataBits, stopBits);
        pathOverride_.clear();
        return result;
    }
    // Purges both directions, then writes `count` bytes; `count` returns the number written.
    // Returns 0, or -1 when no port is held.
    int Write(const void* data, int& count);
    // Reads up to `count` bytes into `buffer` (which must hold count + 1 bytes: the reply is
    // always NUL-terminated); `count` returns the number received. Returns 0, or -1 when no
    // port is held.
    //
    // A read never lasts longer than the line needs for `count` characters at the open baud
    // rate (10 bits each), plus the 200 ms of silence that ends a reply and a margin: a module
    // that dribbles bytes slower than the silence rule notices would otherwise hold the read
    // for minutes. A read cut at that limit sets ReadOverran().
    int Read(void* buffer, int& count);
    // Closes the port if one is held. Returns 0.
    int Close();

    bool IsOpen() const;

    // True once a read or write found the device gone (hang-up of the peer, an unplugged
    // adapter: POLLHUP, EIO, ENXIO, end of file). Cleared by the next Open.
    bool Gone() const { return gone_; }
    // The system error of the last failed write, or of the read that found the device gone.
    int LastIoError() const { return lastIoError_; }
    // Whether the last Read ended at its time limit rather than by its count or by silence.
    bool ReadOverran() const { return readOverran_; }
    // The longest a Read of `count` characters may take at `baudRate`, in milliseconds: the
    // characters' line time (10 bits each; an unknown rate counts as 1200 baud, the slowest
    // the program uses), the 200 ms of silence that ends a reply, and 500 ms for the module
    // to start answering.
    static int ReadLimitMs(int count, int baudRate) {
        const long long baud = baudRate > 0 ? baudRate : 1200;
        const long long lineMs =
            (static_cast<long long>(count > 0 ? count : 0) * 10'000 + baud - 1) / baud;
        return static_cast<int>(lineMs) + 200 + 500;
    }

    // Lets a caller abandon an exchange from another thread or a signal handler: while
    // *flag is true, Read returns what has arrived within 100 ms and Write sends nothing
    // more. nullptr (the default) never cancels.
    void SetCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }
    bool Cancelled() const { return cancel_ != nullptr && cancel_->load(); }
    int PortNumber() const { return portNumber_; }
    // The system's error code and text captured where the last Open failed (empty after success).
    int LastError() const { return lastError_; }
    const std::string& LastErrorText() const { return lastErrorText_; }

    // The pause before every open (500 ms: gives an adapter time to settle after a close).
    // Tests shorten it; the program never changes it.
    static int OpenDelayMs();
    static void SetOpenDelayMs(int ms);

private:
    FernwellPortHandle handle_;
    int portNumber_ = 0;
    int baudRate_ = 0;
    bool gone_ = false;
    bool readOverran_ = false;
    int lastIoError_ = 0;
    const std::atomic<bool>* cancel_ = nullptr;
    std::string pathOverride_;  // set by OpenPath for the length of its Open
    int lastError_ = 0;
    std::string lastErrorText_;
};

// Empties `ports` and fills it with the numbers (1..255) of the COM ports that exist, in
// ascending order. A port that exists but is in use or not permitted is listed too.
// Returns 1.
int EnumerateComPorts(std::vector<unsigned>& ports);
