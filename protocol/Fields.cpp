#include "protocol/Fields.h"

#include <array>

#include "protocol/Decode.h"  // kDumpLines612, kDumpLines640

namespace {

using K = FieldKind;
using D = DumpForm;
using U = UploadForm;
using R = ReadBackRule;
using S = SendForm;
using M612 = ModuleData612;
using M640 = ModuleData640;

// key, line, letter, kind, dump, upload, read-back, caption, send, send key, member.
constexpr std::array<RecordField<M612>, 15> kFields612 = {{
    {"text1", 1, 0, K::Text, D::Title, U::None, R::None, nullptr, S::None, nullptr, &M612::text1},
    {"text2", 2, 0, K::Text, D::Text, U::None, R::None, nullptr, S::None, nullptr, &M612::text2},
    {"word3", 3, 'c', K::Word, D::Word, U::None, R::None, nullptr, S::None, nullptr, &M612::word3},
    {"variantChar", 4, 0, K::Char, D::Char, U::None, R::None, nullptr, S::None, nullptr,
     &M612::variantChar},
    {"kFactor", 5, 'k', K::Number, D::Float, U::Number, R::Float, "K", S::Number, nullptr,
     &M612::kFactor},
    {"offset", 6, 'o', K::Number, D::Float, U::Number, R::Float, "Offset", S::Number, nullptr,
     &M612::offset},
    {"pulseValue", 7, 'x', K::Number, D::Float, U::Number, R::Float, "Pulse Value", S::Number,
     nullptr, &M612::pulseValue},
    {"pulseWidth", 8, 'w', K::Number, D::Float, U::Number, R::Float, "Pulse Width", S::PulseWidth,
     nullptr, &M612::pulseWidth},
    {"value9", 9, 'a', K::Number, D::Float, U::None, R::None, nullptr, S::None, nullptr,
     &M612::value9},
    {"flowRate", 10, 'r', K::Number, D::Float, U::None, R::None, nullptr, S::None, nullptr,
     &M612::flowRate},
    {"value11", 11, 'b', K::Number, D::Float, U::None, R::None, nullptr, S::None, nullptr,
     &M612::value11},
    {"word12", 12, 'z', K::Word, D::Word, U::None, R::None, nullptr, S::None, nullptr,
     &M612::word12},
    {"value13", 13, 'i', K::Number, D::Float, U::None, R::None, nullptr, S::None, nullptr,
     &M612::value13},
    // sensor=, row= and unit= of send make it together.
    {"SensorCode", 14, 'u', K::Code, D::Low16, U::DecimalCode, R::Decimal16,
     "Sensor and Units (code)", S::None, nullptr, &M612::SensorCode},
    // Held as the number its uploaded hex digits spell in decimal: 0x51 goes out as "d=0051"
    // and comes back 51.
    {"PulseUnitCode", 15, 'd', K::Integer, D::TopByte, U::HexCode, R::HexAsDecimal8,
     "Pulse Units (code)", S::PulseUnit, "pulseUnit", &M612::PulseUnitCode},
}};

constexpr std::array<RecordField<M640>, 22> kFields640 = {{
    {"text1", 1, 0, K::Text, D::Title, U::None, R::None, nullptr, S::None, nullptr, &M640::text1},
    {"text2", 2, 0, K::Text, D::Text, U::None, R::None, nullptr, S::None, nullptr, &M640::text2},
    {"word3", 3, 'c', K::Word, D::Word, U::None, R::None, nullptr, S::None, nullptr, &M640::word3},
    {"variantChar", 4, 0, K::Char, D::Char, U::None, R::None, nullptr, S::None, nullptr,
     &M640::variantChar},
    {"kFactor", 5, 'k', K::Number, D::Float, U::Number, R::Float, "K", S::Number, nullptr,
     &M640::kFactor},
    {"offset", 6, 'o', K::Number, D::Float, U::Number, R::Float, "Offset", S::Number, nullptr,
     &M640::offset},
    {"nValue", 7, 'n', K::Number, D::Float, U::Number, R::Float, "N", S::None, nullptr,
     &M640::nValue},
    {"flowRate", 8, 'r', K::Number, D::Float, U::None, R::None, nullptr, S::None, nullptr,
     &M640::flowRate},
    {"value9", 9, 'a', K::Number, D::Float, U::None, R::None, nullptr, S::None, nullptr,
     &M640::value9},
    {"word10", 10, 'z', K::Word, D::Word, U::None, R::None, nullptr, S::None, nullptr,
     &M640::word10},
    // Uploaded as hex digits, which the module reads as a decimal number (sensor=, row= and
    // unit= of send make it).
    {"SensorCode", 11, 'u', K::Code, D::Low16Reread, U::HexCode, R::HexCode,
     "Sensor and Units (code)", S::None, nullptr, &M640::SensorCode},
    // send sets it from the unit.
    {"unitFactor", 12, 'm', K::Number, D::Float, U::Number, R::Float, "Unit Factor", S::None,
     nullptr, &M640::unitFactor},
    {"highSetPoint", 13, 'e', K::Number, D::Float, U::Number, R::Float, "High Set Point", S::Number,
     nullptr, &M640::highSetPoint},
    {"highReleasePoint", 14, 'g', K::Number, D::Float, U::Number, R::Float, "High Release Point",
     S::Number, nullptr, &M640::highReleasePoint},
    {"lowSetPoint", 15, 'j', K::Number, D::Float, U::Number, R::Float, "Low Set Point", S::Number,
     nullptr, &M640::lowSetPoint},
    {"lowReleasePoint", 16, 'd', K::Number, D::Float, U::Number, R::Float, "Low Release Point",
     S::Number, nullptr, &M640::lowReleasePoint},
    {"highAlarmMode", 17, 'p', K::Integer, D::TopByte, U::DecimalCode, R::Decimal8,
     "High Alarm (mode)", S::AlarmMode, "highAlarm", &M640::highAlarmMode},
    {"lowAlarmMode", 18, 'q', K::Integer, D::TopByte, U::DecimalCode, R::Decimal8,
     "Low Alarm (mode)", S::AlarmMode, "lowAlarm", &M640::lowAlarmMode},
    {"highSetDelay", 19, '$', K::Integer, D::Low16, U::DecimalCode, R::Decimal16,
     "High Set Point Delay", S::Delay, nullptr, &M640::highSetDelay},
    {"highReleaseDelay", 20, '#', K::Integer, D::Low16, U::DecimalCode, R::Decimal16,
     "High Release Point Delay", S::Delay, nullptr, &M640::highReleaseDelay},
    {"lowSetDelay", 21, '%', K::Integer, D::Low16, U::DecimalCode, R::Decimal16,
     "Low Set Point Delay", S::Delay, nullptr, &M640::lowSetDelay},
    {"lowReleaseDelay", 22, '&', K::Integer, D::Low16, U::DecimalCode, R::Decimal16,
     "Low Release Point Delay", S::Delay, nullptr, &M640::lowReleaseDelay},
}};

// What the code that walks a table takes for granted, checked as the tables compile: entry i
// is dump line i + 1, each member has the type of its kind, a field read back is uploaded,
// and no two uploaded fields share a letter.
template <class Record>
constexpr bool MemberFitsKind(const RecordField<Record>& f) {
    switch (f.kind) {
        case K::Text:
            return std::holds_alternative<std::string Record::*>(f.member);
        case K::Char:
            return std::holds_alternative<char Record::*>(f.member);
        case K::Word:
            return std::holds_alternative<std::uint32_t Record::*>(f.member);
        case K::Number:
            return std::holds_alternative<double Record::*>(f.member);
        case K::Code:
        case K::Integer:
            return std::holds_alternative<int Record::*>(f.member);
    }
    return false;
}

template <class Record, std::size_t N>
constexpr bool Consistent(const std::array<RecordField<Record>, N>& table) {
    for (std::size_t i = 0; i < N; ++i) {
        const RecordField<Record>& f = table[i];
        const bool number = f.upload == U::Number;
        if (f.line != static_cast<int>(i) + 1 || !MemberFitsKind(f) ||
            (f.upload == U::None) != (f.readBack == R::None) ||
            (f.upload == U::None) != (f.caption == nullptr) || number != (f.readBack == R::Float) ||
            (number && f.dump != D::Float)) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (f.upload != U::None && table[j].upload != U::None && table[j].letter == f.letter) {
                return false;
            }
        }
    }
    return true;
}
static_assert(Consistent(kFields612) && kFields612.size() == kDumpLines612);
static_assert(Consistent(kFields640) && kFields640.size() == kDumpLines640);

}  // namespace

template <>
std::span<const RecordField<ModuleData612>> FieldTable<ModuleData612>() {
    return kFields612;
}

template <>
std::span<const RecordField<ModuleData640>> FieldTable<ModuleData640>() {
    return kFields640;
}
