// Upload command texts, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/Fields.h"

namespace {

using Commands = std::vector<std::string>;

TEST(CommandsTest, NumberCommandsAreCutToTenCharacters) {
    struct Row {
        int line;
        char letter;
        double value;
        std::string expected;
    };
    const Row rows[] = {
        {__LINE__, 'k', 1.6965, "k=1.696500\r"},
        {__LINE__, 'o', -0.059, "o=-0.05900\r"},  // 11 characters cut to 10
        {__LINE__, 'e', 120.0, "e=120.0000\r"},
        {__LINE__, 'e', 12345678.0, "e=12345678\r"},   // the point is lost, the integer kept
        {__LINE__, 'e', 123456789.0, "e=12345678\r"},  // nine integer digits: the last is lost
        {__LINE__, 'e', -123456789.0, "e=-1234567\r"},
        {__LINE__, 'n', 0.0000004, "n=0.000000\r"},
        {__LINE__, 'n', 0.0000005000001, "n=0.000001\r"},  // rounded, as "%0.6f" does
        {__LINE__, 'n', -0.0000004, "n=-0.00000\r"},
        {__LINE__, 'm', 0.0000630902, "m=0.000063\r"},
        {__LINE__, 'w', 5000.0, "w=5000.000\r"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(NumberCommand(row.letter, row.value), row.expected);
    }
}

TEST(CommandsTest, CodeCommands) {
    EXPECT_EQ(DecimalCodeCommand('$', -5), "$=-0005\r");
    EXPECT_EQ(DecimalCodeCommand('%', 5), "%=0005\r");
    EXPECT_EQ(DecimalCodeCommand('u', 0x0105), "u=0261\r");
    EXPECT_EQ(DecimalCodeCommand('u', 10000), "u=10000\r");
    EXPECT_EQ(HexCodeCommand('u', 0x0251), "u=0251\r");
    EXPECT_EQ(HexCodeCommand('u', 0x2d01), "u=2d01\r");
    EXPECT_EQ(HexCodeCommand('d', 0x21), "d=0021\r");
}

TEST(CommandsTest, Sequence612) {
    ModuleData612 data = Defaults612();
    data.SensorCode = 0x0105;
    data.PulseUnitCode = 0x21;
    data.variantChar = 'p';  // no "s=" choice on this model
    const Commands expected = {"d=0021\r",     "o=0.059000\r", "k=1.696500\r", "x=2.000000\r",
                               "w=100.0000\r", "s=0000\r",     "u=0261\r"};
    EXPECT_EQ(ConfigCommands612(data), expected);
    EXPECT_EQ(CommandBytes(expected), 65);
}

TEST(CommandsTest, Sequence640ByVariant) {
    ModuleData640 data = Defaults640();
    data.SensorCode = 0x0251;
    data.offset = -0.059;
    const Commands head = {"o=-0.05900\r", "k=1.696500\r", "u=0251\r"};
    const Commands tail = {"n=1.000000\r", "m=1.000000\r", "e=120.0000\r", "g=110.0000\r",
                           "j=5.000000\r", "d=10.00000\r", "p=0001\r",     "q=0001\r",
                           "$=0005\r",     "#=0010\r",     "%=0005\r",     "&=0010\r"};
    struct Row {
        int line;
        char variant;
        Commands s;
    };
    const Row rows[] = {
        {__LINE__, '4', {"s=0002\r"}},
        {__LINE__, 'p', {"s=0000\r", "s=0001\r", "s=0002\r"}},
        {__LINE__, 's', {"s=0001\r", "s=0002\r"}},
        {__LINE__, 'P', {}},
        {__LINE__, 'S', {}},
        {__LINE__, '2', {}},
        {__LINE__, '\0', {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        data.variantChar = row.variant;
        Commands expected = head;
        expected.insert(expected.end(), row.s.begin(), row.s.end());
        expected.insert(expected.end(), tail.begin(), tail.end());
        const Commands commands = ConfigCommands640(data);
        EXPECT_EQ(commands, expected);
        EXPECT_EQ(CommandBytes(commands), 137 + 7 * static_cast<int>(row.s.size()));
    }
}

TEST(CommandsTest, Sequence640CodesAndNegativeDelay) {
    ModuleData640 data = Defaults640();
    data.SensorCode = 0x2d01;
    data.highAlarmMode = 2;
    data.highSetDelay = -5;
    data.lowSetDelay = 300;
    const Commands commands = ConfigCommands640(data);
    ASSERT_EQ(commands.size(), 15u);
    EXPECT_EQ(commands[2], "u=2d01\r");
    EXPECT_EQ(commands[9], "p=0002\r");
    EXPECT_EQ(commands[11], "$=-0005\r");
    EXPECT_EQ(commands[13], "%=0300\r");
}

// Each field the table gives an upload command goes out exactly once in its model's sequence,
// and every other command is an "s=".
template <class Record>
void ExpectEveryUploadedFieldSentOnce(const std::vector<std::string>& commands) {
    for (const RecordField<Record>& field : FieldTable<Record>()) {
        SCOPED_TRACE(field.key);
        const auto sent = std::count_if(commands.begin(), commands.end(),
                                        [&](const auto& c) { return c[0] == field.letter; });
        EXPECT_EQ(sent, field.upload == UploadForm::None ? 0 : 1);
    }
    for (const std::string& command : commands) {
        EXPECT_TRUE(command[0] == 's' || FieldByCommand<Record>(command[0]) != nullptr) << command;
    }
}

TEST(CommandsTest, SequencesSendEveryUploadedField) {
    ExpectEveryUploadedFieldSentOnce<ModuleData612>(ConfigCommands612(Defaults612()));
    ExpectEveryUploadedFieldSentOnce<ModuleData640>(ConfigCommands640(Defaults640()));
}

TEST(CommandsTest, FitsNumberCommand) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        int line;
        double value;
        bool fits;
    };
    const Row rows[] = {
        {__LINE__, 0.0, true},
        {__LINE__, 12345678.0, true},
        {__LINE__, 99999999.999999, true},
        {__LINE__, 99999999.9999996, false},  // "%0.6f" rounds it to 100000000.000000
        {__LINE__, 100000000.0, false},
        {__LINE__, -9999999.999999, true},
        {__LINE__, -10000000.0, false},
        {__LINE__, std::nan(""), false},
        {__LINE__, inf, false},
        {__LINE__, -inf, false},
        // Six decimals: a very small value would lose most of its digits to the cut.
        {__LINE__, 0.000201, true},
        {__LINE__, 0.0002004, true},   // sent as 0.000200: 0.2 % off
        {__LINE__, 0.0000204, false},  // sent as 0.000020: 2 % off
        {__LINE__, 0.0000012, false},  // sent as 0.000001
        {__LINE__, 1e-7, false},       // sent as 0.000000
        {__LINE__, -0.0000004, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(FitsNumberCommand(row.value), row.fits);
    }
    EXPECT_TRUE(FitsNumberCommand(LargestSendableValue()));
    EXPECT_FALSE(FitsNumberCommand(std::nextafter(LargestSendableValue() + 0.0000005, inf)));
    EXPECT_TRUE(FitsNumberCommand(SmallestSendableValue()));
    EXPECT_FALSE(FitsNumberCommand(SmallestSendableValue() - 0.000001));
    EXPECT_EQ(NumberCommand('e', LargestSendableValue()), "e=99999999\r");
    EXPECT_EQ(NumberCommand('e', SmallestSendableValue()), "e=-9999999\r");
}

}  // namespace
