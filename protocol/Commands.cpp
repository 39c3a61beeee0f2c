#include "protocol/Commands.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "protocol/Fields.h"

namespace {

constexpr std::size_t kNumberCommandChars = 10;  // letter, "=", 8 characters of the number
// How far the cut may move a number: six decimals in 8 characters lose digits of every value
// from 10 up, harmlessly, but a very small one loses all of them (1e-7 goes out as 0.000000).
constexpr double kLargestCutError = 0.005;

}  // namespace

std::string FormatFixed(double value, int decimals) {
    char text[400];  // DBL_MAX has 309 integer digits
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, result.ptr);
}

std::string FloatText(double value) {
    char text[400];
    const float single = static_cast<float>(value);
    const auto result = std::isfinite(single) && static_cast<double>(single) == value
                            ? std::to_chars(text, text + sizeof text, single)
                            : std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string NumberCommand(char letter, double value) {
    std::string command{letter, '='};
    command += FormatFixed(value, 6);
    if (command.size() > kNumberCommandChars) {
        command.resize(kNumberCommandChars);
    }
    command += '\r';
    return command;
}

// "%0.4d" and "%.4d" print alike (the precision wins over the 0 flag): at least four digits,
// a minus sign in front of them: -5 -> "-0005".
std::string DecimalCodeCommand(char letter, int value) {
    char text[24];
    std::snprintf(text, sizeof text, "%c=%.4d\r", letter, value);
    return text;
}

std::string HexCodeCommand(char letter, int value) {
    char text[24];
    std::snprintf(text, sizeof text, "%c=%.4x\r", letter, static_cast<unsigned>(value));
    return text;
}

namespace {

// The command that uploads the field of command letter `letter`, in the field's form.
template <class Record>
std::string FieldCommand(const Record& data, char letter) {
    const RecordField<Record>* field = FieldByCommand<Record>(letter);
    switch (field->upload) {
        case UploadForm::Number:
            return NumberCommand(letter, field->template Of<double>(data));
        case UploadForm::DecimalCode:
            return DecimalCodeCommand(letter, field->template Of<int>(data));
        case UploadForm::HexCode:
            return HexCodeCommand(letter, field->template Of<int>(data));
        case UploadForm::None:
            break;
    }
    return {};
}

}  // namespace

// The wire order, by command letter: the module takes its settings in this order, which is not
// the record's.
std::vector<std::string> ConfigCommands612(const ModuleData612& data) {
    return {
        FieldCommand(data, 'd'), FieldCommand(data, 'o'), FieldCommand(data, 'k'),
        FieldCommand(data, 'x'), FieldCommand(data, 'w'), "s=0000\r",
        FieldCommand(data, 'u'),
    };
}

std::vector<std::string> VariantCommands640(char variantChar) {
    switch (variantChar) {
        case '4':
            return {"s=0002\r"};
        case 'p':
            return {"s=0000\r", "s=0001\r", "s=0002\r"};
        case 's':
            return {"s=0001\r", "s=0002\r"};
        default:
            return {};
    }
}

std::vector<std::string> ConfigCommands640(const ModuleData640& data) {
    std::vector<std::string> commands = {
        FieldCommand(data, 'o'),
        FieldCommand(data, 'k'),
        FieldCommand(data, 'u'),
    };
    for (std::string& command : VariantCommands640(data.variantChar)) {
        commands.push_back(std::move(command));
    }
    for (const char letter : {'n', 'm', 'e', 'g', 'j', 'd', 'p', 'q', '$', '#', '%', '&'}) {
        commands.push_back(FieldCommand(data, letter));
    }
    return commands;
}

int CommandBytes(const std::vector<std::string>& commands) {
    std::size_t bytes = 0;
    for (const std::string& command : commands) {
        bytes += command.size();
    }
    return static_cast<int>(bytes);
}

bool FitsNumberCommand(double value) {
    const std::string text = FormatFixed(value, 6);
    const std::size_t point = text.find('.');
    if (point == std::string::npos || point > kNumberCommandChars - 2) {
        return false;
    }
    return std::fabs(SentNumber(value) - value) <= kLargestCutError * std::fabs(value);
}

double SentNumber(double value) {
    const std::string text = FormatFixed(value, 6).substr(0, kNumberCommandChars - 2);
    double sent = 0;
    std::from_chars(text.data(), text.data() + text.size(), sent);
    return sent;
}

double LargestSendableValue() {
    return 99999999.999999;
}
double SmallestSendableValue() {
    return -9999999.999999;
}
