#include "records/SettingsFile.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "link/TrendSamples.h"  // WriteTextFile
#include "protocol/Fields.h"
#include "records/RecordFields.h"
#include "rules/ConfigChecks.h"
#include "rules/SensorRules.h"
#include "serial/PortMap.h"  // SystemErrorText
#include "store/Utf8Path.h"

using nlohmann::json;

namespace {

// The fields a settings file carries: every one the configuration dialogs upload.
template <class Record>
std::vector<const RecordField<Record>*> SettingFields() {
    std::vector<const RecordField<Record>*> fields;
    for (const RecordField<Record>& field : FieldTable<Record>()) {
        if (field.upload != UploadForm::None) {
            fields.push_back(&field);
        }
    }
    return fields;
}

template <class Record>
json SettingsOf(const Record& record) {
    json settings = json::object();
    for (const RecordField<Record>* field : SettingFields<Record>()) {
        if (field->kind == FieldKind::Number) {
            settings[field->key] = ModuleNumber(field->template Of<double>(record));
        } else {
            settings[field->key] = field->template Of<int>(record);
        }
    }
    return settings;
}

// The readable names the field printer gives the codes.
const std::set<std::string> kNameKeys = {"sensorType", "rowText", "unitName", "pulseUnitName"};

template <class Record>
json NamesOf(const Record& record) {
    json names = json::object();
    for (const ReportField& field : RecordFields(record)) {
        if (kNameKeys.count(field.name) != 0) {
            names[field.name] = field.value;
        }
    }
    return names;
}

SettingsRefusal Refuse(std::string message) {
    return SettingsRefusal{std::move(message)};
}

// Line and column (both from 1) of a byte offset, as an editor shows them.
std::string LineAndColumn(const std::string& text, std::size_t offset) {
    offset = std::min(offset, text.size());
    int line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

// nlohmann's message after its "[json.exception...] parse error at ...: " prefix.
std::string ParseReason(const std::string& what) {
    const std::size_t colon = what.find(": ");
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return text;
}

// A number of the JSON that is a whole number an int holds.
std::optional<int> WholeNumber(const json& value) {
    if (!value.is_number()) {
        return std::nullopt;
    }
    const double number = value.get<double>();
    if (number != std::floor(number) || number < -2147483648.0 || number > 2147483647.0) {
        return std::nullopt;
    }
    return static_cast<int>(number);
}

template <class Record>
std::optional<SettingsRefusal> FillRecord(const json& settings, Record& record) {
    if (!settings.is_object()) {
        return Refuse("The settings file's \"settings\" is not an object.");
    }
    const std::vector<const RecordField<Record>*> fields = SettingFields<Record>();
    for (const auto& [key, value] : settings.items()) {
        (void)value;
        bool known = false;
        for (const RecordField<Record>* field : fields) {
            known = known || key == field->key;
        }
        if (!known) {
            return Refuse("The settings file has a setting this version does not know: \"" + key +
                          "\".");
        }
    }
    for (const RecordField<Record>* field : fields) {
        const auto found = settings.find(field->key);
        if (found == settings.end()) {
            return Refuse(std::string("The settings file lacks the setting \"") + field->key +
                          "\".");
        }
        if (field->kind == FieldKind::Number) {
            if (!found->is_number()) {
                return Refuse(std::string("The setting \"") + field->key + "\" is not a number.");
            }
            field->template Of<double>(record) = found->template get<double>();
        } else {
            const std::optional<int> whole = WholeNumber(*found);
            if (!whole) {
                return Refuse(std::string("The setting \"") + field->key +
                              "\" is not a whole number.");
            }
            field->template Of<int>(record) = *whole;
        }
    }
    if (const std::optional<RuleMessage> problem = CheckUploadable(record)) {
        return Refuse("The settings file holds a value that cannot be sent: " +
                      OneLine(problem->text));
    }
    return std::nullopt;
}

// The text the field printer gives `name` ("unitName", "sensorType"...).
std::string Named(const ReportFields& fields, const char* name) {
    for (const ReportField& field : fields) {
        if (field.name == name) {
            return field.text;
        }
    }
    return {};
}

// What a setting is measured in, where the module's units say: the alarm points in the flow
// unit, the delays in seconds, the 612's pulse value in its pulse unit and its width in ms.
std::string UnitOf(std::string_view key, const ReportFields& names) {
    if (key.find("SetPoint") != std::string_view::npos ||
        key.find("ReleasePoint") != std::string_view::npos) {
        return Named(names, "unitName");
    }
    if (key.find("Delay") != std::string_view::npos) {
        return "s";
    }
    if (key == "pulseValue") {
        return Named(names, "pulseUnitName");
    }
    if (key == "pulseWidth") {
        return "ms";
    }
    return {};
}

// A code as people read it: its digits and what they mean.
std::string CodeValueText(std::string_view key, int value, const ReportFields& names) {
    if (key == "SensorCode") {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(value));
        std::string meaning;
        for (const char* part : {"sensorType", "rowText", "unitName"}) {
            const std::string text = Named(names, part);
            if (!text.empty()) {
                meaning += (meaning.empty() ? "" : ", ") + text;
            }
        }
        return meaning.empty() ? hex : std::string(hex) + " (" + meaning + ")";
    }
    std::string meaning;
    if (key == "PulseUnitCode") {
        meaning = Named(names, "pulseUnitName");
    } else if (key.find("AlarmMode") != std::string_view::npos) {
        static const char* const modes[] = {"off", "on", "latched"};
        meaning = value >= 0 && value <= 2 ? modes[value] : "";
    }
    return meaning.empty() ? std::to_string(value) : std::to_string(value) + " (" + meaning + ")";
}

template <class Record>
std::vector<SettingComparison> Compare(const Record& first, const Record& second) {
    const ReportFields firstNames = RecordFields(first);
    const ReportFields secondNames = RecordFields(second);
    std::vector<SettingComparison> rows;
    for (const RecordField<Record>* field : SettingFields<Record>()) {
        SettingComparison row;
        row.key = field->key;
        row.caption = field->caption;
        row.unit = UnitOf(field->key, firstNames);
        if (field->kind == FieldKind::Number) {
            // As the module holds them: single precision.
            const float a = static_cast<float>(field->template Of<double>(first));
            const float b = static_cast<float>(field->template Of<double>(second));
            row.first = NumberText(ModuleNumber(a));
            row.second = NumberText(ModuleNumber(b));
            row.differs = a != b;
        } else {
            const int a = field->template Of<int>(first);
            const int b = field->template Of<int>(second);
            row.first = CodeValueText(field->key, a, firstNames);
            row.second = CodeValueText(field->key, b, secondNames);
            row.differs = a != b;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// `module` with every field a settings file carries taken from `file`.
template <class Record>
Record WithSettingsOf(const Record& file, const Record& module) {
    Record record = module;
    for (const RecordField<Record>* field : SettingFields<Record>()) {
        if (field->kind == FieldKind::Number) {
            field->template Of<double>(record) = field->template Of<double>(file);
        } else {
            field->template Of<int>(record) = field->template Of<int>(file);
        }
    }
    return record;
}

}  // namespace

json SettingsJson(const ModuleRecord& record) {
    return std::visit([](const auto& r) { return SettingsOf(r); }, record);
}

json SettingsNames(const ModuleRecord& record) {
    return std::visit([](const auto& r) { return NamesOf(r); }, record);
}

json SettingsDocument(const ModuleRecord& record, const SettingsFileHeader& header) {
    json document = {
        {"format", kSettingsFormat},
        {"version", kSettingsVersion},
        {"model", ModelNumber(ModelOf(record))},
        {"settings", SettingsJson(record)},
        {"names", SettingsNames(record)},
    };
    const std::pair<const char*, const std::string*> optional[] = {{"savedAt", &header.savedAt},
                                                                   {"port", &header.port},
                                                                   {"program", &header.program},
                                                                   {"note", &header.note}};
    for (const auto& [key, value] : optional) {
        document[key] = JsonString(*value);
    }
    return document;
}

std::string SettingsText(const ModuleRecord& record, const SettingsFileHeader& header) {
    return JsonText(SettingsDocument(record, header));
}

SettingsRead ParseSettings(const std::string& text, Model model) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::parse_error& e) {
        return Refuse("The settings file is not valid JSON (" +
                      LineAndColumn(text, e.byte > 0 ? e.byte - 1 : 0) +
                      "): " + ParseReason(e.what()));
    }
    if (!document.is_object()) {
        return Refuse("The settings file is not a JSON object.");
    }
    const auto format = document.find("format");
    if (format == document.end() || !format->is_string() ||
        format->get<std::string>() != kSettingsFormat) {
        return Refuse(
            std::string("This is not a Fernwell settings file: its \"format\" is not \"") +
            kSettingsFormat + "\".");
    }
    const auto version = document.find("version");
    const std::optional<int> number =
        version == document.end() ? std::nullopt : WholeNumber(*version);
    if (!number || *number < 1) {
        return Refuse("The settings file's \"version\" is missing or not a version number.");
    }
    if (*number > kSettingsVersion) {
        return Refuse(
            "The settings file was written by a newer version of Fernwell (format "
            "version " +
            std::to_string(*number) + "; this version reads " + std::to_string(kSettingsVersion) +
            ").");
    }
    static const std::set<std::string> known = {
        "format", "version", "model", "settings", "names", "savedAt", "port", "program", "note"};
    for (const auto& [key, value] : document.items()) {
        (void)value;
        if (known.count(key) == 0) {
            return Refuse("The settings file has a key this version does not know: \"" + key +
                          "\".");
        }
    }
    const auto fileModel = document.find("model");
    const std::optional<int> modelNumber =
        fileModel == document.end() ? std::nullopt : WholeNumber(*fileModel);
    if (!modelNumber || (*modelNumber != 612 && *modelNumber != 640)) {
        return Refuse("The settings file's \"model\" is missing or is neither 612 nor 640.");
    }
    if (*modelNumber != ModelNumber(model)) {
        return Refuse("The settings file is for a " + std::to_string(*modelNumber) +
                      ", but the module is a " + std::to_string(ModelNumber(model)) + ".");
    }
    SettingsFile file;
    for (const auto& [key, field] :
         {std::pair{"savedAt", &file.header.savedAt}, std::pair{"port", &file.header.port},
          std::pair{"program", &file.header.program}, std::pair{"note", &file.header.note}}) {
        const auto found = document.find(key);
        if (found == document.end()) {
            continue;
        }
        if (!found->is_string()) {
            return Refuse(std::string("The settings file's \"") + key + "\" is not a text.");
        }
        *field = found->get<std::string>();
    }
    const auto settings = document.find("settings");
    if (settings == document.end()) {
        return Refuse("The settings file lacks its \"settings\".");
    }
    if (model == Model::k640) {
        ModuleData640 record = Defaults640();
        if (auto refusal = FillRecord(*settings, record)) {
            return *refusal;
        }
        file.record = record;
    } else {
        ModuleData612 record = Defaults612();
        if (auto refusal = FillRecord(*settings, record)) {
            return *refusal;
        }
        file.record = record;
    }
    return file;
}

SettingsRead ReadSettingsFile(const std::string& path, Model model) {
    std::error_code ec;
    // The path is UTF-8, which Windows' narrow file calls would read in the code page.
    const std::filesystem::path file = Utf8Path(path);
    const std::filesystem::file_status status = std::filesystem::status(file, ec);
    if (!std::filesystem::exists(status)) {
        return Refuse(path + ": there is no such file.");
    }
    if (!std::filesystem::is_regular_file(status)) {
        return Refuse(path + ": not a regular file.");
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kSettingsFileLimit) {
        return Refuse(path + ": larger than 1 MiB, so not a settings file.");
    }
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in || in.bad()) {
        return Refuse(path + ": " + portmap::SystemErrorText(errno != 0 ? errno : EIO));
    }
    SettingsRead read = ParseSettings(text.str(), model);
    if (auto* refusal = std::get_if<SettingsRefusal>(&read)) {
        refusal->message = path + ": " + refusal->message;
    }
    return read;
}

std::optional<std::string> WriteSettingsFile(const std::string& path, const ModuleRecord& record,
                                             const SettingsFileHeader& header) {
    std::string error;
    if (!trend::WriteTextFile(Utf8Path(path), SettingsText(record, header), &error)) {
        return path + ": " + error;
    }
    return std::nullopt;
}

ModuleData612 SettingsForUpload(const ModuleData612& file, const ModuleData612& module) {
    ModuleData612 upload = WithSettingsOf(file, module);
    // The file holds the pulse unit as the module reads it back (51); the upload sends the
    // hex digits of that number (0x51 goes out as "d=0051").
    upload.PulseUnitCode = PulseUnitSentFromHeld(file.PulseUnitCode);
    return upload;
}

ModuleData640 SettingsForUpload(const ModuleData640& file, const ModuleData640& module) {
    ModuleData640 upload = WithSettingsOf(file, module);
    // The unit factor follows the unit, as the dialog's Send sets it.
    upload.unitFactor = UnitFactor640(upload.SensorCode);
    return upload;
}

std::vector<SettingComparison> CompareSettings(const ModuleRecord& first,
                                               const ModuleRecord& second) {
    if (const auto* a = std::get_if<ModuleData640>(&first)) {
        return Compare(*a, std::get<ModuleData640>(second));
    }
    return Compare(std::get<ModuleData612>(first), std::get<ModuleData612>(second));
}

std::vector<SettingComparison> DifferingSettings(const ModuleRecord& first,
                                                 const ModuleRecord& second) {
    std::vector<SettingComparison> rows = CompareSettings(first, second);
    std::erase_if(rows, [](const SettingComparison& row) { return !row.differs; });
    return rows;
}

std::string ProgramAndVersion(const std::string& program) {
    return program + " " + FERNWELL_VERSION;
}
