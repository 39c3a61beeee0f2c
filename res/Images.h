#pragma once
// Images compiled into the program (Qt resource file fernwell.qrc): the icon 128, the
// banner 1001 and the lamps 144-149.

#include <vector>

namespace res {

// Resource path (":/images/...") of bitmap `id`, or nullptr when there is none.
const char* BitmapFile(int id);

// Resource paths of the sizes of icon `id` (16, 32 and 48 pixels), or none.
std::vector<const char*> IconFiles(int id);

// Makes sure the images are registered. A static library's resource initialiser is dropped
// by the linker unless something refers to it; every lookup above calls this first.
void InitResources();

}  // namespace res
