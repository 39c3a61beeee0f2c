// Field and single-value decoders, and their inverse encoders.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "protocol/Decode.h"

using namespace std::string_literals;

namespace {

TEST(DecodeTest, ModuleFloat) {
    struct Row {
        int line;
        std::string chars;
        double expected;
    };
    const Row rows[] = {
        {__LINE__, "7F000000", 1.0},
        {__LINE__, "80200000", 2.5},
        {__LINE__, "7FC00000", -1.5},
        {__LINE__, "00000000", 0.0},
        {__LINE__, "7f5926e9", static_cast<double>(1.6965f)},    // lower case
        {__LINE__, "7F5926E9FF", static_cast<double>(1.6965f)},  // only 8 characters count
        {__LINE__, "7F 40000", 1.03125},  // a non-hex nibble is 0, not skipped (M2 = 0x04)
        {__LINE__, "7FC", -1.5},          // missing nibbles are 0
        {__LINE__, "", 0.0},
        {__LINE__,
         "\x80\xFF\x00\x7F"
         "0000"s,
         0.0},
        {__LINE__,
         "7F\xC0"
         "00000"s,
         1.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(DecodeModuleFloat(row.chars), row.expected);
    }
}

TEST(DecodeTest, ParseRadix) {
    struct Row {
        int line;
        std::string text;
        int count;
        int radix;
        std::uint32_t expected;
    };
    const Row rows[] = {
        {__LINE__, "00 0012A", 8, 16, 0x12A},  // blank skipped
        {__LINE__, "05000101", 8, 16, 0x05000101},
        {__LINE__, "deadBEEF", 8, 16, 0xDEADBEEF},
        {__LINE__, "12345678", 4, 16, 0x1234},  // only the first `count` characters
        {__LINE__, "12", 8, 16, 0x12},          // text ends first
        {__LINE__, "1G2", 3, 16, 0x12},         // G is no hex digit
        {__LINE__, "1G2", 3, 17, 1 * 289 + 16 * 17 + 2},
        {__LINE__, "z9", 2, 36, 35 * 36 + 9},
        {__LINE__, "-251", 4, 10, 251},
        {__LINE__,
         "1\x00\xFF\x80"
         "2"s,
         5, 16, 0x12},                               // 0x00 is a character, not the end
        {__LINE__, "FFFFFFFFF", 9, 16, 0xFFFFFFFF},  // wraps modulo 2^32
        {__LINE__, "123", -1, 16, 0},
        {__LINE__, "", 8, 16, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(ParseRadix(row.text, row.count, row.radix), row.expected);
    }
}

TEST(DecodeTest, SixteenBitAndTopByteRules) {
    struct Row {
        int line;
        std::string chars;
        int sixteenBit;
        int topByte;
    };
    const Row rows[] = {
        {__LINE__, "FB000000", 251, 0xFB},
        {__LINE__, "20010000", 0x0120, 0x20},
        {__LINE__, "0501ffff", 0x0105, 0x05},  // the last four characters do not count
        {__LINE__, "15000000", 0x0015, 21},
        {__LINE__, "FFFF0000", 0xFFFF, 0xFF},
        // A skipped character moves the later digits up, as in ParseRadix.
        {__LINE__, "FB 00000", 0xB00F, 0x0F},
        {__LINE__, "2001", 0, 0},  // cut line: only four digits arrived
        {__LINE__, "", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(Decode16Bit(row.chars), row.sixteenBit);
        EXPECT_EQ(DecodeTopByte(row.chars), row.topByte);
    }
}

TEST(DecodeTest, DecimalReread) {
    const int rows[][3] = {
        {__LINE__, 251, 0x0251}, {__LINE__, 120, 0x0120},    {__LINE__, 2001, 0x2001},
        {__LINE__, 0, 0},        {__LINE__, 65535, 0x65535},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(DecimalReread(row[1]), row[2]);
    }
}

TEST(DecodeTest, StatusReplies) {
    struct Row {
        int line;
        std::string reply;
        char letter;
        LinkResult result;
        std::uint32_t status;  // 0xCCCCCCCC: left untouched
    };
    const Row rows[] = {
        {__LINE__, "h=05000101\r\n", 'h', kLinkOk, 0x05000101},
        {__LINE__, "h\r\nl=0000012a", 'l', kLinkOk, 0x12A},
        {__LINE__, "l=ffffffff", 'l', kLinkOk, 0xFFFFFFFF},
        // A cut or noisy value is no value: an active alarm must not read as "not activated".
        {__LINE__, "h=0500", 'h', kLinkShortReply, 0xCCCCCCCC},
        {__LINE__, "h=0000010", 'h', kLinkShortReply, 0xCCCCCCCC},
        {__LINE__, "0123456789abcdh=", 'h', kLinkShortReply, 0xCCCCCCCC},
        {__LINE__, "h\r\nl=00 0012A", 'l', kLinkGarbledReply, 0xCCCCCCCC},
        {__LINE__,
         "h=\x00\xFF"
         "1\x80"
         "0000"s,
         'h', kLinkGarbledReply, 0xCCCCCCCC},
        {__LINE__, "h=05000101", 'l', kLinkShortReply, 0xCCCCCCCC},
        {__LINE__, "H=05000101", 'h', kLinkShortReply, 0xCCCCCCCC},
        {__LINE__, "h\r", 'h', kLinkShortReply, 0xCCCCCCCC},  // the echo alone
        {__LINE__, "", 'h', kLinkShortReply, 0xCCCCCCCC},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        std::uint32_t status = 0xCCCCCCCC;
        EXPECT_EQ(DecodeStatusReply(row.reply, row.letter, status), row.result);
        EXPECT_EQ(status, row.status);
    }
}

// Bits 15-8 activated, 7-0 a delay running (which one follows from 15-8), 31-24 its ticks;
// 23-16 unused.
TEST(DecodeTest, AlarmStatusWord) {
    struct Row {
        int line;
        std::uint32_t status;
        bool activated, waitingToActivate, waitingToRelease;
        unsigned ticks;
    } rows[] = {
        {__LINE__, 0x00000000, false, false, false, 0},
        {__LINE__, 0x00000001, false, true, false, 0},
        {__LINE__, 0x00000080, false, true, false, 0},
        {__LINE__, 0x00000100, true, false, false, 0},
        {__LINE__, 0x00008000, true, false, false, 0},
        {__LINE__, 0x00000101, true, false, true, 0},
        {__LINE__, 0x00FF0000, false, false, false, 0},
        {__LINE__, 0x28000001, false, true, false, 40},  // a set delay 10 s into its run
        {__LINE__, 0x01000000, false, false, false, 1},  // the count stays without a delay
        {__LINE__, 0xFF008001, true, false, true, 255},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const AlarmStatusBits bits = DecodeAlarmStatusWord(row.status);
        EXPECT_EQ(bits.activated, row.activated);
        EXPECT_EQ(bits.waitingToActivate, row.waitingToActivate);
        EXPECT_EQ(bits.waitingToRelease, row.waitingToRelease);
        EXPECT_EQ(bits.delayTicks, row.ticks);
    }
}

TEST(DecodeTest, FlowReplies) {
    struct Row {
        int line;
        std::string reply;
        LinkResult result;
        double flow;  // -7.0: left untouched
    };
    const Row rows[] = {
        {__LINE__, "f=7F000000", kLinkOk, 1.0},
        {__LINE__, "f\r\nf=80200000\r\n", kLinkOk, 2.5},  // echo before the marker
        {__LINE__, "garbage\xFF f=80200000", kLinkOk, 2.5},
        {__LINE__, "f=80200000f=7F00", kLinkOk, 2.5},  // the first marker counts
        {__LINE__, "f=7fc00000\r\n", kLinkOk, -1.5},
        {__LINE__, "0123456789abf=7F", kLinkShortReply, -7.0},  // 16 characters, value cut
        {__LINE__, "0123456789abcdf=", kLinkShortReply, -7.0},
        {__LINE__, "f=7F00000G", kLinkGarbledReply, -7.0},
        {__LINE__, "f=FF000000", kLinkGarbledReply, -7.0},  // infinity
        {__LINE__, "f=FF400000", kLinkGarbledReply, -7.0},  // NaN
        {__LINE__, "f\r", kLinkShortReply, -7.0},
        {__LINE__, "h=7F000000", kLinkShortReply, -7.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        double flow = -7.0;
        EXPECT_EQ(DecodeFlowReply(row.reply, flow), row.result);
        EXPECT_EQ(flow, row.flow);
    }
}

TEST(DecodeTest, EncodersInvertDecoders) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        int line;
        double value;
        std::string chars;
        double back;  // the value as the module holds it: single precision
    };
    const Row rows[] = {
        {__LINE__, -1.5, "7FC00000", -1.5},      {__LINE__, 0.0, "00000000", 0.0},
        {__LINE__, 1.6965, "7F5926E9", 1.6965f}, {__LINE__, -0.059, "7AF1A9FC", -0.059f},
        {__LINE__, 1e-40, "000116C2", 1e-40f},   {__LINE__, 1e39, "FF000000", inf},
        {__LINE__, -1e39, "FF800000", -inf},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(EncodeModuleFloat(row.value), row.chars);
        EXPECT_EQ(DecodeModuleFloat(row.chars), row.back);
    }
    EXPECT_TRUE(std::isnan(DecodeModuleFloat(EncodeModuleFloat(std::nan("")))));
    EXPECT_EQ(Encode16Bit(251), "FB000000");
    EXPECT_EQ(Decode16Bit(Encode16Bit(0x1234)), 0x1234);
    EXPECT_EQ(EncodeTopByte(21), "15000000");
}

}  // namespace
