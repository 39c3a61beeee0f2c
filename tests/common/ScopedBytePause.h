#pragma once
// The 50 ms pause after each uploaded byte, shortened for a test's lifetime. A pause of 0 lets
// a purge before the next write discard a byte the simulator has not read yet, so tests keep
// a little of it.

#include "protocol/Device.h"
#include "tests/common/ScopedWaits.h"

namespace fwtest {

using ScopedBytePause = ScopedWait<&DeviceBase::BytePauseMs, &DeviceBase::SetBytePauseMs>;

}  // namespace fwtest
