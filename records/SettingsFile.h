#pragma once
// A module's settings in a file: one JSON document a person can read and edit, to prepare a
// module's settings before the visit, to put the same settings into many modules, or to
// restore a module that was reset.
//
//   {
//       "format": "fernwell-settings",
//       "version": 1,
//       "model": 640,
//       "savedAt": "2026-12-11T09:30:12.250+01:00",
//       "port": "COM3",
//       "program": "fernwell-cli 1.9.0",
//       "note": "",
//       "settings": { "kFactor": 1.6965, ..., "SensorCode": 4353, ... },
//       "names": { "sensorType": "insertion", "rowText": "...", "unitName": "gpm" }
//   }
//
// "settings" holds every field the configuration dialogs upload, by the key read --json gives
// it; numbers as the module holds them, codes as numbers. "names" says in words what the
// codes mean, for people only: on reading, the codes decide and "names" is not looked at.
// "savedAt", "port", "program", "note" and "names" may be left out; every other key must be
// there, and a key this version does not know is refused (a typing slip would otherwise be
// ignored in silence).

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/Device.h"  // ModuleRecord
#include "protocol/Model.h"
#include "protocol/ModuleData.h"

inline constexpr const char* kSettingsFormat = "fernwell-settings";
inline constexpr int kSettingsVersion = 1;
// A settings file is a few hundred bytes; anything past this is not one.
inline constexpr std::uintmax_t kSettingsFileLimit = 1024 * 1024;

// What a file says besides the settings.
struct SettingsFileHeader {
    std::string savedAt;  // ISO 8601 local time
    std::string port;     // the port the module was read on
    std::string program;  // "fernwell 1.9.0", "fernwell-cli 1.9.0"
    std::string note;
};

// The settings of `record` as the file's "settings" object (also the journal's "before" and
// "sent"), and the readable names of its codes (the file's "names").
nlohmann::json SettingsJson(const ModuleRecord& record);
nlohmann::json SettingsNames(const ModuleRecord& record);

// The whole document, and its text (indented, ending in a newline).
nlohmann::json SettingsDocument(const ModuleRecord& record, const SettingsFileHeader& header);
std::string SettingsText(const ModuleRecord& record, const SettingsFileHeader& header);

// A file read and checked: the settings as a record (the fields the file does not carry at
// their defaults) and the header; or why it is refused, one sentence ready to show.
struct SettingsFile {
    ModuleRecord record;
    SettingsFileHeader header;
};
struct SettingsRefusal {
    std::string message;
};
using SettingsRead = std::variant<SettingsFile, SettingsRefusal>;

// Checks the text of a settings file meant for a module of `model`: JSON that parses (or the
// line and column where it breaks), this format in a version not newer than this program's,
// the same model (a file of the other model names both), every key known and every setting
// present, each of its JSON type; then the values as the configuration dialogs check them
// before Send (CheckUploadable), so a file that is read is one that can be uploaded.
SettingsRead ParseSettings(const std::string& text, Model model);
// The same from a file: a regular file of at most kSettingsFileLimit bytes, else refused.
SettingsRead ReadSettingsFile(const std::string& path, Model model);
// Writes the document to `path`, replacing it whole or not at all; the error text on failure.
std::optional<std::string> WriteSettingsFile(const std::string& path, const ModuleRecord& record,
                                             const SettingsFileHeader& header);

// The settings of `record` applied over `module` (the record read from the module the file is
// loaded into): the fields a settings file carries come from the file, the rest (the module's
// text, its live values) stay as read. For the 612 the result's PulseUnitCode is in the form
// the upload sends.
ModuleData612 SettingsForUpload(const ModuleData612& file, const ModuleData612& module);
ModuleData640 SettingsForUpload(const ModuleData640& file, const ModuleData640& module);

// One setting of two records that differ, or every setting when comparing for a table.
struct SettingComparison {
    std::string key;      // "kFactor"
    std::string caption;  // "K": how the dialogs name it
    std::string unit;     // "gpm", "s", "" when it has none
    std::string first;    // the value as people read it ("1.6965", "0x0121 (tee, 2\" pipe, gpm)")
    std::string second;
    bool differs = false;
};
// Every setting a settings file carries, in the file's order, each marked when it differs.
// Numbers compare as the module holds them (single precision), so a value read from a module
// and the same value saved and loaded again compare equal. The two records must be of one model.
std::vector<SettingComparison> CompareSettings(const ModuleRecord& first,
                                               const ModuleRecord& second);
// Only the settings that differ.
std::vector<SettingComparison> DifferingSettings(const ModuleRecord& first,
                                                 const ModuleRecord& second);

// "fernwell-cli 1.9.0": a program of this package and the package's version.
std::string ProgramAndVersion(const std::string& program);
