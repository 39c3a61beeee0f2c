#pragma once
// What the window system's own menu of a window ends with: the text of its last item, or empty
// where windows have no system menu (off Windows), so a test can tell where the program put
// its About item.

#include <cstdint>
#include <string>

namespace fwtest {

std::wstring LastSystemMenuItem(std::uintptr_t winId);

}  // namespace fwtest
