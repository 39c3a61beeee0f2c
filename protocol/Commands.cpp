#include "protocol/Commands.h"

#include <charconv>
#include <cmath>
#include <cstdio>

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

std::vector<std::string> ConfigCommands612(const ModuleData612& data) {
    return {
        HexCodeCommand('d', data.PulseUnitCode),  NumberCommand('o', data.offset),
        NumberCommand('k', data.kFactor),         NumberCommand('x', data.pulseValue),
        NumberCommand('w', data.pulseWidth),      "s=0000\r",
        DecimalCodeCommand('u', data.SensorCode),
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
        NumberCommand('o', data.offset),
        NumberCommand('k', data.kFactor),
        HexCodeCommand('u', data.SensorCode),
    };
    for (std::string& command : VariantCommands640(data.variantChar)) {
        commands.push_back(std::move(command));
    }
    const std::vector<std::string> rest = {
        NumberCommand('n', data.nValue),
        NumberCommand('m', data.unitFactor),
        NumberCommand('e', data.highSetPoint),
        NumberCommand('g', data.highReleasePoint),
        NumberCommand('j', data.lowSetPoint),
        NumberCommand('d', data.lowReleasePoint),
        DecimalCodeCommand('p', data.highAlarmMode),
        DecimalCodeCommand('q', data.lowAlarmMode),
        DecimalCodeCommand('$', data.highSetDelay),
        DecimalCodeCommand('#', data.highReleaseDelay),
        DecimalCodeCommand('%', data.lowSetDelay),
        DecimalCodeCommand('&', data.lowReleaseDelay),
    };
    commands.insert(commands.end(), rest.begin(), rest.end());
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
