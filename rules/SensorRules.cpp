#include "rules/SensorRules.h"

#include <cstdio>

#include "protocol/ModuleData.h"

namespace {

// Digit i (0 = most significant) of the code's four hex digits. Only the low 16 bits are
// ever read or written as the sensor word.
int HexDigit(int code, int i) {
    return (code >> (12 - 4 * i)) & 0xF;
}

// The dialogs read some digits as decimal digits (their character less '0'): a hex letter
// then lands far outside every list. -1 stands for that.
int DecimalDigit(int code, int i) {
    const int digit = HexDigit(code, i);
    return digit <= 9 ? digit : -1;
}

int InListOrNone(int position, std::size_t size) {
    return position >= 0 && position < static_cast<int>(size) ? position : -1;
}

std::optional<SensorType> TypeOfDigit(int digit) {
    switch (digit) {
        case 0:
            return SensorType::Insertion;
        case 1:
            return SensorType::Tee;
        case 2:
            return SensorType::Wind;
        default:
            return std::nullopt;
    }
}

int TypeDigitOf(Model family, int code) {
    return HexDigit(code, family == Model::k612 ? 2 : 0);
}

// Unit digit as the family reads it: decimal on the 612, hex on the 640.
int UnitDigitOf(Model family, int code) {
    return family == Model::k612 ? DecimalDigit(code, 3) : HexDigit(code, 1);
}

const char* TypeName(SensorType type) {
    switch (type) {
        case SensorType::Insertion:
            return "Insertion";
        case SensorType::Tee:
            return "Tee";
        case SensorType::Wind:
            return "Wind";
    }
    return "?";
}

}  // namespace

void PrintTo(const SensorChoice& choice, std::ostream* os) {
    *os << "{" << TypeName(choice.type) << ", row " << choice.row << ", unit " << choice.unit
        << "}";
}

void PrintTo(const SensorSettings& settings, std::ostream* os) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(settings.sensorCode));
    *os << "{K " << settings.kFactor << ", offset " << settings.offset << ", code " << code << "}";
}

SensorType TypeFromRadios(bool windChecked, bool teeChecked) {
    if (windChecked) {
        return SensorType::Wind;
    }
    return teeChecked ? SensorType::Tee : SensorType::Insertion;
}

int BuildSensorCode(Model family, const SensorChoice& c) {
    if (family == Model::k612) {
        switch (c.type) {
            case SensorType::Wind:
                return c.unit == 0 ? 0x20 : 0x29;
            case SensorType::Tee:
                return 0x11 + c.unit + 256 * c.row;
            case SensorType::Insertion:
                return 0x01 + c.unit + 256 * c.row;
        }
    } else {
        switch (c.type) {
            case SensorType::Wind:
                return c.unit == 0 ? 0x2001 : 0x2D01;
            case SensorType::Tee:
                return 0x1001 + (c.unit + 1) * 256 + c.row * 16;
            case SensorType::Insertion:
                return 0x0001 + (c.unit + 1) * 256 + c.row * 16;
        }
    }
    return 0;
}

std::optional<SensorChoice> DecodeSensorCode(Model family, int code) {
    const std::optional<SensorType> type = TypeOfDigit(TypeDigitOf(family, code));
    if (!type) {
        return std::nullopt;
    }
    SensorChoice choice;
    choice.type = *type;
    const int unitDigit = UnitDigitOf(family, code);
    if (*type == SensorType::Wind) {
        // On the 612 a hex letter in d3 is not 0 either, so it still means "km/h".
        choice.row = -1;
        choice.unit = HexDigit(code, family == Model::k612 ? 3 : 1) != 0 ? 1 : 0;
        return choice;
    }
    const std::size_t units = UnitListIndices(family, *type).size();
    choice.unit = unitDigit < 0 ? -1 : InListOrNone(unitDigit - 1, units);
    const int rowDigitIndex = family == Model::k612 ? 1 : 2;
    // The 612 dialog reads a pipe row as a hex digit but a tee row as a decimal digit.
    const int row = (family == Model::k612 && *type == SensorType::Tee)
                        ? DecimalDigit(code, rowDigitIndex)
                        : HexDigit(code, rowDigitIndex);
    choice.row = InListOrNone(row, RowTable(*type).size());
    return choice;
}

SensorSettings ChooseRow(Model family, SensorType list, int row, const SensorSettings& held) {
    const std::span<const SensorRow> table = RowTable(list);
    if (row < 0 || row >= static_cast<int>(table.size())) {
        return held;
    }
    SensorSettings next;
    next.kFactor = table[row].k;
    next.offset = table[row].offset;
    const bool tee = list == SensorType::Tee;
    if (family == Model::k612) {
        next.sensorCode = (row << 8) | (held.sensorCode & 0xF000) | (tee ? 0x11 : 0x01);
    } else {
        next.sensorCode = (tee ? 0x1100 : 0x0100) | (row << 4) | (held.sensorCode & 0x000F);
    }
    return next;
}

SensorSettings ClickSensorType(Model family, SensorType type, const SensorSettings& held) {
    if (type != SensorType::Wind) {
        return ChooseRow(family, type, 0, held);
    }
    SensorSettings next;
    next.kFactor = kWindK;
    next.offset = kWindOffset;
    next.sensorCode = family == Model::k612 ? (held.sensorCode & 0xFF00) | 0x20
                                            : (held.sensorCode & 0x000F) | 0x2000;
    return next;
}

std::optional<std::string> RateUnitLabel(Model family, int code) {
    const std::optional<SensorType> type = TypeOfDigit(TypeDigitOf(family, code));
    const bool is612 = family == Model::k612;
    if (!type) {
        if (is612) {
            return std::nullopt;
        }
        return std::string();
    }
    if (*type == SensorType::Wind) {
        const int raw = HexDigit(code, is612 ? 3 : 1);
        return std::string(UnitTableName(family, raw == 0 ? 0 : 1));
    }
    const int digit = UnitDigitOf(family, code);
    const std::string name = digit < 0 ? "" : UnitTableName(family, digit + 1);
    if (name.empty() && is612) {
        return std::nullopt;
    }
    return name;
}

std::string AlarmUnitLabel640(int code) {
    const std::optional<SensorChoice> choice = DecodeSensorCode(Model::k640, code);
    if (!choice) {
        return "";
    }
    return UnitListName(Model::k640, choice->type, choice->unit);
}

double UnitFactor640(int code) {
    const std::optional<SensorType> type = TypeOfDigit(HexDigit(code, 0));
    if (!type) {
        return 1.0;
    }
    const int digit = HexDigit(code, 1);
    int index = digit + 1;
    if (*type == SensorType::Wind) {
        index = digit == 0 ? 0 : 1;
    }
    return index < kUnitCount640 ? kUnitFactors640[index] : 1.0;
}

int PulseUnitSentCode(int position, bool wind) {
    return ((position + (wind ? 4 : 0)) << 4) | 1;
}

int PulseUnitHeldFromSent(int sent) {
    if (sent < 0 || sent > 0xFFFF) {
        return -1;
    }
    int held = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = HexDigit(sent, i);
        if (digit > 9) {
            return -1;
        }
        held = held * 10 + digit;
    }
    return held;
}

int PulseUnitSentFromHeld(int held) {
    if (held < 0 || held > 9999) {
        return -1;
    }
    int sent = 0;
    for (int scale = 1000; scale > 0; scale /= 10) {
        sent = sent * 16 + (held / scale) % 10;
    }
    return sent;
}

int PulseUnitPosition(int held, bool wind) {
    // At least four digits ("%.4d", the same as "%0.4d"), so the third character is the
    // tens digit for 0..9999. A negative or five-digit code shifts it; the module only
    // reports four-digit codes, so the rule is left as plain as that.
    char text[16];
    std::snprintf(text, sizeof text, "%.4d", held);
    const int k = text[2] - '0';
    const int position = k - (wind ? 4 : 0);
    return InListOrNone(position,
                        PulseUnitList(wind ? SensorType::Wind : SensorType::Insertion).size());
}

int PulseWidthPosition(double widthMs) {
    // Written so NaN and infinities fall out as "no entry" before the conversion to int.
    if (!(widthMs >= 50.0 && widthMs < 50.0 * (kPulseWidthCount + 1))) {
        return -1;
    }
    return static_cast<int>(widthMs) / 50 - 1;
}

double PulseWidthFromPosition(int position) {
    return 50.0 * position + 50.0;
}

const char* SensorTypeWord(SensorType type) {
    switch (type) {
        case SensorType::Insertion:
            return "insertion";
        case SensorType::Tee:
            return "tee";
        case SensorType::Wind:
            return "wss";
    }
    return "";
}
