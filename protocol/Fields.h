#pragma once
// The fields of the module's records, one table per model in dump line order: its key, its
// dump line and how the line carries it, the upload command that sets it, what the module
// reads back, the caption the dialogs give it and the key fernwell-cli's send takes. The
// printer, the dump decoder, fernwell-cli's report and send keys, the simulator, the read-back
// and the dialogs' messages all read it here, so a new field is one more row.
//
// The order of an upload is not the table's: the module takes its commands in a fixed order,
// which Commands.cpp keeps as a list of command letters.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "protocol/ModuleData.h"

// What the value is, and so how the printer and fernwell-cli show it.
enum class FieldKind {
    Text,     // the module's text, one byte a character
    Char,     // one character
    Word,     // 32 bits, shown in hex
    Number,   // one of the module's floats
    Code,     // a code whose hex digits each mean something, shown in hex (SensorCode)
    Integer,  // a number, shown in decimal
};

// How the field's dump line carries it. Value lines are a two-character tag (the command
// letter and "=") and 8 hex characters.
enum class DumpForm {
    Title,        // the line after its first two characters
    Text,         // the whole line
    Char,         // the line's first character
    Word,         // 32 bits, most significant byte first
    Float,        // the module's float
    Low16,        // 16 bits, low byte first
    Low16Reread,  // as Low16, and the number the module holds read back as the code (640 "u=")
    TopByte,      // 8 bits
};

// How an upload sends it (Commands.h); None: no command sets it.
enum class UploadForm {
    None,
    Number,       // "<letter>=%0.6f" cut to 10 characters
    DecimalCode,  // "<letter>=%0.4d"
    HexCode,      // "<letter>=%0.4x"
};

// What the module reads back after an upload (ReadBack.h). Every code is read by the module
// as a decimal number, kept to the bits its dump line carries.
enum class ReadBackRule {
    None,
    Float,          // the cut text as a float, give or take one unit in the last place
    Decimal8,       // the decimal digits, 8 bits
    Decimal16,      // the decimal digits, 16 bits
    HexAsDecimal8,  // the hex digits read as a decimal number, 8 bits (the 612's "d=")
    HexCode,        // the code itself, through the decimal re-read of its dump line
};

// How fernwell-cli's send takes it; None: send leaves it as the module holds it.
enum class SendForm {
    None,
    Number,      // any number
    PulseWidth,  // 50 to 5000 ms in steps of 50
    PulseUnit,   // a pulse unit's name, turned into the code under the sensor type
    Delay,       // whole seconds, 0 to 9999
    AlarmMode,   // off, on or latched
};

template <class Record>
using FieldMember = std::variant<std::string Record::*, char Record::*, std::uint32_t Record::*,
                                 double Record::*, int Record::*>;

template <class Record>
struct RecordField {
    const char* key;  // the member's name: read's text and JSON key, the printer's name
    int line;         // dump line
    char letter;      // the dump line's tag and the upload command's letter; 0: none
    FieldKind kind;
    DumpForm dump;
    UploadForm upload;
    ReadBackRule readBack;
    const char* caption;  // how the dialogs' messages name it; nullptr: they never do
    SendForm send;
    const char* sendKey;  // send's key when it is not `key`
    FieldMember<Record> member;

    // The member, of the type `kind` says (Text: std::string, Char: char, Word:
    // std::uint32_t, Number: double, Code and Integer: int).
    template <class T>
    T& Of(Record& record) const {
        return record.*std::get<T Record::*>(member);
    }
    template <class T>
    const T& Of(const Record& record) const {
        return record.*std::get<T Record::*>(member);
    }
    std::string_view SendKey() const { return sendKey != nullptr ? sendKey : key; }
};

// The tables, in dump line order (entry i is line i + 1).
template <class Record>
std::span<const RecordField<Record>> FieldTable();
template <>
std::span<const RecordField<ModuleData612>> FieldTable<ModuleData612>();
template <>
std::span<const RecordField<ModuleData640>> FieldTable<ModuleData640>();

// The field of that key, or of that upload command letter; nullptr when there is none.
template <class Record>
const RecordField<Record>* FieldByKey(std::string_view key) {
    for (const RecordField<Record>& field : FieldTable<Record>()) {
        if (key == field.key) {
            return &field;
        }
    }
    return nullptr;
}
template <class Record>
const RecordField<Record>* FieldByCommand(char letter) {
    for (const RecordField<Record>& field : FieldTable<Record>()) {
        if (field.upload != UploadForm::None && field.letter == letter) {
            return &field;
        }
    }
    return nullptr;
}
