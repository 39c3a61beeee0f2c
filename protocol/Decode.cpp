#include "protocol/Decode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>

#include "protocol/Fields.h"

namespace {

// The characters of `text` from `pos` on; empty when the text is shorter.
std::string_view From(std::string_view text, std::size_t pos) {
    return pos < text.size() ? text.substr(pos) : std::string_view{};
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int HexNibble(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return 0;
}

// ASCII upper case only: bytes 0x80-0xFF are no digits in any radix, so leaving them as they
// are gives the same result as any code page's upper-casing, without toupper() on a
// negative char.
char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Position of `c` among the digits 0-9 A-Z, or -1.
int DigitPosition(char c) {
    c = AsciiUpper(c);
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return -1;
}

// A dump value line: two characters skipped unchecked, then the value characters.
std::string_view ValueChars(std::string_view line) {
    return From(line, 2);
}

std::uint32_t ParseHex8(std::string_view valueChars) {
    return ParseRadix(valueChars, 8, 16);
}

// Line 1: the text after its first two characters.
std::string LineText(std::string_view line) {
    return std::string(From(line, 2));
}
// Line 4: its first character, nothing skipped (0 for an empty line).
char LineFirstChar(std::string_view line) {
    return line.empty() ? '\0' : line[0];
}
std::uint32_t LineHex8(std::string_view line) {
    return ParseHex8(ValueChars(line));
}
double LineFloat(std::string_view line) {
    return DecodeModuleFloat(ValueChars(line));
}

// One dump line into its field.
template <typename Record>
void DecodeLine(const RecordField<Record>& field, std::string_view line, Record& data) {
    switch (field.dump) {
        case DumpForm::Title:
            field.template Of<std::string>(data) = LineText(line);
            break;
        case DumpForm::Text:
            field.template Of<std::string>(data) = std::string(line);
            break;
        case DumpForm::Char:
            field.template Of<char>(data) = LineFirstChar(line);
            break;
        case DumpForm::Word:
            field.template Of<std::uint32_t>(data) = LineHex8(line);
            break;
        case DumpForm::Float:
            field.template Of<double>(data) = LineFloat(line);
            break;
        case DumpForm::Low16:
            field.template Of<int>(data) = Decode16Bit(ValueChars(line));
            break;
        case DumpForm::Low16Reread:
            field.template Of<int>(data) = DecimalReread(Decode16Bit(ValueChars(line)));
            break;
        case DumpForm::TopByte:
            field.template Of<int>(data) = DecodeTopByte(ValueChars(line));
            break;
    }
}

// Walks the dump's lines 1..N, decoding each into its field of the record's table once the
// CR LF after it has been found. Line 0 is whatever precedes the first CR LF (usually the echo
// of "v\r") and is dropped. A float field that is no number makes the dump garbled, once
// every field is stored.
template <typename Record>
LinkResult WalkDump(std::string_view reply, int minChars, Record& data) {
    if (reply.size() < static_cast<std::size_t>(minChars)) {
        return kLinkShortReply;
    }
    constexpr std::string_view kSeparator = "\r\n";
    std::size_t end = reply.find(kSeparator);
    if (end == std::string_view::npos) {
        return kLinkMissingSeparator;
    }
    std::size_t begin = end + kSeparator.size();
    for (const RecordField<Record>& field : FieldTable<Record>()) {
        end = reply.find(kSeparator, begin);
        if (end == std::string_view::npos) {
            return kLinkMissingSeparator;
        }
        DecodeLine(field, reply.substr(begin, end - begin), data);
        begin = end + kSeparator.size();
    }
    for (const RecordField<Record>& field : FieldTable<Record>()) {
        if (field.dump == DumpForm::Float && !std::isfinite(field.template Of<double>(data))) {
            return kLinkGarbledReply;
        }
    }
    return kLinkOk;
}

}  // namespace

int HexPairValue(std::string_view chars) {
    const int high = chars.size() > 0 ? HexNibble(chars[0]) : 0;
    const int low = chars.size() > 1 ? HexNibble(chars[1]) : 0;
    return high * 16 + low;
}

double DecodeModuleFloat(std::string_view chars) {
    const std::uint32_t exponent = HexPairValue(From(chars, 0));
    const std::uint32_t m2 = HexPairValue(From(chars, 2));
    const std::uint32_t m1 = HexPairValue(From(chars, 4));
    const std::uint32_t m0 = HexPairValue(From(chars, 6));
    const std::uint32_t bits =
        ((m2 & 0x80u) << 24) | (exponent << 23) | ((m2 & 0x7Fu) << 16) | (m1 << 8) | m0;
    return static_cast<double>(std::bit_cast<float>(bits));
}

std::uint32_t ParseRadix(std::string_view text, int count, int radix) {
    radix = std::clamp(radix, 1, 36);
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(std::max(count, 0)));
    std::uint32_t result = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int digit = DigitPosition(text[i]);
        if (digit >= 0 && digit < radix) {
            result = result * static_cast<std::uint32_t>(radix) + static_cast<std::uint32_t>(digit);
        }
    }
    return result;
}

int Decode16Bit(std::string_view valueChars) {
    const std::uint32_t word = ParseHex8(valueChars);
    const std::uint32_t low = (word >> 24) & 0xFFu;
    const std::uint32_t high = (word >> 16) & 0xFFu;
    return static_cast<int>((high << 8) | low);
}

int DecodeTopByte(std::string_view valueChars) {
    return static_cast<int>((ParseHex8(valueChars) >> 24) & 0xFFu);
}

int DecimalReread(int heldValue) {
    const std::string decimal = std::to_string(heldValue);
    return static_cast<int>(ParseRadix(decimal, static_cast<int>(decimal.size()), 16));
}

LinkResult FindMarkedValue(std::string_view reply, char letter, std::string_view& value) {
    const char marker[2] = {letter, '='};
    const std::size_t at = reply.find(std::string_view(marker, 2));
    if (at == std::string_view::npos) {
        return kLinkShortReply;
    }
    value = From(reply, at + 2).substr(0, 8);
    if (value.size() < 8) {
        return kLinkShortReply;
    }
    if (!std::all_of(value.begin(), value.end(), IsHexDigit)) {
        return kLinkGarbledReply;
    }
    return kLinkOk;
}

LinkResult DecodeFlowReply(std::string_view reply, double& flow) {
    std::string_view value;
    const LinkResult result = FindMarkedValue(reply, 'f', value);
    if (result != kLinkOk) {
        return result;
    }
    const double decoded = DecodeModuleFloat(value);
    if (!std::isfinite(decoded)) {
        return kLinkGarbledReply;
    }
    flow = decoded;
    return kLinkOk;
}

LinkResult DecodeStatusReply(std::string_view reply, char letter, std::uint32_t& status) {
    std::string_view value;
    const LinkResult result = FindMarkedValue(reply, letter, value);
    if (result == kLinkOk) {
        status = ParseHex8(value);
    }
    return result;
}

LinkResult DecodeDump612(std::string_view reply, ModuleData612& data) {
    return WalkDump(reply, kDumpMinChars612, data);
}

LinkResult DecodeDump640(std::string_view reply, ModuleData640& data) {
    return WalkDump(reply, kDumpMinChars640, data);
}

bool DumpShapeOk(std::string_view reply, int lastLine) {
    constexpr std::string_view kSeparator = "\r\n";
    std::size_t end = reply.find(kSeparator);  // line 0 (the echo) is not looked at
    for (int line = 1; line <= lastLine; ++line) {
        if (end == std::string_view::npos) {
            return false;
        }
        const std::size_t begin = end + kSeparator.size();
        end = reply.find(kSeparator, begin);
        if (end == std::string_view::npos) {
            return false;
        }
        if (line == 3 || line >= 5) {
            const std::string_view text = reply.substr(begin, end - begin);
            if (text.size() != 10 || !std::all_of(text.begin() + 2, text.end(), [](char c) {
                    return c == ' ' || IsHexDigit(c);
                })) {
                return false;
            }
        }
    }
    return true;
}

std::string EncodeModuleFloat(double value) {
    // Beyond the float range the module would hold infinity; say so without relying on the
    // conversion of an out-of-range double.
    float single = std::numeric_limits<float>::infinity();
    if (std::isnan(value) || std::fabs(value) <= std::numeric_limits<float>::max()) {
        single = static_cast<float>(value);
    } else if (value < 0) {
        single = -single;
    }
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(single);
    const std::uint32_t exponent = (bits >> 23) & 0xFFu;
    const std::uint32_t m2 = ((bits >> 24) & 0x80u) | ((bits >> 16) & 0x7Fu);
    return EncodeHexWord((exponent << 24) | (m2 << 16) | (bits & 0xFFFFu));
}

std::string EncodeHexWord(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

std::string Encode16Bit(int value) {
    const auto word = static_cast<std::uint32_t>(value) & 0xFFFFu;
    return EncodeHexWord(((word & 0xFFu) << 24) | ((word >> 8) << 16));
}

std::string EncodeTopByte(int value) {
    return EncodeHexWord((static_cast<std::uint32_t>(value) & 0xFFu) << 24);
}

AlarmStatusBits DecodeAlarmStatusWord(std::uint32_t status) {
    AlarmStatusBits bits;
    bits.activated = (status & 0x0000FF00u) != 0;
    const bool delaying = (status & 0x000000FFu) != 0;
    bits.waitingToActivate = delaying && !bits.activated;
    bits.waitingToRelease = delaying && bits.activated;
    bits.delayTicks = status >> 24;
    return bits;
}
