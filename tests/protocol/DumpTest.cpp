// The "v" dump of both models: length check, CR LF line table, field decoding, bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "protocol/Decode.h"

using namespace std::string_literals;

namespace {

// Line 0 (the echo) and the listed lines, each followed by CR LF.
std::string Join(const std::vector<std::string>& lines) {
    std::string dump;
    for (const std::string& line : lines) {
        dump += line + "\r\n";
    }
    return dump;
}

std::vector<std::string> Lines612() {
    return {"v",          "> TEST 612", "REV 3.10",   "> 00000612", "p",          "> 7F5926E9",
            "> 7A71A9FC", "> 80000000", "> 85480000", "> 82480000", "> 84480000", "> 7FC00000",
            "> 0000ABCD", "> 80500000", "> 20010000", "> 15000000"};
}

// The fields in dump line order.
ModuleData612 Expected612() {
    return {"TEST 612", "REV 3.10", 0x612, 'p',    1.6965f, 0.059f, 2.0, 100.0,
            12.5,       50.0,       -1.5,  0xABCD, 3.25,    0x0120, 21};
}

std::vector<std::string> Lines640() {
    return {"v",          "> TEST 640", "REV 2.0",    "> 00000640", "s",          "> 7F5926E9",
            "> 7A71A9FC", "> 7F000000", "> 84480000", "> 82480000", "> 12345678", "> FB000000",
            "> 84700000", "> 85700000", "> 855C0000", "> 81200000", "> 82200000", "> 02000000",
            "> 01000000", "> 05010000", "> 0A000000", "> 2C010000", "> FFFF0000"};
}

ModuleData640 Expected640() {
    return {"TEST 640", "REV 2.0", 0x640, 's', 1.6965f, 0.059f, 1.0, 50.0, 12.5, 0x12345678,
            0x0251,  // the module holds 251
            60.0,       120.0,     110.0, 5.0, 10.0,    2,      1,   261,  10,   300,        65535};
}

// The reply in a heap block of exactly its size, so AddressSanitizer sees any read past it.
template <typename Record>
LinkResult DecodeExact(const std::string& reply, Record& data) {
    const std::unique_ptr<char[]> bytes(new char[reply.size()]);
    std::copy(reply.begin(), reply.end(), bytes.get());
    const std::string_view view(bytes.get(), reply.size());
    if constexpr (std::is_same_v<Record, ModuleData612>) {
        return DecodeDump612(view, data);
    } else {
        return DecodeDump640(view, data);
    }
}

TEST(DumpTest, WellFormedDumpsFillEveryField) {
    ModuleData612 d612;
    EXPECT_EQ(DecodeExact(Join(Lines612()), d612), kLinkOk);
    EXPECT_EQ(d612, Expected612());
    ModuleData640 d640;
    EXPECT_EQ(DecodeExact(Join(Lines640()), d640), kLinkOk);
    EXPECT_EQ(d640, Expected640());
}

TEST(DumpTest, LengthLimitIsCheckedBeforeAnything) {
    // Well-formed dumps brought to `length` through the text lines (cut when they cannot be
    // made that short, which only happens below the 640's limit).
    const auto sized = [](std::vector<std::string> lines, std::size_t length) {
        lines[1] = ">";
        lines[2].clear();
        const std::size_t base = Join(lines).size();
        if (base > length) {
            return Join(lines).substr(0, length);
        }
        lines[2].assign(length - base, 'x');
        return Join(lines);
    };
    struct Row {
        int line;
        std::size_t length;
        LinkResult r612;
        LinkResult r640;
    };
    const Row rows[] = {
        {__LINE__, 162, kLinkShortReply, kLinkShortReply},
        {__LINE__, 163, kLinkOk, kLinkShortReply},
        {__LINE__, 247, kLinkOk, kLinkOk},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ModuleData612 d612;
        EXPECT_EQ(DecodeExact(sized(Lines612(), row.length), d612), row.r612);
        EXPECT_EQ(d612.kFactor, row.r612 == kLinkOk ? 1.6965f : 0.0);
        ModuleData640 d640;
        EXPECT_EQ(DecodeExact(sized(Lines640(), row.length), d640), row.r640);
        EXPECT_EQ(d640.kFactor, row.r640 == kLinkOk ? 1.6965f : 0.0);
    }
}

std::string With612Line(int n, std::string text) {
    std::vector<std::string> lines = Lines612();
    lines[n] = std::move(text);
    return Join(lines);
}

// Variations of the 612 dump: the result, and the record as Expected612() changed by `patch`.
TEST(DumpTest, BadInput612) {
    using Patch = void (*)(ModuleData612&);
    struct Row {
        int line;
        std::string reply;
        LinkResult result;
        Patch patch;
    };
    const std::string good = Join(Lines612());
    std::string loneLf = good;
    loneLf.replace(loneLf.find("> 20010000\r\n"), 12, "> 20010000\n");
    const Row rows[] = {
        {__LINE__, std::string(1024, 'A'), kLinkMissingSeparator, [](auto& d) { d = {}; }},
        {__LINE__, "v\r\n" + std::string(1021, 'A'), kLinkMissingSeparator,
         [](auto& d) { d = {}; }},
        // Line 15 without its CR LF: line 14 (SensorCode) is stored, PulseUnitCode is not.
        {__LINE__, good.substr(0, good.size() - 2), kLinkMissingSeparator,
         [](auto& d) { d.PulseUnitCode = 0; }},
        // A lone LF ends no line: lines 14 and 15 become one, and line 15 has no CR LF.
        {__LINE__, loneLf, kLinkMissingSeparator, [](auto& d) { d.PulseUnitCode = 0; }},
        {__LINE__, With612Line(5, "> 7f5926e9"), kLinkOk, [](auto&) {}},  // lower case
        {__LINE__, With612Line(5, "> 7F"), kLinkOk, [](auto& d) { d.kFactor = 1.0; }},
        {__LINE__, With612Line(5, ">"), kLinkOk, [](auto& d) { d.kFactor = 0.0; }},
        {__LINE__, With612Line(4, ""), kLinkOk, [](auto& d) { d.variantChar = 0; }},
        {__LINE__, With612Line(1, ">"), kLinkOk, [](auto& d) { d.text1.clear(); }},
        {__LINE__, With612Line(14, "> 2001"), kLinkOk, [](auto& d) { d.SensorCode = 0; }},
        {__LINE__, With612Line(15, "\377\2001"), kLinkOk, [](auto& d) { d.PulseUnitCode = 0; }},
        // 0x00 and high bytes are characters like any other: the text keeps them, digits skip
        // them, float nibbles take them as 0, and the reply goes on after them.
        {__LINE__, With612Line(1, "> \0\377A"s), kLinkOk, [](auto& d) { d.text1 = "\0\377A"s; }},
        {__LINE__, With612Line(14, "> 20\000010000"s), kLinkOk,  // counts "2001000"
         [](auto& d) { d.SensorCode = 0x0002; }},
        {__LINE__, With612Line(5, "> 7F\00000000"s), kLinkOk, [](auto& d) { d.kFactor = 1.0; }},
        // A float that is no number is garbled; every field is stored all the same.
        {__LINE__, With612Line(10, "> FF400000"), kLinkGarbledReply,
         [](auto& d) { d.flowRate = std::nan(""); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ModuleData612 expected = Expected612();
        row.patch(expected);
        ModuleData612 data;
        EXPECT_EQ(DecodeExact(row.reply, data), row.result);
        if (std::isnan(expected.flowRate)) {
            EXPECT_TRUE(std::isnan(data.flowRate));
            data.flowRate = expected.flowRate = 0;
        }
        EXPECT_EQ(data, expected);
    }
}

// Settings read from a dump are written back only when every value line is clean.
TEST(DumpTest, Shape) {
    struct Row {
        int line;
        std::string reply;
        int lastLine;
        bool ok;
    };
    const Row rows[] = {
        {__LINE__, Join(Lines612()), 15, true},
        {__LINE__, Join(Lines640()), 22, true},
        {__LINE__, With612Line(5, "> 7f5926e9"), 15, true},
        {__LINE__, With612Line(5, "> 7F 926E9"), 15, true},  // a blank is skipped
        {__LINE__, "\r\n" + Join(Lines612()), 15, false},    // every line shifted by one
        {__LINE__, With612Line(5, "> 7F5926E"), 15, false},
        {__LINE__, With612Line(5, "> 7F5926E90"), 15, false},
        {__LINE__, With612Line(3, "> 0000061G"), 15, false},
        {__LINE__, With612Line(15, "> 1500000\x1b"), 15, false},
        {__LINE__, With612Line(4, "any text"), 15, true},  // line 4 is no value line
        {__LINE__, Join(Lines612()), 16, false},           // the 612 has no line 16
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(DumpShapeOk(row.reply, row.lastLine), row.ok);
    }
}

// Every cut of a good dump: short below the limit, a missing separator up to the last CR LF.
TEST(DumpTest, EveryTruncation) {
    const std::string full612 = Join(Lines612());
    for (std::size_t n = 0; n <= full612.size(); ++n) {
        SCOPED_TRACE(n);
        ModuleData612 data;
        const LinkResult expected = n < 163              ? kLinkShortReply
                                    : n < full612.size() ? kLinkMissingSeparator
                                                         : kLinkOk;
        EXPECT_EQ(DecodeExact(full612.substr(0, n), data), expected);
    }
    const std::string full640 = Join(Lines640());
    for (std::size_t n = 0; n <= full640.size(); ++n) {
        SCOPED_TRACE(n);
        ModuleData640 data;
        const LinkResult expected = n < 247              ? kLinkShortReply
                                    : n < full640.size() ? kLinkMissingSeparator
                                                         : kLinkOk;
        EXPECT_EQ(DecodeExact(full640.substr(0, n), data), expected);
    }
}

}  // namespace
