#pragma once
// What the program's ReadAll makes of a freshly started simulator's dump with the flow held at
// 42.5 (--flow 42.5): the Defaults values as the module holds them, in single precision.

#include "protocol/ModuleData.h"

namespace simtest {

// The round trip goes through a volatile: g++ 12 at -O2 drops a plain double -> float -> double
// conversion of a record field here, which would compare the wrong value.
inline double Single(double v) {
    volatile float f = static_cast<float>(v);
    return f;
}

inline ModuleData612 Fresh612() {
    ModuleData612 d = Defaults612();
    d.text1 = "FERNWELL 612";
    d.text2 = "REV 3.10";
    d.word3 = 0x03100612;
    d.variantChar = '4';
    d.kFactor = Single(d.kFactor);
    d.offset = Single(d.offset);
    d.flowRate = 42.5;
    return d;
}

inline ModuleData640 Fresh640() {
    ModuleData640 d = Defaults640();
    d.text1 = "FERNWELL 640";
    d.text2 = "REV 2.20";
    d.word3 = 0x02200640;
    d.variantChar = '4';
    d.kFactor = Single(d.kFactor);
    d.offset = Single(d.offset);
    d.flowRate = 42.5;
    return d;
}

}  // namespace simtest
