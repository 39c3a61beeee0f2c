#include "cli/CliRun.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "cli/CliPlatform.h"
#include "cli/Report.h"
#include "cli/SendSettings.h"
#include "config/SensorRules.h"
#include "protocol/Commands.h"
#include "protocol/Device.h"
#include "serial/PortMap.h"
#include "serial/RegistryStore.h"
#include "serial/SerialPort.h"
#include "windows/CalculateFormulas.h"

namespace {

// ---- Output -----------------------------------------------------------------------------------

struct Streams {
    std::FILE* out;
    std::FILE* err;
    bool json;
};

// Message-box texts and system error texts as one line: line breaks become spaces, a CR
// (Windows error texts end in CR LF) and trailing blanks go.
std::string OneLine(std::string text) {
    std::erase(text, '\r');
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

void PrintError(const Streams& io, const std::string& message) {
    std::fprintf(io.err, "%s\n", OneLine(message).c_str());
    std::fflush(io.err);
}

// Reports `failure` and gives its exit status.
int Fail(const Streams& io, const CliFailure& failure) {
    PrintError(io, failure.message);
    return failure.exitCode;
}

void Print(std::FILE* out, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

void PrintJson(std::FILE* out, const QJsonDocument& document,
               QJsonDocument::JsonFormat format = QJsonDocument::Indented) {
    QByteArray bytes = document.toJson(format);
    if (!bytes.endsWith('\n')) {
        bytes.append('\n');
    }
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
    std::fflush(out);
}

// ISO 8601 local time with its offset from UTC: 2024-05-02T14:03:07.250+02:00.
std::string Timestamp() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString();
}

// ---- The module's port --------------------------------------------------------------------------

// What a failed query means, after the program's own wording of a failed read.
CliFailure CommFailure(const std::string& portName, LinkResult result) {
    std::string reason;
    switch (result) {
        case kLinkOffline:
            reason = "the port is not open";
            break;
        case kLinkShortReply:
            reason = "no reply, or a reply too short or without its marker";
            break;
        case kLinkMissingSeparator:
            reason = "a reply line without its CR LF";
            break;
        default:
            reason = "result " + std::to_string(result);
    }
    return {kExitComm, "Error Communicating to Module, Check Serial and Power Cables (" + portName +
                           ": " + reason + ")"};
}

// The port as the main window opens it (OpenPort), minus its message boxes: the stored
// "CommPort", else COM1, unless --port or --device names another.
class ModuleLink {
public:
    std::optional<CliFailure> Open(const CliOptions& options) {
        const int baud = BaudRateOf(options.model);
        int result = 0;
        std::string errorText;
        if (options.device) {
            name_ = *options.device;
            result = OpenDevicePath(port_, *options.device, baud, errorText);
        } else {
            const int number = options.port ? *options.port : StoredPortNumber();
            name_ = "COM" + std::to_string(number);
            result = port_.Open(number, baud, 'N', 8, 1);
            errorText = port_.LastErrorText();
        }
        if (result != CSerialPort::kOpenOk) {
            return CliFailure{kExitOpen, "Error Opening " + name_ + ": " + errorText};
        }
        online_ = 1;
        return std::nullopt;
    }

    CDevice612 Device612() { return CDevice612(port_, online_); }
    CDevice640 Device640() { return CDevice640(port_, online_); }
    const std::string& Name() const { return name_; }

private:
    static int StoredPortNumber() {
        CRegistryStore store;
        store.SetRootKey(HKEY_CURRENT_USER);
        store.SetKey("Software\\Fernwell\\", 1);
        int number = 1;
        if (store.ValueExists("CommPort")) {
            number = store.ReadInt("CommPort", number);
        }
        return number;
    }

    CSerialPort port_;
    int online_ = 0;
    std::string name_;
};

// ---- ports ------------------------------------------------------------------------------------

// Whether a listed port could be opened now: the program's own Open, without its settle
// pause, closed again at once.
const char* PortState(int number, int baud) {
    const int savedDelay = CSerialPort::OpenDelayMs();
    CSerialPort::SetOpenDelayMs(0);
    CSerialPort probe;
    const int result = probe.Open(number, baud, 'N', 8, 1);
    const int error = probe.LastError();
    probe.Close();
    CSerialPort::SetOpenDelayMs(savedDelay);
    if (result == CSerialPort::kOpenOk) {
        return "free";
    }
    if (error == EBUSY) {
        return "in use";
    }
    if (error == EACCES || error == EPERM) {
        return "no permission";
    }
    return "free";  // it exists and nobody holds it; the open failed for another reason
}

int RunPorts(const CliOptions& options, const Streams& io) {
    std::vector<unsigned> numbers;
    EnumerateComPorts(numbers);
    QJsonArray array;
    std::string text;
    for (const unsigned n : numbers) {
        const int number = static_cast<int>(n);
        const std::string device = portmap::DevicePath(number);
        const char* state = PortState(number, BaudRateOf(options.model));
        array.append(QJsonObject{
            {"number", number}, {"device", QString::fromStdString(device)}, {"state", state}});
        text += "COM" + std::to_string(number) + "\t" + device + "\t" + state + "\n";
    }
    if (io.json) {
        PrintJson(io.out, QJsonDocument(array));
    } else {
        Print(io.out, text);
    }
    return kExitOk;
}

// ---- poll, watch ------------------------------------------------------------------------------

struct Reading {
    double flowRate = 0;
    std::string unit;
    bool alarms = false;  // 640: the two lamps below are known
    bool highActivated = false;
    bool lowActivated = false;
};

// One poll as the main window makes it: the dump, then (640) the high and the low status word,
// stopping at the first failure; the unit label from SensorCode.
LinkResult PollOnce(Family model, ModuleLink& link, Reading& reading) {
    reading = Reading{};
    if (model == Family::k612) {
        CDevice612 device = link.Device612();
        ModuleData612 data;
        const LinkResult result = device.ReadAll(data);
        if (result != kLinkOk) {
            return result;
        }
        reading.flowRate = data.flowRate;
        reading.unit = RateUnitLabel(Family::k612, data.SensorCode).value_or("");
        return kLinkOk;
    }
    CDevice640 device = link.Device640();
    ModuleData640 data;
    std::uint32_t high = 0;
    std::uint32_t low = 0;
    LinkResult result = device.ReadAll(data);
    if (result == kLinkOk) {
        result = device.ReadHighStatus(high);
    }
    if (result == kLinkOk) {
        result = device.ReadLowStatus(low);
    }
    if (result != kLinkOk) {
        return result;
    }
    reading.flowRate = data.flowRate;
    reading.unit = RateUnitLabel(Family::k640, data.SensorCode).value_or("");
    reading.alarms = true;
    reading.highActivated = DecodeAlarmStatus(high).activated;
    reading.lowActivated = DecodeAlarmStatus(low).activated;
    return kLinkOk;
}

QJsonObject ToJson(const Reading& r) {
    QJsonObject object{{"flowRate", ModuleNumber(r.flowRate)},
                       {"unit", QString::fromStdString(r.unit)}};
    if (r.alarms) {
        object.insert("highActivated", r.highActivated);
        object.insert("lowActivated", r.lowActivated);
    }
    return object;
}

const char* LampWord(bool lit) {
    return lit ? "activated" : "not activated";
}

int RunPoll(const CliOptions& options, const Streams& io) {
    ModuleLink link;
    if (auto failure = link.Open(options)) {
        return Fail(io, *failure);
    }
    Reading r;
    if (const LinkResult result = PollOnce(options.model, link, r); result != kLinkOk) {
        return Fail(io, CommFailure(link.Name(), result));
    }
    if (io.json) {
        PrintJson(io.out, QJsonDocument(ToJson(r)));
        return kExitOk;
    }
    std::string text = "Flow rate: " + FormatFixed(r.flowRate, 2) + " " + r.unit + "\n";
    if (r.alarms) {
        text += std::string("High alarm: ") + LampWord(r.highActivated) + "\n";
        text += std::string("Low alarm: ") + LampWord(r.lowActivated) + "\n";
    }
    Print(io.out, text);
    return kExitOk;
}

std::string CsvHeader(Family model) {
    return model == Family::k640 ? "time,flowRate,unit,highActivated,lowActivated\n"
                                 : "time,flowRate,unit\n";
}

std::string CsvRow(const std::string& time, const Reading& r) {
    std::string row = time + "," + NumberText(ModuleNumber(r.flowRate)) + "," + r.unit;
    if (r.alarms) {
        row +=
            std::string(",") + (r.highActivated ? "1" : "0") + "," + (r.lowActivated ? "1" : "0");
    }
    return row + "\n";
}

std::string TextLine(const std::string& time, const Reading& r) {
    std::string line = time + " " + FormatFixed(r.flowRate, 2) + " " + r.unit;
    if (r.alarms) {
        line += std::string(" high:") + (r.highActivated ? "on" : "off") +
                " low:" + (r.lowActivated ? "on" : "off");
    }
    return line + "\n";
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) {
            std::fclose(f);
        }
    }
};

// Polls every interval (measured from the start of one poll to the next) until --count polls
// are made or Ctrl-C / SIGTERM asks to stop. A stop during a poll lets it finish and write its
// line, so the CSV file always ends with a whole row. A failed poll is reported on standard
// error and the next one tries again, as the main window's timer does; the exit status is then
// 3 however the watch ends.
int RunWatch(const CliOptions& options, const Streams& io) {
    std::unique_ptr<std::FILE, FileCloser> file;
    std::FILE* csv = nullptr;
    if (options.csv) {
        if (*options.csv == "-") {
            csv = io.out;
        } else {
            file.reset(std::fopen(options.csv->c_str(), "w"));
            if (!file) {
                return Fail(
                    io, {kExitUsage, "cannot write " + *options.csv + ": " + std::strerror(errno)});
            }
            csv = file.get();
        }
    }
    ModuleLink link;
    if (auto failure = link.Open(options)) {
        return Fail(io, *failure);
    }
    if (csv != nullptr) {
        Print(csv, CsvHeader(options.model));
    }

    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options.intervalSeconds));
    StopRequest stop;
    bool anyFailed = false;
    auto due = Clock::now();
    for (long long n = 0; !options.count || n < *options.count; ++n) {
        if (n > 0) {
            due += interval;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
            if (stop.Wait(static_cast<int>(std::max<long long>(left.count(), 0)))) {
                break;
            }
            due = std::max(due, Clock::now());  // late polls are not made up in a burst
        } else if (stop.Requested()) {
            break;
        }
        const std::string time = Timestamp();
        Reading r;
        const LinkResult result = PollOnce(options.model, link, r);
        if (result != kLinkOk) {
            anyFailed = true;
            PrintError(io, time + " " + CommFailure(link.Name(), result).message);
        } else {
            if (csv != nullptr) {
                Print(csv, CsvRow(time, r));
            }
            if (io.json) {
                QJsonObject object = ToJson(r);
                object.insert("time", QString::fromStdString(time));
                PrintJson(io.out, QJsonDocument(object), QJsonDocument::Compact);
            } else if (csv != io.out) {
                Print(io.out, TextLine(time, r));
            }
        }
        if (stop.Requested()) {
            break;
        }
    }
    return anyFailed ? kExitComm : kExitOk;
}

// ---- status -----------------------------------------------------------------------------------

// The alarm status window's live part: high status, low status, flow.
int RunStatus(const CliOptions& options, const Streams& io) {
    ModuleLink link;
    if (auto failure = link.Open(options)) {
        return Fail(io, *failure);
    }
    CDevice640 device = link.Device640();
    std::uint32_t high = 0;
    std::uint32_t low = 0;
    double flow = 0;
    LinkResult result = device.ReadHighStatus(high);
    if (result == kLinkOk) {
        result = device.ReadLowStatus(low);
    }
    if (result == kLinkOk) {
        result = device.ReadFlow(flow);
    }
    if (result != kLinkOk) {
        return Fail(io, CommFailure(link.Name(), result));
    }
    const AlarmStatus h = DecodeAlarmStatus(high);
    const AlarmStatus l = DecodeAlarmStatus(low);
    if (io.json) {
        PrintJson(io.out, QJsonDocument(QJsonObject{
                              {"flowRate", ModuleNumber(flow)},
                              {"high", ToJson(h)},
                              {"low", ToJson(l)},
                          }));
    } else {
        Print(io.out, "Flow rate: " + FormatFixed(flow, 2) + "\nHigh alarm: " + ToText(h) +
                          "\nLow alarm: " + ToText(l) + "\n");
    }
    return kExitOk;
}

// ---- read -------------------------------------------------------------------------------------

template <class Record, class Device>
int ReadRecord(Device device, const std::string& portName, const Streams& io) {
    Record data;
    if (const LinkResult result = device.ReadAll(data); result != kLinkOk) {
        return Fail(io, CommFailure(portName, result));
    }
    const ReportFields fields = RecordFields(data);
    if (io.json) {
        PrintJson(io.out, QJsonDocument(ToJson(fields)));
    } else {
        Print(io.out, ToText(fields));
    }
    return kExitOk;
}

int RunRead(const CliOptions& options, const Streams& io) {
    ModuleLink link;
    if (auto failure = link.Open(options)) {
        return Fail(io, *failure);
    }
    if (options.model == Family::k640) {
        return ReadRecord<ModuleData640>(link.Device640(), link.Name(), io);
    }
    return ReadRecord<ModuleData612>(link.Device612(), link.Name(), io);
}

// ---- send -------------------------------------------------------------------------------------

// Upload progress on a terminal: one line redrawn in place, ended when the upload ends.
UploadObserver ProgressOn(std::FILE* err, const std::string& portName) {
    if (!IsTerminal(err)) {
        return {};
    }
    return [err, portName, shown = -1](int sent, int total) mutable {
        const int percent = total > 0 ? sent * 100 / total : 100;
        if (percent == shown && sent != total) {
            return;
        }
        shown = percent;
        std::fprintf(err, "\rSending to %s: %3d%% (%d of %d bytes)", portName.c_str(), percent,
                     sent, total);
        if (sent == total) {
            std::fputc('\n', err);
        }
        std::fflush(err);
    };
}

void PrintSent(const std::vector<std::string>& commands, const Streams& io) {
    if (io.json) {
        QJsonArray sent;
        for (const std::string& c : commands) {
            sent.append(QString::fromStdString(ShowCommand(c)));
        }
        PrintJson(io.out, QJsonDocument(QJsonObject{{"sent", sent}}));
        return;
    }
    std::string text;
    for (const std::string& c : commands) {
        text += ShowCommand(c) + "\n";
    }
    Print(io.out, text);
}

// Read, apply, check, then upload (or, with --dry-run, only show) what SendConfig sends.
template <class Record, class Device>
int SendRecord(Device device, const SendSettings& settings, const CliOptions& options,
               const std::string& portName, const Streams& io) {
    Record data;
    if (const LinkResult result = device.ReadAll(data); result != kLinkOk) {
        return Fail(io, CommFailure(portName, result));
    }
    if (auto failure = ApplySendSettings(settings, data)) {
        return Fail(io, *failure);
    }
    std::vector<std::string> commands;
    if constexpr (std::is_same_v<Record, ModuleData612>) {
        commands = ConfigCommands612(data);
    } else {
        commands = ConfigCommands640(data);
    }
    if (!options.dryRun) {
        if (const LinkResult result = device.SendConfig(data, ProgressOn(io.err, portName));
            result != kLinkOk) {
            return Fail(io, CommFailure(portName, result));
        }
    }
    PrintSent(commands, io);
    return kExitOk;
}

int RunSend(const CliOptions& options, const Streams& io) {
    SendSettings settings;
    if (auto failure = ParseSendSettings(options.model, options.args, settings)) {
        return Fail(io, *failure);
    }
    ModuleLink link;
    if (auto failure = link.Open(options)) {
        return Fail(io, *failure);
    }
    if (options.model == Family::k640) {
        return SendRecord<ModuleData640>(link.Device640(), settings, options, link.Name(), io);
    }
    return SendRecord<ModuleData612>(link.Device612(), settings, options, link.Name(), io);
}

// ---- calc -------------------------------------------------------------------------------------

int RunCalc(const CliOptions& options, const Streams& io) {
    const std::string& entry = options.args.front();
    if (!ParseCliNumber(entry)) {
        return Fail(io, {kExitUsage, "calc wants a diameter, not \"" + entry + "\""});
    }
    const CalcResult r =
        CalculateFromEntry(entry, options.millimeters ? kDiameterMillimeters : kDiameterInches);
    if (!r.ok) {
        return Fail(io, {kExitRejected, r.caption + ": " + r.message});
    }
    if (io.json) {
        PrintJson(io.out, QJsonDocument(QJsonObject{{"kFactor", r.k}, {"offset", r.offset}}));
    } else {
        // As the configuration dialogs show them ("%f").
        Print(io.out,
              "kFactor: " + FormatFixed(r.k, 6) + "\noffset: " + FormatFixed(r.offset, 6) + "\n");
    }
    return kExitOk;
}

}  // namespace

int RunCommand(const CliOptions& options, std::FILE* out, std::FILE* err) {
    const Streams io{out, err, options.json};
    switch (options.command) {
        case CliCommand::Ports:
            return RunPorts(options, io);
        case CliCommand::Poll:
            return RunPoll(options, io);
        case CliCommand::Watch:
            return RunWatch(options, io);
        case CliCommand::Status:
            return RunStatus(options, io);
        case CliCommand::Read:
            return RunRead(options, io);
        case CliCommand::Send:
            return RunSend(options, io);
        case CliCommand::Calc:
            return RunCalc(options, io);
    }
    return kExitUsage;
}
