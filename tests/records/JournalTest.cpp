// The journal of uploads: what one line says for each way an upload ends, and the file that
// only ever grows by whole lines.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "records/Journal.h"
#include "records/LoginName.h"
#include "records/RecordFields.h"
#include "serial/PortMap.h"  // SystemErrorText: the upload's own wording of errno, each platform's
#include "tests/common/ScratchDir.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const UploadReport kReport{{"k=2.500000\r", "o=0.059000\r", "u=0011\r"}, 3, 33, 0};

ModuleData640 Before() {
    ModuleData640 data;
    data.text1 =
        "Pump \xB0"
        "2";  // the module's text is ISO 8859-1
    data.text2 = "North";
    data.kFactor = 1.5;
    return data;
}

TEST(Journal, LineSaysHowTheUploadEnded) {
    struct Row {
        const char* name;
        UploadOutcome outcome;
        json expected;  // the keys the outcome adds, with their values
    };
    const UploadReport stoppedAtSecond{kReport.commands, 1, 14, EIO};
    const UploadReport cancelledAtFirst{kReport.commands, 0, 3, 0};
    const Row rows[] = {
        {"verified", {kLinkOk, kReport, true, kLinkOk, {}}, {{"outcome", "verified"}}},
        {"differs",
         {kLinkOk, kReport, true, kLinkOk, {{"kFactor", "2.5", "2.4"}}},
         {{"outcome", "differs"},
          {"mismatches", json::array({{{"field", "kFactor"}, {"sent", "2.5"}, {"held", "2.4"}}})}}},
        {"stopped",
         {kLinkWriteFailed, stoppedAtSecond, true, kLinkOk, {}},
         {{"outcome", "stopped"},
          {"stoppedAfter", "k=2.500000"},
          {"error", "The upload stopped at o=0.059000\\r (a byte could not be sent: " +
                        portmap::SystemErrorText(EIO) +
                        "). Sent whole: k=2.500000\\r. The module may now hold part of the new "
                        "settings."}}},
        {"cancelled before a whole command",
         {kLinkCancelled, cancelledAtFirst, true, kLinkOk, {}},
         {{"outcome", "stopped"},
          {"stoppedAfter", ""},
          {"error",
           "The upload stopped at k=2.500000\\r (stopped by the user). Sent whole: "
           "none. The module may now hold part of the new settings."}}},
        {"not read back",
         {kLinkOk, kReport, true, kLinkShortReply, {}},
         {{"outcome", "not read back"},
          {"error",
           "The settings were sent, but the module could not be read back to check them."}}},
        {"not verified", {kLinkOk, kReport, false, kLinkOk, {}}, {{"outcome", "not verified"}}},
    };
    ModuleData640 sent = Before();
    sent.kFactor = 2.5;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const json line = JournalLine({"fernwell-cli", "COM3"}, Before(), sent, row.outcome);
        json common = line;
        for (const auto& [key, value] : row.expected.items()) {
            EXPECT_EQ(line.value(key, json()), value) << key;
            common.erase(key);
        }
        std::set<std::string> keys;
        for (const auto& item : common.items()) {
            keys.insert(item.key());
        }
        EXPECT_EQ(keys, (std::set<std::string>{"time", "program", "version", "user", "port",
                                               "model", "text", "before", "sent"}));
        EXPECT_TRUE(std::regex_match(line.value("time", ""),
                                     std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})"
                                                R"((Z|[+-]\d\d:\d\d))")))
            << line["time"];
        EXPECT_EQ(line["program"], "fernwell-cli");
        EXPECT_NE(line.value("version", ""), "");
        EXPECT_EQ(line["user"], LoginName());
        EXPECT_EQ(line["port"], "COM3");
        EXPECT_EQ(line["model"], 640);
        EXPECT_EQ(line["text"], json::array({"Pump \u00B02", "North"}));
        EXPECT_EQ(line["before"], SettingsJson(Before()));
        EXPECT_EQ(line["sent"], SettingsJson(sent));
    }
}

class JournalFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.Ok());
        dir_ = scratch_.String();
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fwtest::ScratchDir scratch_{"fernwell-journal"};
    std::string dir_;
};

// Each append adds one line that parses on its own, after what the file held.
TEST_F(JournalFile, AppendsWholeLinesAfterWhatIsThere) {
    const std::string path = dir_ + "/state/fernwell/journal.jsonl";
    EXPECT_TRUE(ReadJournal(path).lines.empty()) << "no journal yet is no error";
    ASSERT_FALSE(AppendJournalLine(path, {{"n", 0}}));
    std::ofstream(path, std::ios::app) << "not json\n";
    const std::string held = Read(path);
    const json lines[] = {JournalLine({"fernwell", "COM1"}, Before(), Before(), {}),
                          {{"text", "a\nb"}}};
    for (const json& line : lines) {
        ASSERT_FALSE(AppendJournalLine(path, line));
    }
    const std::string text = Read(path);
    EXPECT_EQ(text.substr(0, held.size()), held);
    EXPECT_EQ(text.substr(held.size()), JsonText(lines[0], true) + JsonText(lines[1], true));
    const JournalRead read = ReadJournal(path);
    EXPECT_FALSE(read.error);
    EXPECT_EQ(read.skipped, 1);
    EXPECT_EQ(read.lines, (std::vector<json>{{{"n", 0}}, lines[0], lines[1]}));
}

// A journal whose folder cannot be made is reported, naming it, and nothing is written.
TEST_F(JournalFile, AFolderThatCannotBeMadeIsReported) {
    const std::string blocker = dir_ + "/file";
    std::ofstream(blocker) << "x";
    const std::string path = blocker + "/fernwell/journal.jsonl";
    const std::optional<std::string> error = AppendJournalLine(path, {{"n", 1}});
    ASSERT_TRUE(error);
    EXPECT_EQ(error->rfind("The journal could not be written (" + path + "): ", 0), 0u) << *error;
    EXPECT_TRUE(error->ends_with(". The upload itself is not affected.")) << *error;
    EXPECT_EQ(Read(blocker), "x");
    EXPECT_TRUE(ReadJournal(dir_).error) << "a folder is no journal";
}

TEST(Journal, HistoryAndLastUploadTexts) {
    const std::vector<json> lines = {
        {{"time", "T1"},
         {"port", "COM3"},
         {"model", 640},
         {"program", "fernwell"},
         {"outcome", "verified"},
         {"user", "ann"}},
        {{"time", "T2"},
         {"port", "COM3"},
         {"model", 612},
         {"program", "fernwell-cli"},
         {"outcome", "differs"},
         {"user", ""},
         {"mismatches", json::array({{{"field", "kFactor"}}, {{"field", "offset"}}})}},
        {{"time", "T3"}, {"port", "COM4"}, {"model", "hand-edited"}, {"outcome", 7}},
    };
    EXPECT_EQ(JournalLineText(lines[0]), "T1 COM3 640 fernwell verified (by ann)");
    EXPECT_EQ(JournalLineText(lines[2]), "T3 COM4 hand-edited  7");
    EXPECT_EQ(LastUploadText(lines, "COM3"), "differs (kFactor, offset) at T2");
    EXPECT_EQ(LastUploadText(lines, "COM9"), std::nullopt);
}

}  // namespace
