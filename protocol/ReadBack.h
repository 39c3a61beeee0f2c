#pragma once
// The read-back after an upload: what the module must report, field by field, against what was
// sent.

#include <string>
#include <vector>

#include "protocol/ModuleData.h"

// One field of an upload whose read-back differs from what was sent.
struct ReadBackMismatch {
    std::string field;  // the record's field name, e.g. "kFactor"
    std::string sent;   // the value as sent, e.g. "2.5"
    std::string held;   // the value the module now reports
};

// What the module must report after an upload of `sent`, field by field, allowing exactly for
// what the wire and the module do to each command:
//  - a number command carries the value cut to 10 characters ("e=123.4567"), which the module
//    holds as a 32-bit float: it reads back as that text rounded to single precision (one unit
//    in the last place either way is allowed, for the module's own decimal conversion);
//  - a four-digit code is read by the module as a decimal number: the 612's "u=%0.4d" and the
//    640's modes and delays come back as the number (8 or 16 bits of it, as the dump carries
//    it); the 612's "d=%0.4x" comes back as the number its hex digits spell in decimal (0x51
//    sent as "d=0051" is held as 51); the 640's "u=%0.4x" comes back through the decimal
//    re-read as the code itself, which only works when its four hex digits are all decimal
//    digits;
//  - the "s=" commands have no read-back.
// Returns the fields that differ, in upload order; empty when the module holds what was sent.
std::vector<ReadBackMismatch> CompareReadBack(const ModuleData612& sent, const ModuleData612& held);
std::vector<ReadBackMismatch> CompareReadBack(const ModuleData640& sent, const ModuleData640& held);
