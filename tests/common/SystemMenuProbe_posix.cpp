#include "tests/common/SystemMenuProbe.h"

namespace fwtest {

std::wstring LastSystemMenuItem(std::uintptr_t /*winId*/) {
    return {};
}

}  // namespace fwtest
