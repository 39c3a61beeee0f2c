// fernwell-cli through the real executable, against fernwell-sim (--fast) on a
// pseudo-terminal linked into a scratch ports directory.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/WatchSleep.h"
#include "serial/SerialPort.h"
#include "store/RegistryStore.h"
#include "tests/cli/CliProcess.h"
#include "tests/common/PtyPair.h"
#include "tests/common/ScopedWaits.h"
#include "tests/common/SimProcess.h"
#include "tests/common/TextLines.h"

// Failing comparisons show the JSON.
void PrintTo(const QJsonObject& object, std::ostream* os) {
    *os << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
void PrintTo(const QJsonValue& value, std::ostream* os) {
    *os << QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).toStdString();
}

namespace {

namespace fs = std::filesystem;
using clitest::CliOutcome;
using clitest::RunCli;

constexpr int kSimPort = 4;

using testing_text::Lines;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

QJsonDocument Json(const CliOutcome& r) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.out));
}

std::string Show(const CliOutcome& r) {
    return "exit " + std::to_string(r.exitCode) + "\nstdout:\n" + r.out + "stderr:\n" + r.err;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ports_.Ok());
        // The program's fixed waits, shortened for the fast simulator.
        setenv("FERNWELL_OPEN_DELAY_MS", "0", 1);
        setenv("FERNWELL_BYTE_PAUSE_MS", "5", 1);
        // Uploads write their journal lines here, not into the user's own journal.
        setenv("XDG_STATE_HOME", (ports_.PortsDir() + "/state").c_str(), 1);
    }

    void StartSim(std::vector<std::string> args) {
        sim_.emplace(fwtest::SimProcess::Options{
            .args = std::move(args), .port = kSimPort, .portsDir = ports_.PortsDir()});
        ASSERT_TRUE(sim_->Ok()) << sim_->Error();
    }

    // fernwell-cli --model <model> --port kSimPort <args...>
    static CliOutcome Run(const std::string& model, std::vector<std::string> args) {
        args.insert(args.begin(), {"--model", model, "--port", std::to_string(kSimPort)});
        return RunCli(args);
    }

    static QJsonObject ReadJson(const std::string& model) {
        const CliOutcome r = Run(model, {"read", "--json"});
        EXPECT_EQ(r.exitCode, 0) << Show(r);
        return Json(r).object();
    }

    fwtest::ScopedPortsDir ports_;
    std::optional<fwtest::SimProcess> sim_;
};

// A serial terminal the user may not open (a pseudo-terminal made mode 0), where the user is
// not root, who opens it anyway.
std::optional<std::string> DeniedTerminal(const fwtest::PtyPair& line) {
    chmod(line.SlavePath().c_str(), 0);
    const int fd = open(line.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        close(fd);
        return std::nullopt;
    }
    return errno == EACCES ? std::optional(line.SlavePath()) : std::nullopt;
}

TEST_F(Cli, PortsListsEveryLinkedDeviceWithItsState) {
    fwtest::PtyPair freeLine;
    fwtest::PtyPair busyLine;
    fwtest::PtyPair deniedLine;
    ASSERT_TRUE(freeLine.Ok() && busyLine.Ok() && deniedLine.Ok());
    struct Row {
        int number;
        std::string device;
        std::string state;
        std::string description;  // a fourth column of the text where not empty
    };
    std::vector<Row> expected = {{2, freeLine.SlavePath(), "free", "pseudo-terminal"},
                                 {3, busyLine.SlavePath(), "in use", "pseudo-terminal"}};
    if (const std::optional<std::string> denied = DeniedTerminal(deniedLine)) {
        expected.push_back({5, *denied, "no permission", "pseudo-terminal"});
    }
    for (const Row& row : expected) {
        ASSERT_TRUE(ports_.Link(row.number, row.device));
    }
    ASSERT_TRUE(ports_.Link(7, ports_.Root() + "/gone"));  // dangling: no port
    // No serial terminals, though every process holds /dev/null: not listed.
    ASSERT_TRUE(ports_.Link(8, "/dev/null"));
    const std::string file = ports_.Root() + "/plain";
    std::ofstream(file).put('x');
    ASSERT_TRUE(ports_.Link(9, file));

    // The program itself holding COM3.
    CSerialPort holder;
    {
        const fwtest::ScopedOpenDelay noDelay(0);
        ASSERT_EQ(holder.Open(3, 1200, 'N', 8, 1), 0) << holder.LastErrorText();
    }

    const CliOutcome json = RunCli({"--json", "ports"});
    ASSERT_EQ(json.exitCode, 0) << Show(json);
    const QJsonArray array = Json(json).array();
    ASSERT_EQ(array.size(), static_cast<qsizetype>(expected.size())) << json.out;
    const CliOutcome text = RunCli({"ports"});
    ASSERT_EQ(text.exitCode, 0) << Show(text);
    const std::vector<std::string> lines = Lines(text.out);
    ASSERT_EQ(lines.size(), expected.size()) << text.out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Row& row = expected[i];
        SCOPED_TRACE("COM" + std::to_string(row.number));
        const QJsonObject port = array[static_cast<qsizetype>(i)].toObject();
        EXPECT_EQ(port.keys(), (QStringList{"description", "device", "number", "state"}));
        EXPECT_EQ(port["number"].toInt(), row.number);
        EXPECT_EQ(port["device"].toString().toStdString(), row.device);
        EXPECT_EQ(port["state"].toString().toStdString(), row.state);
        EXPECT_EQ(port["description"].toString().toStdString(), row.description);
        EXPECT_EQ(lines[i], "COM" + std::to_string(row.number) + "\t" + row.device + "\t" +
                                row.state +
                                (row.description.empty() ? "" : "\t" + row.description));
    }
}

TEST_F(Cli, ReadJsonGivesEveryFieldOfBothRecords) {
    struct Case {
        const char* model;
        QStringList keys;  // sorted
        std::vector<std::pair<const char*, QJsonValue>> values;
    };
    const std::vector<Case> cases = {
        {"612",
         {"PulseUnitCode", "SensorCode", "flowRate",    "kFactor",  "offset",
          "pulseUnitName", "pulseValue", "pulseWidth",  "row",      "rowText",
          "sensorType",    "text1",      "text2",       "unitName", "value11",
          "value13",       "value9",     "variantChar", "word12",   "word3"},
         {{"text1", "FERNWELL 612"},
          {"variantChar", "4"},
          {"kFactor", 1.6965},
          {"offset", 0.059},
          {"flowRate", 42.5},
          {"pulseWidth", 100},
          {"SensorCode", 0x20},
          {"PulseUnitCode", 51},
          {"sensorType", "wss"},
          {"rowText", ""},
          {"unitName", "mph"},
          {"pulseUnitName", "mph"},
          {"word3", 0x03100612}}},
        {"640",
         {"SensorCode",
          "flowRate",
          "highAlarmMode",
          "highReleaseDelay",
          "highReleasePoint",
          "highSetDelay",
          "highSetPoint",
          "kFactor",
          "lowAlarmMode",
          "lowReleaseDelay",
          "lowReleasePoint",
          "lowSetDelay",
          "lowSetPoint",
          "nValue",
          "offset",
          "row",
          "rowText",
          "sensorType",
          "text1",
          "text2",
          "unitFactor",
          "unitName",
          "value9",
          "variantChar",
          "word10",
          "word3"},
         {{"text2", "REV 2.20"},
          {"variantChar", "4"},
          {"kFactor", 1.6965},
          {"flowRate", 42.5},
          {"SensorCode", 0x0120},
          {"highSetPoint", 120},
          {"lowReleasePoint", 10},
          {"highReleaseDelay", 10},
          {"lowAlarmMode", 1},
          {"sensorType", "insertion"},
          {"row", 2},
          {"rowText", "3\" Class 200\""},
          {"unitName", "gpm"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        StartSim({"--model", c.model, "--flow", "42.5"});
        const QJsonObject record = ReadJson(c.model);
        EXPECT_EQ(record.keys(), c.keys);
        for (const char* text : {"text1", "text2", "variantChar", "sensorType", "rowText"}) {
            EXPECT_TRUE(record[text].isString()) << text;
        }
        EXPECT_TRUE(record["SensorCode"].isDouble());
        for (const auto& [key, value] : c.values) {
            EXPECT_EQ(record[key], value) << key;
        }
    }
}

TEST_F(Cli, SendDryRunPrintsTheUploadAndSendsNothing) {
    struct Case {
        const char* model;
        std::vector<std::string> keys;
        std::vector<std::string> commands;
    };
    const std::vector<Case> cases = {
        {"612",
         {"pulseWidth=100"},
         {"d=0051\\r", "o=0.059000\\r", "k=1.696500\\r", "x=2.000000\\r", "w=100.0000\\r",
          "s=0000\\r", "u=0032\\r"}},
        // The row sets K and offset and the unit back to gpm; unit= then picks gph.
        {"612",
         {"sensor=insertion", "row=2", "unit=gph", "pulseUnit=Gallons", "pulseWidth=250"},
         {"d=0021\\r", "o=0.076000\\r", "k=4.682000\\r", "x=2.000000\\r", "w=250.0000\\r",
          "s=0000\\r", "u=0514\\r"}},
        // Same sensor type: K, offset and the pulse unit stay; km/h is code 0x29.
        {"612",
         {"unit=km/h", "pulseValue=0.5"},
         {"d=0051\\r", "o=0.059000\\r", "k=1.696500\\r", "x=0.500000\\r", "w=100.0000\\r",
          "s=0000\\r", "u=0041\\r"}},
        {"640",
         {"sensor=tee", "row=3", "unit=l/min", "highAlarm=latched", "lowSetDelay=7"},
         {"o=0.227000\\r", "k=8.309000\\r", "u=1431\\r", "s=0002\\r", "n=1.000000\\r",
          "m=3.785412\\r", "e=120.0000\\r", "g=110.0000\\r", "j=5.000000\\r", "d=10.00000\\r",
          "p=0002\\r", "q=0001\\r", "$=0005\\r", "#=0010\\r", "%=0007\\r", "&=0010\\r"}},
        // Given K and offset win over the row's.
        {"640",
         {"kFactor=2.5", "offset=-0.059", "row=4"},
         {"o=-0.05900\\r", "k=2.500000\\r", "u=0141\\r", "s=0002\\r", "n=1.000000\\r",
          "m=1.000000\\r", "e=120.0000\\r", "g=110.0000\\r", "j=5.000000\\r", "d=10.00000\\r",
          "p=0001\\r", "q=0001\\r", "$=0005\\r", "#=0010\\r", "%=0005\\r", "&=0010\\r"}},
        // The wind constants, and unitFactor following the unit.
        {"640",
         {"unit=mph", "sensor=wss"},
         {"o=0.059000\\r", "k=1.696500\\r", "u=2001\\r", "s=0002\\r", "n=1.000000\\r",
          "m=1.000000\\r", "e=120.0000\\r", "g=110.0000\\r", "j=5.000000\\r", "d=10.00000\\r",
          "p=0001\\r", "q=0001\\r", "$=0005\\r", "#=0010\\r", "%=0005\\r", "&=0010\\r"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + ::testing::PrintToString(c.keys));
        StartSim({"--model", c.model});
        std::vector<std::string> args = {"send", "--dry-run"};
        args.insert(args.end(), c.keys.begin(), c.keys.end());
        const CliOutcome text = Run(c.model, args);
        ASSERT_EQ(text.exitCode, 0) << Show(text);
        std::vector<std::string> expected = c.commands;
        expected.push_back("Dry run: nothing was sent.");
        EXPECT_EQ(Lines(text.out), expected);

        args.push_back("--json");
        const CliOutcome json = Run(c.model, args);
        ASSERT_EQ(json.exitCode, 0) << Show(json);
        QStringList sent;
        for (const QJsonValue& v : Json(json).object()["sent"].toArray()) {
            sent << v.toString();
        }
        EXPECT_EQ(sent.join("\n").toStdString() + "\nDry run: nothing was sent.\n", text.out);
        EXPECT_EQ(Json(json).object()["dryRun"], true);
    }
}

TEST_F(Cli, DryRunLeavesTheModuleAsItWas) {
    StartSim({"--model", "640"});
    const CliOutcome r = Run("640", {"send", "--dry-run", "kFactor=7", "highSetPoint=150"});
    ASSERT_EQ(r.exitCode, 0) << Show(r);
    const QJsonObject record = ReadJson("640");
    EXPECT_EQ(record["kFactor"], 1.6965);
    EXPECT_EQ(record["highSetPoint"], 120);
}

TEST_F(Cli, SendThenReadRoundTrips) {
    struct Case {
        const char* model;
        std::vector<std::string> keys;
        std::vector<std::pair<const char*, QJsonValue>> readBack;
    };
    const std::vector<Case> cases = {
        {"612",
         {"sensor=tee", "row=4", "unit=l/min", "pulseUnit=Liters", "pulseWidth=500",
          "pulseValue=12.5"},
         {{"sensorType", "tee"},
          {"row", 4},
          {"rowText", "KV400-4\""},
          {"unitName", "l/min"},
          {"kFactor", 13.74283},
          {"offset", 0.23707},
          {"PulseUnitCode", 31},
          {"pulseUnitName", "Liters"},
          {"pulseWidth", 500},
          {"pulseValue", 12.5}}},
        {"640",
         {"sensor=insertion", "row=5", "unit=gph", "highSetPoint=99.5", "highReleasePoint=90",
          "lowSetPoint=3", "lowReleasePoint=8", "highAlarm=off", "lowAlarm=latched",
          "highSetDelay=12"},
         {{"sensorType", "insertion"},
          {"rowText", "6\" Class 160\""},
          {"unitName", "gph"},
          {"SensorCode", 0x0251},
          {"unitFactor", 60},
          {"kFactor", 21.968},
          {"highSetPoint", 99.5},
          {"highReleasePoint", 90},
          {"lowSetPoint", 3},
          {"lowReleasePoint", 8},
          {"highAlarmMode", 0},
          {"lowAlarmMode", 2},
          {"highSetDelay", 12},
          {"lowSetDelay", 5}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        StartSim({"--model", c.model, "--flow", "10"});
        std::vector<std::string> args = {"send"};
        args.insert(args.end(), c.keys.begin(), c.keys.end());
        const CliOutcome sent = Run(c.model, args);
        ASSERT_EQ(sent.exitCode, 0) << Show(sent);
        QJsonObject first = ReadJson(c.model);
        for (const auto& [key, value] : c.readBack) {
            EXPECT_EQ(first[key], value) << key;
        }
        // A send of a value the module holds already gives it back everything else as it
        // holds it (the 612's pulse unit converted from its read-back form). Only the
        // simulator's count of "s=" commands (word12, word10) moves.
        const CliOutcome again = Run(c.model, {"send", c.keys.back()});
        ASSERT_EQ(again.exitCode, 0) << Show(again);
        QJsonObject second = ReadJson(c.model);
        for (const char* counter : {"word10", "word12"}) {
            first.remove(counter);
            second.remove(counter);
        }
        EXPECT_EQ(second, first);
    }
}

// A real module drops bytes that come faster than 50 ms apart: only FERNWELL_BYTE_PAUSE_MS
// (tests against the fast simulator) may shorten the pause after each uploaded byte.
TEST_F(Cli, BytePauseIsShortenedOnlyThroughTheEnvironment) {
    struct Row {
        const char* pause;  // nullptr: unset
        bool fullPace;
    } rows[] = {{nullptr, true}, {"5", false}};
    StartSim({"--model", "612"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pause ? row.pause : "unset");
        row.pause ? setenv("FERNWELL_BYTE_PAUSE_MS", row.pause, 1)
                  : unsetenv("FERNWELL_BYTE_PAUSE_MS");
        const auto start = std::chrono::steady_clock::now();
        const CliOutcome r = Run("612", {"send", "kFactor=2.5"});
        const auto elapsed = std::chrono::steady_clock::now() - start;
        ASSERT_EQ(r.exitCode, 0) << Show(r);
        std::size_t bytes = 0;
        for (const std::string& line : Lines(r.out)) {
            if (line.ends_with("\\r")) {
                bytes += line.size() - 1;  // a command, its CR shown as the two characters \r
            }
        }
        ASSERT_GT(bytes, 60u);
        EXPECT_EQ(elapsed >= std::chrono::milliseconds(50) * bytes, row.fullPace)
            << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << " ms for "
            << bytes << " bytes";
    }
}

TEST_F(Cli, ExitStatusAndOneErrorLine) {
    struct Case {
        const char* what;
        std::vector<std::string> sim;  // empty: no simulator
        std::vector<std::string> args;
        int exitCode;
        const char* error;
    };
    const std::string port = std::to_string(kSimPort);
    const std::string file612 = ports_.PortsDir() + "/612.json";
    std::ofstream(file612) << R"({"format": "fernwell-settings", "version": 1, "model": 612,
        "settings": {}})";
    const std::vector<Case> cases = {
        {"unknown command", {}, {"frobnicate"}, 1, "unknown command \"frobnicate\""},
        {"unknown option", {}, {"poll", "--frob=1", "-x"}, 1, "Unknown options: frob, x. (see"},
        {"option without its value", {}, {"poll", "--port"}, 1, "Missing value after '--port'."},
        {"value that looks like an option",
         {},
         {"--port", "--json", "poll"},
         1,
         "--port wants a COM number from 1 to 255, not \"--json\""},
        {"unknown key", {}, {"--port", port, "send", "colour=red"}, 1, "unknown key \"colour\""},
        {"640 key on a 612", {}, {"--port", port, "send", "highAlarm=on"}, 1, "unknown key"},
        // Every key of the model, in the order the dialog applies them.
        {"612 keys",
         {},
         {"--port", port, "send", "zz=1"},
         1,
         ": kFactor, offset, sensor, row, unit, pulseValue, pulseUnit, pulseWidth\n"},
        {"640 keys",
         {},
         {"--model", "640", "--port", port, "send", "zz=1"},
         1,
         ": kFactor, offset, sensor, row, unit, highSetPoint, highReleasePoint, lowSetPoint, "
         "lowReleasePoint, highSetDelay, highReleaseDelay, lowSetDelay, lowReleaseDelay, "
         "highAlarm, lowAlarm\n"},
        {"bad value", {}, {"--port", port, "send", "pulseWidth=75"}, 1, "50 to 5000"},
        {"bad model", {}, {"--model", "700", "poll"}, 1, "--model wants 612 or 640"},
        {"unit of another sensor type",
         {"--model", "612"},
         {"--port", port, "send", "unit=gph"},
         1,
         "not a unit of a wss sensor"},
        {"key given twice", {}, {"send", "kFactor=1", "kFactor=2"}, 1, "kFactor is given twice"},
        {"pulse unit of another sensor family",
         {"--model", "612"},
         {"--port", port, "send", "sensor=tee"},
         1,
         "give pulseUnit="},
        {"row of a wind sensor",
         {"--model", "612"},
         {"--port", port, "send", "row=1"},
         1,
         "row applies to insertion and tee sensors"},
        {"row beyond the table",
         {"--model", "640"},
         {"--model", "640", "--port", port, "send", "row=13"},
         1,
         "(0 to 12)"},
        {"no link for the port", {}, {"--json", "--port", "9", "poll"}, 2, "/dev/ttyS8"},
        {"same port twice", {}, {"--port", port, "--port", port, "poll"}, 1, "COM4 is given twice"},
        {"port and its device",
         {"--model", "612"},
         {"--port", port, "--device", ports_.PortsDir() + "/com" + port, "read"},
         1,
         "are the same port"},
        {"two signs", {}, {"--port", port, "send", "offset=+-5"}, 1, "offset wants a number"},
        {"negative diameter", {}, {"calc", "-1"}, 1, "calc wants a diameter greater than 0"},
        {"status of a 612", {}, {"--port", port, "status"}, 1, "status reads the alarms of a 640"},
        {"missing device",
         {},
         {"--device", "/nonexistent/tty", "read"},
         2,
         "Error Opening /nonexistent/tty: No such file or directory"},
        {"silent module",
         {"--model", "612", "--silent"},
         {"--port", port, "read"},
         3,
         "Error Communicating to Module"},
        {"silent 640 poll",
         {"--model", "640", "--silent"},
         {"--model", "640", "--port", port, "--json", "poll"},
         3,
         "Error Communicating to Module"},
        {"silent module while watching",
         {"--model", "612", "--silent"},
         {"--port", port, "watch", "--count", "1"},
         3,
         "Error Communicating to Module"},
        {"calculator range", {}, {"calc", "2"}, 4, "Please use a Tee-Type sensor"},
        {"alarm pair",
         {"--model", "640"},
         {"--model", "640", "--port", port, "send", "highSetPoint=90", "highReleasePoint=100"},
         4,
         "For High Alarms, Activation Value Should Be Greater Than The Release Value. Invalid"},
        {"low alarm pair",
         {"--model", "640"},
         {"--model", "640", "--port", port, "send", "lowSetPoint=20"},
         4,
         "For Low Alarms"},
        {"value that cannot be sent",
         {"--model", "612"},
         {"--port", port, "send", "kFactor=123456789"},
         4,
         "K cannot be sent"},
        {"settings file of the other model",
         {"--model", "640"},
         {"--model", "640", "--port", port, "load", file612},
         4,
         "is for a 612, but the module is a 640"},
        {"diff of one module without a file", {}, {"--port", port, "diff"}, 1, "give two ports"},
        {"switch of another command", {}, {"poll", "--note", "x"}, 1, "--note does not apply"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.sim.empty()) {
            StartSim(c.sim);
        }
        const CliOutcome r = RunCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << Show(r);
        // With --json a command that ran and failed still prints one document: its "error"
        // is the line. (A usage error is the command line's, before any command ran.)
        const bool json =
            c.exitCode != 1 && std::find(c.args.begin(), c.args.end(), "--json") != c.args.end();
        EXPECT_EQ(Json(r).object()["error"].toString().toStdString() + (json ? "\n" : ""),
                  json ? r.err : "")
            << r.out;
        EXPECT_EQ(r.out.empty(), !json);
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
        sim_.reset();
    }
}

// Faults of the line and the module never pass for success: the exit status, the one error
// line, what stdout still says, and what the module holds afterwards.
TEST_F(Cli, FailuresAreNeverReportedAsSuccess) {
    struct Case {
        const char* what;
        std::vector<std::string> sim;
        std::vector<std::string> args;
        int exitCode;
        std::string error;                                    // "" : standard error stays empty
        std::string out;                                      // part of standard output ("" : any)
        std::optional<std::pair<const char*, double>> holds;  // a field of the 612 afterwards
        std::vector<int> closed = {};  // descriptors the program starts without
    };
    const std::string device = ports_.Root() + "/plain-file";
    std::ofstream(device).put('x');
    const std::vector<Case> cases = {
        // "v\r" and "d=0051\r" are bytes 1 to 9: the 20th is inside "k=".
        {"hang-up mid-upload",
         {"--model", "612", "--hangup-after-bytes", "20"},
         {"send", "kFactor=2.5"},
         3,
         "the upload stopped at k=2.500000\\r (a byte could not be sent: Input/output error). "
         "Sent whole: d=0051\\r o=0.059000\\r. The module may now hold part",
         "",
         std::nullopt},
        // Byte 14 is the 0 after "o=0.": the module keeps 0.59.
        {"dropped byte",
         {"--model", "612", "--drop-byte", "14"},
         {"send", "kFactor=2.5"},
         3,
         "The module does not hold what was sent (COM4): offset sent 0.059000, holds 0.590000.",
         "k=2.500000\\r",
         std::pair{"offset", 0.59}},
        {"dropped byte, not verified",
         {"--model", "612", "--drop-byte", "14"},
         {"send", "kFactor=2.5", "--no-verify"},
         0,
         "",
         "u=0032\\r",
         std::pair{"kFactor", 2.5}},
        {"clean upload verified",
         {"--model", "612"},
         {"send", "kFactor=2.5"},
         0,
         "",
         "Verified: the module holds every value sent.",
         std::pair{"kFactor", 2.5}},
        // The module would read "u=2d01" as the decimal number 2: refused before any byte.
        {"hex letter in the 640 code",
         {"--model", "640"},
         {"--model", "640", "send", "sensor=wss", "unit=km/h"},
         4,
         "SensorCode 2d01 cannot be sent: the 640 reads it as the decimal number 2.",
         "",
         std::nullopt},
        {"pause inside a status reply",
         {"--model", "640", "--pause-ms", "300", "--high-status", "00000100"},
         {"--model", "640", "status"},
         3,
         "Error Communicating to Module",
         "",
         std::nullopt},
        {"dribbling module",
         {"--model", "640", "--dribble-ms", "150"},
         {"--model", "640", "poll"},
         3,
         "Error Communicating to Module",
         "",
         std::nullopt},
        {"extra line before the dump",
         {"--model", "612", "--extra-line"},
         {"send", "pulseWidth=200"},
         3,
         "a garbled parameter dump; nothing was sent",
         "",
         std::nullopt},
        {"send without keys",
         {"--model", "612"},
         {"send"},
         1,
         "send wants at least one",
         "",
         std::pair{"pulseWidth", 100}},
        {"value the cut would change",
         {"--model", "612"},
         {"send", "kFactor=1e-7"},
         4,
         "K cannot be sent: the module would receive 0.000000 instead.",
         "",
         std::pair{"kFactor", 1.6965}},
        {"log that cannot be written",
         {"--model", "612"},
         {"watch", "--count", "1", "--csv", "/dev/full"},
         3,
         "cannot write /dev/full: No space left on device",
         "",
         std::nullopt},
        {"control characters shown escaped",
         {"--model", "612", "--control-text"},
         {"read"},
         0,
         "",
         "text1: FERNWELL 612\\x1b[2J\\x1b[31m\\x07\n",
         std::nullopt},
        {"device that is no serial port",
         {},
         {"--device", device, "poll"},
         2,
         "Error Opening " + device + ": Inappropriate ioctl for device. " + device +
             " is not a serial port.",
         "",
         std::nullopt},
        {"/dev/null, which every process holds",
         {},
         {"--device", "/dev/null", "poll"},
         2,
         "Error Opening /dev/null: Inappropriate ioctl for device. /dev/null is not a serial port.",
         "",
         std::nullopt},
        // A closed output never becomes the serial line: the reading cannot be delivered.
        {"standard output closed",
         {"--model", "612"},
         {"poll"},
         3,
         "cannot write standard output: Bad file descriptor",
         "",
         std::pair{"pulseWidth", 100},
         {STDOUT_FILENO}},
        {"standard error closed",
         {"--model", "612"},
         {"send", "kFactor=2.5"},
         0,
         "",
         "Verified: the module holds every value sent.",
         std::pair{"kFactor", 2.5},
         {STDERR_FILENO}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.sim.empty()) {
            StartSim(c.sim);
        }
        std::vector<std::string> args = c.args;
        if (args.front() != "--device") {
            args.insert(args.begin(), {"--port", std::to_string(kSimPort)});
        }
        const CliOutcome r = clitest::CliProcess(args, c.closed).Finish();
        EXPECT_EQ(r.exitCode, c.exitCode) << Show(r);
        if (c.error.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
            EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
        }
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        if (c.holds) {
            EXPECT_EQ(ReadJson("612")[c.holds->first], c.holds->second);
        }
        sim_.reset();
    }
}

// Ctrl-C ends an exchange or an upload at once, and says where an upload stopped.
TEST_F(Cli, CtrlCEndsAnExchangeWithinASecond) {
    struct Case {
        std::vector<std::string> sim;
        std::vector<std::string> args;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--model", "640", "--dribble-ms", "100"}, {"--model", "640", "poll"}, "Interrupted"},
        {{"--model", "612"}, {"send", "kFactor=2.5"}, "Interrupted (COM4): the upload stopped at "},
    };
    setenv("FERNWELL_BYTE_PAUSE_MS", "50", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        StartSim(c.sim);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--port", std::to_string(kSimPort)});
        clitest::CliProcess cli(args);
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        kill(cli.Pid(), SIGINT);
        const CliOutcome r = cli.Finish(1000);  // killed, exit -1, when slower than that
        EXPECT_EQ(r.exitCode, 130) << Show(r);
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        sim_.reset();
    }
}

// The log is opened once a reading is in, and appended to: a watch that cannot start leaves
// it alone, and the header goes only into a new file. A row goes in whole or not at all
// (here: a file size limit of 200 bytes), never onto a cut row, never under another header.
TEST_F(Cli, WatchAppendsToItsLog) {
    const std::string file = ports_.Root() + "/flow.csv";
    std::ofstream(file) << "time,flowRate,unit\nearlier,1,mph\n";
    EXPECT_EQ(Run("612", {"watch", "--count", "1", "--csv", file}).exitCode, 2);  // no module
    StartSim({"--model", "612", "--flow", "7.25"});
    struct Row {
        const char* before;
        rlim_t sizeLimit;  // RLIM_INFINITY: none
        int exitCode;
        std::vector<std::string> kept;  // the lines of `before` still there, in order
        std::string error;
        std::string lineEnd;  // of every line: a log keeps its own, a new one has CR LF
    } rows[] = {
        {"time,flowRate,unit\nearlier,1,mph\n",
         RLIM_INFINITY,
         0,
         {"time,flowRate,unit", "earlier,1,mph"},
         "",
         "\n"},
        {"time,flowRate,unit\r\n2026-12-09",
         RLIM_INFINITY,
         0,
         {"time,flowRate,unit", "2026-12-09"},
         "",
         "\r\n"},
        {"time,flowRate,unit,highActivated,lowActivated\n",
         RLIM_INFINITY,
         3,
         {"time,flowRate,unit,highActivated,lowActivated"},
         "not this watch's header",
         "\n"},
        {"", 200, 3, {"time,flowRate,unit"}, "cannot write " + file + ": File too large", "\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.before);
        std::ofstream(file, std::ios::trunc) << row.before;
        clitest::CliProcess watch({"--port", std::to_string(kSimPort), "watch", "--count", "8",
                                   "--interval", "0", "--csv", file});
        const rlimit limit{row.sizeLimit, row.sizeLimit};
        ASSERT_EQ(prlimit(watch.Pid(), RLIMIT_FSIZE, &limit, nullptr), 0);
        const CliOutcome r = watch.Finish();
        EXPECT_EQ(r.exitCode, row.exitCode) << Show(r);
        EXPECT_NE(r.err.find(row.error), std::string::npos) << r.err;
        std::ifstream in(file, std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(std::count(text.begin(), text.end(), '\r'),
                  row.lineEnd == "\r\n" ? std::count(text.begin(), text.end(), '\n') : 0)
            << text;
        std::erase(text, '\r');
        std::vector<std::string> lines = Lines(text);
        ASSERT_GE(lines.size(), row.kept.size()) << text;
        EXPECT_EQ(std::vector(lines.begin(), lines.begin() + row.kept.size()), row.kept);
        lines.erase(lines.begin(), lines.begin() + row.kept.size());
        if (row.exitCode == 0) {
            EXPECT_EQ(lines.size(), 8u) << text;
        } else if (row.sizeLimit != RLIM_INFINITY) {
            EXPECT_GT(lines.size(), 0u) << text;  // the rows up to the limit, each whole
            EXPECT_LE(text.size(), row.sizeLimit);
        } else {
            EXPECT_EQ(lines.size(), 0u) << text;
        }
        for (const std::string& line : lines) {
            EXPECT_TRUE(line.ends_with(",7.25,mph")) << line;
        }
        EXPECT_TRUE(text.empty() || text.back() == '\n');
    }
}

// An unplugged port is said once, retried every second without spinning, and used again
// when it is back.
TEST_F(Cli, WatchCarriesOnWhenThePortComesBack) {
    StartSim({"--model", "612", "--flow", "7.25", "--hangup-after", "2"});
    clitest::CliProcess watch(
        {"--port", std::to_string(kSimPort), "watch", "--interval", "0", "--count", "8"});
    ASSERT_TRUE(sim_->WaitExit(5000).has_value());
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    StartSim({"--model", "612", "--flow", "7.25"});
    const CliOutcome r = watch.Finish(15000);
    EXPECT_EQ(r.exitCode, 3) << Show(r);
    const std::vector<std::string> errors = Lines(r.err);
    ASSERT_EQ(errors.size(), 2u) << r.err;
    EXPECT_NE(errors[0].find("COM4: the port is gone (Input/output error)"), std::string::npos);
    EXPECT_NE(errors[1].find("COM4: the port is back"), std::string::npos);
    EXPECT_GE(Lines(r.out).size(), 3u) << r.out;  // readings before and after
}

TEST_F(Cli, RejectedSendSendsNothing) {
    StartSim({"--model", "640"});
    const CliOutcome r =
        Run("640", {"send", "kFactor=3", "highSetPoint=90", "highReleasePoint=100"});
    ASSERT_EQ(r.exitCode, 4) << Show(r);
    EXPECT_EQ(ReadJson("640")["kFactor"], 1.6965);
}

// A module's settings saved, loaded into a second module of its model and compared: diff
// finds the one changed setting before and nothing after; the journal keeps the load and the
// report names the port and the settings.
TEST_F(Cli, SaveLoadIntoAnotherModuleThenDiffFindsThemIdentical) {
    struct Case {
        std::string model;
        std::vector<std::string> change;  // send keys for the first module
        std::string changed;              // the diff line of the one changed setting
    };
    const Case cases[] = {
        {"612", {"kFactor=2.25"}, "K (kFactor): module 1.6965, file 2.25"},
        {"640",
         {"highSetPoint=150.5"},
         "High Set Point (highSetPoint): module 120 gpm, file 150.5 gpm"},
    };
    const std::string file = ports_.PortsDir() + "/settings.json";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        fwtest::SimProcess first(
            {.args = {"--model", c.model}, .port = 5, .portsDir = ports_.PortsDir()});
        fwtest::SimProcess second(
            {.args = {"--model", c.model}, .port = 6, .portsDir = ports_.PortsDir()});
        ASSERT_TRUE(first.Ok() && second.Ok());
        const auto on = [&](const char* port, std::vector<std::string> args) {
            args.insert(args.begin(), {"--model", c.model, "--port", port});
            return RunCli(args);
        };
        std::vector<std::string> send = {"send"};
        send.insert(send.end(), c.change.begin(), c.change.end());
        ASSERT_EQ(on("5", send).exitCode, 0);
        ASSERT_EQ(on("5", {"save", file, "--note", "as found"}).exitCode, 0);

        const CliOutcome before = on("6", {"diff", file});
        EXPECT_EQ(before.exitCode, 5) << Show(before);
        EXPECT_EQ(Lines(before.out), std::vector<std::string>{c.changed});
        const CliOutcome load = on("6", {"load", file});
        EXPECT_EQ(load.exitCode, 0) << Show(load);
        EXPECT_NE(load.out.find("Verified"), std::string::npos) << load.out;
        const CliOutcome after =
            RunCli({"--model", c.model, "--port", "5", "--port", "6", "--json", "diff"});
        EXPECT_EQ(after.exitCode, 0) << Show(after);
        EXPECT_EQ(Json(after).object()["identical"], true);
        EXPECT_EQ(on("6", {"diff", file}).exitCode, 0);

        const CliOutcome history = on("6", {"--json", "history"});
        const QJsonArray lines = Json(history).array();
        ASSERT_FALSE(lines.isEmpty()) << Show(history);
        EXPECT_EQ(lines.last().toObject()["program"], "fernwell-cli");
        EXPECT_EQ(lines.last().toObject()["port"], "COM6");
        EXPECT_EQ(lines.last().toObject()["outcome"], "verified");

        const std::string report = ports_.PortsDir() + "/report.html";
        ASSERT_EQ(on("6", {"report", report, "--site", "North & Sons"}).exitCode, 0);
        std::ifstream in(report);
        const std::string html((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        for (const char* expected :
             {"Commissioning Report", "North &amp; Sons", "<td>COM6</td>", "verified"}) {
            EXPECT_NE(html.find(expected), std::string::npos) << expected;
        }
    }
}

TEST_F(Cli, PortComesFromOptionOrTheStoredSetting) {
    StartSim({"--model", "612"});
    // No stored "CommPort": COM1, which has no link here.
    CliOutcome r = RunCli({"poll"});
    EXPECT_EQ(r.exitCode, 2) << Show(r);
    EXPECT_NE(r.err.find("Error Opening COM1: "), std::string::npos) << r.err;

    CRegistryStore store;
    ASSERT_EQ(store.SetKey("Software\\Fernwell\\", 1), 1);
    ASSERT_EQ(store.WriteInt("CommPort", kSimPort), 1);
    // Each --model holds for the ports and devices given after it; the last one is the default.
    const std::string device = sim_->DevicePath();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"poll"},
          {"--device", device, "poll"},
          {"--device=" + device, "-json", "poll"},
          {"--model", "612", "--device", device, "--model", "640", "poll"}}) {
        SCOPED_TRACE(args.size() > 1 ? args[0] + " " + args[1] : args[0]);
        r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << Show(r);
        EXPECT_TRUE(r.out.rfind("Flow rate: ", 0) == 0 || r.out.rfind("{", 0) == 0) << r.out;
    }
}

// The model given before each port decides that module's baud rate, upload set and read-back;
// a command its model cannot answer turns that module away by name and the others carry on.
TEST_F(Cli, EachModuleIsSpokenToInItsOwnModel) {
    StartSim({"--model", "640"});
    const std::string port = std::to_string(kSimPort);
    CliOutcome r =
        RunCli({"--model", "640", "--port", port, "--model", "612", "send", "kFactor=2"});
    ASSERT_EQ(r.exitCode, 0) << Show(r);
    EXPECT_NE(r.out.find("u=0120\\r"), std::string::npos) << "the 640's upload set: " << r.out;
    const QJsonObject held = ReadJson("640");
    EXPECT_EQ(held["kFactor"], 2);
    EXPECT_EQ(held["SensorCode"], 0x0120);
    EXPECT_EQ(held["lowReleasePoint"], 10);

    const fwtest::SimProcess other(fwtest::SimProcess::Options{
        .args = {"--model", "612"}, .port = 5, .portsDir = ports_.PortsDir()});
    ASSERT_TRUE(other.Ok());
    r = RunCli({"--model", "612", "--port", "5", "--model", "640", "--port", port, "status"});
    EXPECT_EQ(r.exitCode, 1) << Show(r);
    EXPECT_EQ(
        Lines(r.err),
        std::vector<std::string>{
            "status reads the alarms of a 640: COM5 is a 612 (give --model 640 before its port)"});
    EXPECT_NE(r.out.find("COM4: High alarm: "), std::string::npos) << r.out;
}

TEST_F(Cli, PollAndStatusDecodeTheAlarmWords) {
    // High: activated, release delay running, 5 ticks (1.3 s). Low: set delay, 40 ticks.
    StartSim({"--model", "640", "--flow", "42.5", "--high-status", "05000101", "--low-status",
              "28000001"});
    CliOutcome r = Run("640", {"--json", "poll"});
    ASSERT_EQ(r.exitCode, 0) << Show(r);
    EXPECT_EQ(Json(r).object(), (QJsonObject{{"flowRate", 42.5},
                                             {"unit", "gpm"},
                                             {"highActivated", true},
                                             {"lowActivated", false}}));
    r = Run("640", {"--json", "status"});
    ASSERT_EQ(r.exitCode, 0) << Show(r);
    const QJsonObject expected{
        {"flowRate", 42.5},
        {"high", QJsonObject{{"word", 0x05000101},
                             {"activated", true},
                             {"waitingToActivate", false},
                             {"waitingToRelease", true},
                             {"delaySeconds", 1}}},
        {"low", QJsonObject{{"word", 0x28000001},
                            {"activated", false},
                            {"waitingToActivate", true},
                            {"waitingToRelease", false},
                            {"delaySeconds", 10}}},
    };
    EXPECT_EQ(Json(r).object(), expected);
}

TEST_F(Cli, WatchWritesCsvRowsWithIsoTimestamps) {
    const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?(Z|[+-]\d\d:\d\d))");
    struct Case {
        const char* model;
        std::string header;
        std::vector<std::string> rest;  // the fields after the timestamp
    };
    const std::vector<Case> cases = {
        {"612", "time,flowRate,unit", {"42.5", "mph"}},
        {"640", "time,flowRate,unit,highActivated,lowActivated", {"42.5", "gpm", "1", "0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        StartSim({"--model", c.model, "--flow", "42.5", "--high-status", "00000100"});
        const CliOutcome r =
            Run(c.model, {"watch", "--count", "3", "--csv", "-", "--interval", "0.05"});
        ASSERT_EQ(r.exitCode, 0) << Show(r);
        const std::vector<std::string> lines = Lines(r.out);
        ASSERT_EQ(lines.size(), 4u) << r.out;
        EXPECT_EQ(lines[0], c.header);
        for (std::size_t i = 1; i < lines.size(); ++i) {
            std::vector<std::string> fields = Split(lines[i], ',');
            ASSERT_FALSE(fields.empty());
            EXPECT_TRUE(std::regex_match(fields[0], iso)) << fields[0];
            fields.erase(fields.begin());
            EXPECT_EQ(fields, c.rest);
        }
    }
}

TEST_F(Cli, WatchEndsCleanlyOnCtrlC) {
    StartSim({"--model", "612", "--flow", "7.25"});
    const std::string file = ports_.Root() + "/flow.csv";
    clitest::CliProcess watch(
        {"--port", std::to_string(kSimPort), "watch", "--interval", "0.05", "--csv", file});
    ASSERT_GT(watch.Pid(), 0);
    // Wait for a few readings on standard output, then interrupt.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Lines(watch.ReadOut(100)).size() < 3 && std::chrono::steady_clock::now() < deadline) {
    }
    ASSERT_GE(Lines(watch.ReadOut(0)).size(), 3u);
    kill(watch.Pid(), SIGINT);
    const CliOutcome r = watch.Finish(5000);
    EXPECT_EQ(r.exitCode, 0) << Show(r);

    std::ifstream in(file);
    const std::string csv((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(csv.empty());
    EXPECT_EQ(csv.back(), '\n');
    const std::vector<std::string> rows = Lines(csv);
    EXPECT_EQ(rows.front(), "time,flowRate,unit\r") << "a new log's lines end in CR LF";
    EXPECT_GE(rows.size(), 4u);
    EXPECT_EQ(rows.size(), Lines(r.out).size() + 1) << "a row for every reading shown";
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(Split(rows[i], ',').size(), 3u) << rows[i];
        EXPECT_NE(rows[i].find(",7.25,mph"), std::string::npos) << rows[i];
    }
}

// Ctrl-C only raises a flag, which the watch sees when its sleep ends: however far off the
// next poll is, no sleep may last more than 50 ms, and a flag raised during it is seen at its
// end. The sleep is faked, so the bound is checked and not timed.
TEST(WatchSleep, SeesAStopAfterAtMost50Ms) {
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    const Clock::time_point now{std::chrono::hours(1)};
    for (const Clock::time_point next :
         {now, now + milliseconds(20), now + std::chrono::hours(1), Clock::time_point::max()}) {
        SCOPED_TRACE((next - now).count());
        std::atomic<bool> stop{false};
        Clock::duration slept{-1};
        EXPECT_TRUE(SleepThenLookForStop(now, next, stop, [&](Clock::time_point end) {
            slept = end - now;
            stop = true;  // Ctrl-C during the sleep
        }));
        EXPECT_EQ(slept, std::min<Clock::duration>(next - now, milliseconds(50)));
    }
}

// An output that blocks (a FIFO whose reader reads nothing, its buffer full) holds up neither
// the polls nor Ctrl-C: the watch ends within a second, as it does with a log that takes rows.
TEST_F(Cli, WatchEndsOnCtrlCWhileItsLogBlocks) {
    StartSim({"--model", "612", "--flow", "7.25"});
    const std::string fifo = ports_.Root() + "/stuck.csv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int filler = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'x');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    clitest::CliProcess watch(
        {"--port", std::to_string(kSimPort), "watch", "--interval", "0.05", "--csv", fifo});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Lines(watch.ReadOut(100)).size() < 3 && std::chrono::steady_clock::now() < deadline) {
    }
    ASSERT_GE(Lines(watch.ReadOut(0)).size(), 3u) << "readings go on while the log is stuck";
    kill(watch.Pid(), SIGINT);
    const CliOutcome r = watch.Finish(1000);  // killed, exit -1, when slower than that
    EXPECT_EQ(r.exitCode, 0) << Show(r);
    close(filler);
    close(reader);
}

TEST_F(Cli, CalcGivesTheCalculatorsResults) {
    struct Case {
        std::string diameter;
        bool mm;
        double k;  // 0: rejected with `message`
        double offset;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"4", false, 8.207, 0.2232319, nullptr},
        {"8", false, 40.291, 0.28158703, nullptr},
        {"20", false, 266.334, 0.58222422, nullptr},
        {"59", false, 2471.51, 2.1834872, nullptr},
        {"78", true, 4.371075, 0.063274, nullptr},
        {"100", true, 7.891122, 0.210060, nullptr},
        {"1498", true, 2469.5313, 2.182063, nullptr},
        {"3", false, 0, 0, "Pipe Error: This Pipe ID is incorrect please consult manual."},
        {"60", false, 0, 0, "Error: K and offset values can not be calculated for this size pipe."},
        {"100", false, 0, 0,
         "Error: K and offset values can not be calculated for this size pipe."},
        {"76", true, 0, 0, "Error: Please use a Tee-Type sensor for this size pipe."},
        {"1499", true, 0, 0,
         "Error: K and offset values can not be calculated for this size pipe."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.diameter + (c.mm ? " mm" : " in"));
        std::vector<std::string> args = {"--json", "calc", c.diameter};
        if (c.mm) {
            args.push_back("--mm");
        }
        const CliOutcome r = RunCli(args);
        if (c.message != nullptr) {
            EXPECT_EQ(r.exitCode, 4) << Show(r);
            EXPECT_EQ(r.err, std::string(c.message) + "\n");
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << Show(r);
        const QJsonObject result = Json(r).object();
        EXPECT_EQ(result.keys(), (QStringList{"kFactor", "offset"}));
        EXPECT_NEAR(result["kFactor"].toDouble(), c.k, 5e-4);
        EXPECT_NEAR(result["offset"].toDouble(), c.offset, 5e-6);
    }
}

}  // namespace

namespace {

// Three modules at once, one of them silent: every answering module in every row and line,
// led by its port; the silent one's failures on standard error; the worst exit status.
TEST_F(Cli, SeveralModulesAtOnce) {
    auto sim = [&](int port, std::vector<std::string> args) {
        return std::make_unique<fwtest::SimProcess>(fwtest::SimProcess::Options{
            .args = std::move(args), .port = port, .portsDir = ports_.PortsDir()});
    };
    const auto a = sim(5, {"--model", "612", "--flow", "1.5"});
    const auto b = sim(6, {"--model", "612", "--silent"});
    const auto c = sim(7, {"--model", "612", "--flow", "7.25"});
    ASSERT_TRUE(a->Ok() && b->Ok() && c->Ok());
    const std::vector<std::string> three = {"--port", "5", "--port", "6", "--port", "7"};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), three.begin(), three.end());
        return RunCli(args);
    };

    const CliOutcome csv = run({"watch", "--count", "2", "--interval", "0.1", "--csv", "-"});
    EXPECT_EQ(csv.exitCode, 3) << Show(csv);
    const std::vector<std::string> rows = Lines(csv.out);
    ASSERT_EQ(rows.size(), 5u) << csv.out;
    EXPECT_EQ(rows[0], "time,port,flowRate,unit");
    int com5 = 0, com7 = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> f = Split(rows[i], ',');
        ASSERT_EQ(f.size(), 4u) << rows[i];
        com5 += f[1] == "COM5" && f[2] == "1.5";
        com7 += f[1] == "COM7" && f[2] == "7.25";
    }
    EXPECT_EQ(com5, 2);
    EXPECT_EQ(com7, 2);
    EXPECT_EQ(Lines(csv.err).size(), 2u) << csv.err;
    EXPECT_NE(csv.err.find("COM6: no reply"), std::string::npos) << csv.err;

    const CliOutcome json = run({"--json", "poll"});
    EXPECT_EQ(json.exitCode, 3) << Show(json);
    const QJsonArray results = Json(json).array();
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0].toObject()["port"], "COM5");
    EXPECT_EQ(results[0].toObject()["flowRate"], 1.5);
    EXPECT_EQ(results[1].toObject()["port"], "COM6");
    EXPECT_TRUE(results[1].toObject().contains("error"));
    EXPECT_EQ(results[2].toObject()["flowRate"], 7.25);

    const CliOutcome text = run({"poll"});
    EXPECT_EQ(Lines(text.out),
              (std::vector<std::string>{"COM5: Flow rate: 1.50 mph", "COM7: Flow rate: 7.25 mph"}));
    EXPECT_EQ(run({"send", "kFactor=2"}).exitCode, 1);
}

}  // namespace
