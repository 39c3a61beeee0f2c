// Settings files: what a saved file reads back as, each refusal, the comparison of two
// records, and the commissioning report's page.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "records/CommissioningReport.h"
#include "records/SettingsFile.h"
#include "rules/SensorRules.h"
#include "tests/common/ScratchDir.h"
#include "texts/Strings.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Settings a technician might have sent, none of them the defaults.
ModuleData612 Sample612() {
    ModuleData612 d = Defaults612();
    d.text1 = "FERNWELL 612";
    d.text2 = "SN 40127";
    d.kFactor = 1.6965f;  // as a read gives it: the module holds floats
    d.offset = 0.059;
    d.pulseValue = 10;
    d.pulseWidth = 250;
    d.SensorCode = 0x0214;  // tee row 2, l/min
    d.PulseUnitCode = 31;   // Liters, as the module reads it back
    return d;
}

ModuleData640 Sample640() {
    ModuleData640 d = Defaults640();
    d.text1 = "FERNWELL 640";
    d.text2 = "SN 51880";
    d.kFactor = 2.5;
    d.SensorCode = 0x0131;  // insertion, gpm, pipe row 3
    d.highSetPoint = 150.25;
    d.highReleasePoint = 140;
    d.highAlarmMode = 2;
    d.lowSetDelay = 30;
    return d;
}

std::string Text(const ModuleRecord& record) {
    return SettingsText(record, {"2026-12-11T09:30:12.250+01:00", "COM3", "fernwell-cli 3.0", ""});
}

const ModuleRecord& Known(const SettingsRead& read) {
    if (const auto* refusal = std::get_if<SettingsRefusal>(&read)) {
        ADD_FAILURE() << refusal->message;
    }
    return std::get<SettingsFile>(read).record;
}

// A file saved from a module reads back as the same settings (none differ), the header
// is kept, and the upload of the 612's file sends its pulse unit in the hex-digit form.
TEST(SettingsFile, SavedSettingsReadBackUnchanged) {
    const ModuleRecord records[] = {Sample612(), Sample640()};
    for (const ModuleRecord& record : records) {
        SCOPED_TRACE(ModelNumber(ModelOf(record)));
        const SettingsRead read = ParseSettings(Text(record), ModelOf(record));
        EXPECT_TRUE(DifferingSettings(record, Known(read)).empty());
        EXPECT_EQ(std::get<SettingsFile>(read).header.port, "COM3");
    }
    const ModuleData612 file =
        std::get<ModuleData612>(Known(ParseSettings(Text(Sample612()), Model::k612)));
    EXPECT_EQ(SettingsForUpload(file, Defaults612()).PulseUnitCode, 0x31);
    ModuleData640 odd = Sample640();
    odd.unitFactor = 7;  // the upload sets the factor of the file's unit, as Send does
    EXPECT_DOUBLE_EQ(SettingsForUpload(odd, Defaults640()).unitFactor, UnitFactor640(0x0131));
}

// One changed setting is the one row marked, shown as people read it.
TEST(SettingsFile, ComparisonMarksTheChangedSetting) {
    struct Case {
        ModuleRecord first;
        std::function<void(ModuleRecord&)> change;
        std::string key, first_text, second_text;
    };
    const Case cases[] = {
        {Sample612(), [](ModuleRecord& r) { std::get<ModuleData612>(r).kFactor = 1.7; }, "kFactor",
         "1.6965", "1.7"},
        {Sample612(), [](ModuleRecord& r) { std::get<ModuleData612>(r).PulseUnitCode = 21; },
         "PulseUnitCode", "31 (Liters)", "21 (Gallons)"},
        {Sample640(), [](ModuleRecord& r) { std::get<ModuleData640>(r).highAlarmMode = 1; },
         "highAlarmMode", "2 (latched)", "1 (on)"},
    };
    for (const Case& c : cases) {
        ModuleRecord second = c.first;
        c.change(second);
        const std::vector<SettingComparison> rows = DifferingSettings(c.first, second);
        ASSERT_EQ(rows.size(), 1u) << c.key;
        EXPECT_EQ(rows[0].key, c.key);
        EXPECT_EQ(rows[0].first, c.first_text);
        EXPECT_EQ(rows[0].second, c.second_text);
    }
}

// Every refusal names what is wrong, and a refused file gives no settings at all.
TEST(SettingsFile, RefusesWhatCannotBeSent) {
    const fwtest::ScratchDir scratch("fernwell-settings");
    ASSERT_TRUE(scratch.Ok());
    const fs::path& dir = scratch.Path();
    struct Case {
        const char* name;
        Model model;
        std::function<std::string(json&)> make;  // the file's text from the saved 640 document
        std::string expected;
    };
    const auto dump = [](json& d) { return d.dump(4); };
    const Case cases[] = {
        {"other model", Model::k612, dump, "is for a 640, but the module is a 612"},
        {"missing key", Model::k640,
         [&](json& d) {
             d["settings"].erase("lowReleaseDelay");
             return dump(d);
         },
         "lacks the setting \"lowReleaseDelay\""},
        {"unknown setting", Model::k640,
         [&](json& d) {
             d["settings"]["kFactr"] = 1;
             return dump(d);
         },
         "\"kFactr\""},
        {"unknown key", Model::k640,
         [&](json& d) {
             d["colour"] = "red";
             return dump(d);
         },
         "does not know: \"colour\""},
        {"not a number", Model::k640,
         [&](json& d) {
             d["settings"]["offset"] = "0.5";
             return dump(d);
         },
         "\"offset\" is not a number"},
        {"alarm pair", Model::k640,
         [&](json& d) {
             d["settings"]["highReleasePoint"] = 200;
             return dump(d);
         },
         "For High Alarms, Activation Value Should Be Greater Than The Release Value."},
        {"code the 640 cannot hold", Model::k640,
         [&](json& d) {
             d["settings"]["SensorCode"] = 0x0B01;
             return dump(d);
         },
         "The 640 cannot hold the unit"},
        {"unsendable number", Model::k640,
         [&](json& d) {
             d["settings"]["kFactor"] = 1e9;
             return dump(d);
         },
         "K cannot be sent"},
        {"delay", Model::k640,
         [&](json& d) {
             d["settings"]["highSetDelay"] = 10000;
             return dump(d);
         },
         "High Set Delay cannot be sent"},
        {"alarm mode", Model::k640,
         [&](json& d) {
             d["settings"]["lowAlarmMode"] = 3;
             return dump(d);
         },
         "Low Alarm (mode) 3 names no alarm mode"},
        {"broken JSON", Model::k640,
         [&](json& d) {
             std::string t = dump(d);
             return t.replace(t.find("\"kFactor\""), 9, "kFactor");
         },
         "not valid JSON (line "},
        {"newer version", Model::k640,
         [&](json& d) {
             d["version"] = 2;
             return dump(d);
         },
         "written by a newer version of Fernwell"},
        {"not this format", Model::k640,
         [&](json& d) {
             d["format"] = "csv";
             return dump(d);
         },
         "not a Fernwell settings file"},
        {"over 1 MiB", Model::k640,
         [&](json& d) {
             d["note"] = std::string(kSettingsFileLimit, 'x');
             return dump(d);
         },
         "larger than 1 MiB"},
        {"not a regular file", Model::k640, nullptr, "not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        json document = json::parse(Text(Sample640()));
        fs::path path = dir;  // a folder: not a regular file
        if (c.make) {
            path = dir / "file.json";
            std::ofstream(path, std::ios::binary | std::ios::trunc) << c.make(document);
        }
        const SettingsRead read = ReadSettingsFile(path.string(), c.model);
        ASSERT_TRUE(std::holds_alternative<SettingsRefusal>(read));
        EXPECT_NE(std::get<SettingsRefusal>(read).message.find(c.expected), std::string::npos)
            << std::get<SettingsRefusal>(read).message;
    }
}

// The report's page from a known module: what the customer reads, the technician's words
// escaped, the last upload from the journal, and a place to sign.
TEST(CommissioningReport, PageFromAKnownModule) {
    ModuleData640 module = Sample640();
    module.text2 = "SN <51880>";
    const ReportReading reading{module, 42.5, "gpm", true, false};
    const std::string html =
        CommissioningReportHtml({"Plant <North>", "FT-101", "A. Tech", "Line 1\nLine 2"}, reading,
                                {"2026-12-11T10:00:00.000+01:00", "fernwell 3.0", "COM3",
                                 "2026-12-10T15:02:11.120+01:00 verified"});
    for (const char* expected :
         {"<h1>Commissioning Report</h1>", "Plant &lt;North&gt;", "FT-101", "A. Tech",
          "2026-12-11T10:00:00.000+01:00", "fernwell 3.0", "COM3", "SN &lt;51880&gt;",
          "<td>42.50 gpm</td>", "<td>activated</td>", "<td>not activated</td>",
          "<td>High Set Point</td><td>150.25</td><td>gpm</td>",
          "<td>Sensor and Units (code)</td><td>0x0131 (insertion",
          "<td>High Alarm (mode)</td><td>2 (latched)</td>", "<td>High Set Point Delay</td>",
          "2026-12-10T15:02:11.120+01:00 verified", "Line 1<br>Line 2", "Technician: ___"}) {
        EXPECT_NE(html.find(expected), std::string::npos) << expected;
    }
    EXPECT_EQ(html.find("<North>"), std::string::npos);
}

}  // namespace
