#pragma once
// The program's fixed waits, shortened for a test's lifetime and put back afterwards: here the
// 500 ms settling pause before each port open; the byte pause of an upload is the protocol's
// (ScopedBytePause.h). The simulator in --fast mode needs neither (a pseudo-terminal settles
// at once).

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

}  // namespace fwtest
