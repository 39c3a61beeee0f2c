#pragma once
// Decoders of the module's replies, and the field encoders a stand-in for the module needs.
// Plain C++ so they can be tested and fuzzed alone.
//
// A reply is the bytes the port's read returned: a std::string_view of exactly the count
// received. The port also ends its buffer with a zero byte, but a zero byte sent by the
// module (line noise) does not end the reply here: it is one more character, which is not a
// digit in any decoder. So a dump with a stray 0x00 keeps its length and its later lines.
//
// No decoder reads past the end of what arrived. Where a field is shorter than the characters
// it should have (a cut-off line, a marker at the very end of a reply), the missing characters
// count as non-digits do in that decoder: 0 in a float nibble, skipped by ParseRadix.
// Bytes 0x80-0xFF are never passed to the C library's ctype functions.

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/LinkResult.h"
#include "protocol/ModuleData.h"

// What a query asks the port for, and the shortest dump that is decoded at all.
constexpr int kDumpReadChars = 1024;
constexpr int kValueReadChars = 16;
constexpr int kDumpMinChars612 = 163;
constexpr int kDumpMinChars640 = 247;
// Dump lines that must each be followed by CR LF.
constexpr int kDumpLines612 = 15;
constexpr int kDumpLines640 = 22;

// ---- Field decoders -------------------------------------------------------------------------

// Two characters as one byte, the first the high nibble: "0"-"9", "A"-"F", "a"-"f" give their
// value, anything else (and a missing character) gives 0. "7f" -> 0x7F, "G1" -> 0x01.
int HexPairValue(std::string_view chars);

// The module's 32-bit float, 8 hex characters: exponent byte first, then the sign bit with the
// top 7 mantissa bits, then the two low mantissa bytes.
//   "7F000000" -> 1.0    "80200000" -> 2.5    "7FC00000" -> -1.5    "00000000" -> 0.0
// It is the IEEE single with its sign moved from bit 31 to bit 23. Uses the first 8
// characters; non-hex and missing characters count as 0 nibbles.
double DecodeModuleFloat(std::string_view chars);

// Digits of radix `radix` (1..36, digit set 0-9 then A-Z, case ignored) in the first `count`
// characters of `text` (fewer if the text ends first). A character that is no digit of the
// radix is skipped: "00 0012A" with radix 16 gives 0x12A. Wraps modulo 2^32.
std::uint32_t ParseRadix(std::string_view text, int count, int radix);

// 16-bit value sent low byte first in the first four of 8 hex characters: "FB000000" -> 251,
// "20010000" -> 0x0120. Computed as ParseRadix(8, 16) with bits 31-24 the low byte and bits
// 23-16 the high byte; on a clean line that is the first pair low, the second pair high, and
// as in ParseRadix a skipped character moves the later digits up: "FB 00000" -> 0xB00F.
int Decode16Bit(std::string_view valueChars);

// One byte in the first two of 8 hex characters: "15000000" -> 21 (ParseRadix(8, 16),
// bits 31-24).
int DecodeTopByte(std::string_view valueChars);

// The 640 keeps its "u=" code as the number the four characters spell in decimal: sent
// "u=0251" it holds 251. Printing that number in decimal and reading the text as hex gives
// the code back: 251 -> 0x0251. (A held number above 9999 gives a code above 0xFFFF.)
int DecimalReread(int heldValue);

// ---- Replies --------------------------------------------------------------------------------

// Single-value replies of "f", "h", "l": the marker "<letter>=" anywhere in the reply and the
// 8 characters after it, e.g. "f\r\nf=7F000000\r\n" (echo before the marker is fine).
// Returns kLinkShortReply when the marker is absent or fewer than 8 characters follow it (a
// reply cut by a pause on the line), kLinkGarbledReply when one of the 8 is no hex digit
// (noise), else kLinkOk. A cut or noisy reply is never taken for a value: "h=0000" followed
// by silence would otherwise read as "not activated".
LinkResult FindMarkedValue(std::string_view reply, char letter, std::string_view& value);
// "f=84480000" -> 50.0 (DecodeModuleFloat); a float that is no number is kLinkGarbledReply.
LinkResult DecodeFlowReply(std::string_view reply, double& flow);
// "h=05000101" -> 0x05000101 (ParseRadix(8, 16)); `letter` is 'h' or 'l'.
LinkResult DecodeStatusReply(std::string_view reply, char letter, std::uint32_t& status);

// What an "h" or "l" status word says, byte 0 the least significant:
//   byte 0  nonzero while a set or release delay runs
//   byte 1  nonzero while the alarm is activated
//   byte 3  how long the running delay has run, in ticks of 0.262144 s
// The module runs one delay at a time: the release delay once the alarm is activated, the set
// delay before that. "h=28000001" is a set delay 40 ticks (10 s) into its run.
inline constexpr double kAlarmTickSeconds = 0.262144;  // 2^18 microseconds
struct AlarmStatusBits {
    bool activated = false;
    bool waitingToActivate = false;
    bool waitingToRelease = false;
    unsigned delayTicks = 0;  // byte 3, whether or not a delay runs
};
AlarmStatusBits DecodeAlarmStatusWord(std::uint32_t status);

// The "v" dump, lines ended by CR LF; line 0 (before the first CR LF) is ignored:
//   "v\r\n"             line 0, e.g. the echo
//   "> FERNWELL 612\r\n"  1 text1 ("FERNWELL 612", its first two characters dropped)
//   "REV 3.1\r\n"         2 text2
//   "> 00000612\r\n"     3 word3, and so on: two characters skipped, then 8 value characters
//   "p\r\n"              4 variantChar
//   "> 7F5926E9\r\n"     5 kFactor (1.6965) ...
// Returns kLinkShortReply under 163 (612) / 247 (640) characters, kLinkMissingSeparator when
// a listed line has no CR LF after it (the fields of earlier lines are stored),
// kLinkGarbledReply when a float field decodes to NaN or infinity (all fields stored), else
// kLinkOk.
LinkResult DecodeDump612(std::string_view reply, ModuleData612& data);
LinkResult DecodeDump640(std::string_view reply, ModuleData640& data);

// Whether a dump has the shape of a clean reply, beyond what decoding needs: every value line
// (line 3, and lines 5 to the model's last) is two characters followed by exactly 8
// characters, each a hex digit or a blank. One line too many before the dump (an extra CR LF)
// shifts every line and fails here, though it decodes. Settings read from a dump are only
// written back to the module when it passes.
bool DumpShapeOk(std::string_view reply, int lastLine);

// ---- Encoders (the module's side) -----------------------------------------------------------

// Inverse of DecodeModuleFloat, upper-case: 1.0 -> "7F000000". The value is rounded to single
// precision first, as the module holds it.
std::string EncodeModuleFloat(double value);
// 8 upper-case hex digits, most significant first: 0x05000101 -> "05000101".
std::string EncodeHexWord(std::uint32_t value);
// Inverse of Decode16Bit (low 16 bits): 251 -> "FB000000".
std::string Encode16Bit(int value);
// Inverse of DecodeTopByte (low 8 bits): 21 -> "15000000".
std::string EncodeTopByte(int value);
