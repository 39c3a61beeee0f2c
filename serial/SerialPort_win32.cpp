// CSerialPort on the Win32 communications API.
//
// The read rule comes from the time-outs: with ReadIntervalTimeout and
// ReadTotalTimeoutMultiplier both MAXDWORD and ReadTotalTimeoutConstant 100, ReadFile returns
// at once with what is buffered, else with the first byte to arrive, else after 100 ms with
// nothing. Read stops after two such empty reads in a row.
//
// The device control block and the time-out record live only inside Open: nothing after
// Open needs them, and keeping them out of the header keeps <windows.h> out of it.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "serial/PortMap.h"
#include "serial/SerialPort.h"

namespace {

std::atomic<int> gOpenDelayMs{500};

}  // namespace

CSerialPort::CSerialPort() : handle_(nullptr) {}

// Closes a port still held (the program itself leaves its one port to the end of the process).
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
    return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
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

    // Unlike a failed CreateFile, a failure in steps 5 to 9 keeps the open handle: the next
    // Open or Close releases it.
    auto fail = [&](int code) {
        lastError_ = static_cast<int>(GetLastError());
        lastErrorText_ = portmap::OpenErrorText(lastError_, std::string());
        return code;
    };

    if (pathOverride_.empty() &&
        (portNumber < portmap::kFirstPort || portNumber > portmap::kLastPort)) {
        handle_ = INVALID_HANDLE_VALUE;
        lastError_ = ERROR_FILE_NOT_FOUND;
        lastErrorText_ = "COM" + std::to_string(portNumber) +
                         " is not a valid port number: ports are numbered 1 to 255.";
        return kOpenDeviceFailed;
    }

    // The plain "COM%d" form opens only COM1-COM9; the device namespace form opens every
    // number, and is the form EnumerateComPorts probes.
    char device[300];
    if (pathOverride_.empty()) {
        std::snprintf(device, sizeof device, "\\\\.\\COM%d", portNumber);
    } else {
        // A plain name ("COM33") is opened in the device namespace, where every number works.
        const bool hasPrefix = pathOverride_.rfind("\\\\", 0) == 0;
        std::snprintf(device, sizeof device, "%s%s", hasPrefix ? "" : "\\\\.\\",
                      pathOverride_.c_str());
    }
    char definition[50];
    std::snprintf(definition, sizeof definition, "baud=%d parity=%c data=%d stop=%d", baudRate,
                  parity, dataBits, stopBits);

    Sleep(static_cast<DWORD>(OpenDelayMs()));

    handle_ =
        CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        return fail(kOpenDeviceFailed);
    }

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = 100;
    timeouts.WriteTotalTimeoutMultiplier = 1000;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(handle_, &timeouts)) {
        return fail(kOpenTimeoutsFailed);
    }

    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(handle_, &line)) {
        return fail(kOpenGetStateFailed);
    }
    line.fRtsControl = RTS_CONTROL_ENABLE;
    // Naming no handshake makes BuildCommDCB turn XON/XOFF and hardware flow control off.
    if (!BuildCommDCBA(definition, &line)) {
        return fail(kOpenBadDefinition);
    }
    if (!SetCommState(handle_, &line)) {
        return fail(kOpenSetStateFailed);
    }
    PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    return kOpenOk;
}

int CSerialPort::Close() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
    }
    handle_ = nullptr;
    return 0;
}

int CSerialPort::Write(const void* data, int& count) {
    if (handle_ == nullptr) {
        return -1;
    }
    const int want = std::max(count, 0);
    count = 0;
    if (handle_ == INVALID_HANDLE_VALUE || Cancelled()) {
        return 0;
    }
    // Late echoes and noise go before the command, so the reply read next belongs to it. The
    // transmit queue is cleared only while it holds something: after the previous write's
    // FlushFileBuffers it is empty on Windows, and Wine turns the clear into a tcflush() that
    // drops whatever the other end has not read yet (the last command, on a pseudo-terminal).
    COMSTAT queues{};
    DWORD errors = 0;
    const bool outputQueued = ClearCommError(handle_, &errors, &queues) && queues.cbOutQue > 0;
    PurgeComm(handle_, PURGE_RXCLEAR | (outputQueued ? PURGE_TXCLEAR : 0));
    DWORD written = 0;
    if (!WriteFile(handle_, data, static_cast<DWORD>(want), &written, nullptr)) {
        // An unplugged USB adapter fails every call on its handle from then on.
        lastIoError_ = static_cast<int>(GetLastError());
        gone_ = lastIoError_ != ERROR_TIMEOUT;
    } else if (static_cast<int>(written) < want) {
        lastIoError_ = ERROR_TIMEOUT;  // the write time-outs ran out
    } else {
        // Until the driver has sent them, the next command's purge could still throw these
        // bytes away.
        FlushFileBuffers(handle_);
    }
    count = static_cast<int>(written);
    return 0;
}

int CSerialPort::Read(void* buffer, int& count) {
    if (handle_ == nullptr) {
        return -1;
    }
    char* bytes = static_cast<char*>(buffer);
    const int want = std::max(count, 0);
    const ULONGLONG limit = GetTickCount64() + static_cast<ULONGLONG>(ReadLimitMs(want, baudRate_));
    readOverran_ = false;
    int total = 0;
    int idle = 0;
    do {
        // A failed ReadFile (dead or invalid handle) counts as an empty read; on a valid
        // handle it means the device has gone.
        DWORD got = 0;
        if (!gone_ &&
            !ReadFile(handle_, bytes + total, static_cast<DWORD>(want - total), &got, nullptr) &&
            handle_ != INVALID_HANDLE_VALUE) {
            lastIoError_ = static_cast<int>(GetLastError());
            gone_ = true;
        }
        if (gone_) {
            break;
        }
        total += static_cast<int>(got);
        idle = got > 0 ? 0 : idle + 1;
        if (Cancelled()) {
            break;
        }
        if (total < want && idle < 2 && GetTickCount64() >= limit) {
            readOverran_ = true;
            break;
        }
    } while (total < want && idle < 2);
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
