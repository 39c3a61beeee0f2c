#pragma once
// The program's fixed waits, shortened for a test's lifetime and put back afterwards: the
// 500 ms settling pause before each port open and the 50 ms pause after each uploaded byte.
// The simulator in --fast mode needs neither (a pseudo-terminal settles at once), but a byte
// pause of 0 lets a purge before the next write discard a byte the simulator has not read yet.

#include "protocol/Device.h"
#include "serial/SerialPort.h"

namespace fwtest {

template <int (*Get)(), void (*Set)(int)>
class ScopedWait {
public:
    explicit ScopedWait(int ms) : saved_(Get()) { Set(ms); }
    ~ScopedWait() { Set(saved_); }
    ScopedWait(const ScopedWait&) = delete;
    ScopedWait& operator=(const ScopedWait&) = delete;

    int saved() const { return saved_; }  // the value in force before

private:
    int saved_;
};

using ScopedOpenDelay = ScopedWait<&CSerialPort::OpenDelayMs, &CSerialPort::SetOpenDelayMs>;
using ScopedBytePause = ScopedWait<&CDeviceBase::BytePauseMs, &CDeviceBase::SetBytePauseMs>;

}  // namespace fwtest
