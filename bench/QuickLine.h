#pragma once
// Shortens the serial read's waits for the line to fall silent to `ms` (-1: as the program
// has them). See QuickLine.cpp.

namespace bench {

void SetLineQuietMs(int ms);

}  // namespace bench
