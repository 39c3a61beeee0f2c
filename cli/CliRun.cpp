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
#include <utility>
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
    // The first failed write to standard output (errno), 0 while every write went through.
    // A full disk or a closed pipe must not pass for a result: RunCommand then exits 3.
    mutable int outError = 0;
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

// Writes and flushes `text`; the errno of a failure, else 0.
int Write(std::FILE* file, const std::string& text) {
    errno = 0;
    const std::size_t n = std::fwrite(text.data(), 1, text.size(), file);
    if (n != text.size() || std::fflush(file) != 0) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

void Print(const Streams& io, const std::string& text) {
    if (io.outError == 0) {
        io.outError = Write(io.out, text);
    }
}

std::string JsonText(const QJsonDocument& document,
                     QJsonDocument::JsonFormat format = QJsonDocument::Indented) {
    QByteArray bytes = document.toJson(format);
    if (!bytes.endsWith('\n')) {
        bytes.append('\n');
    }
    return bytes.toStdString();
}

void PrintJson(const Streams& io, const QJsonDocument& document,
               QJsonDocument::JsonFormat format = QJsonDocument::Indented) {
    Print(io, JsonText(document, format));
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
            reason = "a garbled reply (a line without its CR LF, a value that is no number)";
            break;
        case kLinkWriteFailed:
            reason = "a byte could not be sent";
            break;
        case kLinkCancelled:
            return {kExitInterrupted, "Interrupted (" + portName + ")"};
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
    // `stop` (may be null) ends a running exchange, and an upload after its current byte.
    explicit ModuleLink(const StopRequest* stop = nullptr) {
        if (stop != nullptr) {
            port_.SetCancelFlag(stop->Flag());
        }
    }

    std::optional<CliFailure> Open(const CliOptions& options) {
        options_ = &options;
        const int baud = BaudRateOf(options.model);
        int result = 0;
        std::string errorText;
        online_ = 0;
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
    // Opens the port again as Open did (after it was found gone).
    std::optional<CliFailure> Reopen() { return Open(*options_); }

    // Whether the last exchange found the device gone (unplugged, hung up); the port is then
    // closed and the link offline until a Reopen works.
    bool Gone() {
        if (port_.Gone()) {
            goneReason_ = std::strerror(port_.LastIoError());
            port_.Close();
            online_ = 0;
        }
        return online_ == 0;
    }
    const std::string& GoneReason() const { return goneReason_; }

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
    const CliOptions* options_ = nullptr;
    std::string goneReason_;
};

// ---- ports ------------------------------------------------------------------------------------

// Whether a listed port could be opened now: the program's own Open, without its settle
// pause, closed again at once.
// nullptr: the device is no serial terminal (a file, a FIFO, /dev/null behind a link).
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
    if (error == ENOTTY || error == EISDIR) {
        return nullptr;
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
        if (state == nullptr) {
            continue;
        }
        // What the device is ("FT232R USB UART (FTDI, A12345)"): a fourth column where known.
        const std::string description = portmap::PortDescription(number);
        array.append(QJsonObject{{"number", number},
                                 {"device", QString::fromStdString(device)},
                                 {"state", state},
                                 {"description", QString::fromStdString(description)}});
        text += "COM" + std::to_string(number) + "\t" + device + "\t" + state +
                (description.empty() ? "" : "\t" + description) + "\n";
    }
    if (io.json) {
        PrintJson(io, QJsonDocument(array));
    } else {
        Print(io, text);
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
    StopRequest stop;
    ModuleLink link(&stop);
    if (auto failure = link.Open(options)) {
        return Fail(io, *failure);
    }
    Reading r;
    if (const LinkResult result = PollOnce(options.model, link, r); result != kLinkOk) {
        return Fail(io, CommFailure(link.Name(), result));
    }
    if (io.json) {
        PrintJson(io, QJsonDocument(ToJson(r)));
        return kExitOk;
    }
    std::string text = "Flow rate: " + FormatFixed(r.flowRate, 2) + " " + r.unit + "\n";
    if (r.alarms) {
        text += std::string("High alarm: ") + LampWord(r.highActivated) + "\n";
        text += std::string("Low alarm: ") + LampWord(r.lowActivated) + "\n";
    }
    Print(io, text);
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

// The CSV log of `watch`. Opened only once the port is open and the first reading is in,
// so a watch that cannot start never touches an existing log; an existing log is appended to,
// with the header only at the top of a new or empty file.
class CsvLog {
public:
    CsvLog(const std::optional<std::string>& target, const Streams& io)
        : name_(target.value_or("")), io_(io) {}
    ~CsvLog() {
        if (file_ != nullptr && file_ != io_.out) {
            std::fclose(file_);
        }
    }
    CsvLog(const CsvLog&) = delete;
    CsvLog& operator=(const CsvLog&) = delete;

    bool Wanted() const { return !name_.empty(); }
    bool ToStandardOutput() const { return name_ == "-"; }

    // Writes `row`, opening the log first if need be; nullopt, or why it failed.
    std::optional<CliFailure> Append(const std::string& header, const std::string& row) {
        if (!Wanted()) {
            return std::nullopt;
        }
        std::string text = row;
        if (file_ == nullptr) {
            if (ToStandardOutput()) {
                file_ = io_.out;
                text = header + row;
            } else {
                file_ = std::fopen(name_.c_str(), "a");
                if (file_ == nullptr) {
                    return Failed(errno);
                }
                std::fseek(file_, 0, SEEK_END);
                if (std::ftell(file_) == 0) {
                    text = header + row;
                }
            }
        }
        if (const int error = Write(file_, text); error != 0) {
            return Failed(error);
        }
        return std::nullopt;
    }

private:
    CliFailure Failed(int error) const {
        return {kExitComm, "cannot write " + (ToStandardOutput() ? "standard output" : name_) +
                               ": " + std::strerror(error)};
    }

    std::string name_;
    const Streams& io_;
    std::FILE* file_ = nullptr;
};

// After a failed poll the next try waits at least this long, however short --interval is:
// an unplugged adapter fails at once, and must not make the loop spin.
constexpr std::chrono::seconds kRetryAfterFailure{1};
// While the port stays gone, it is said again this often.
constexpr std::chrono::seconds kGoneReminder{60};

// Polls every interval (measured from the start of one poll to the next) until --count polls
// are made or Ctrl-C / SIGTERM asks to stop. A stop ends a poll in progress within 100 ms
// (that poll gives no line), so the CSV file always ends with a whole row. A failed poll is
// reported on standard error and the next one tries again, as the main window's timer does;
// the exit status is then 3 however the watch ends. A port that is gone (unplugged, hung up)
// is said once, then once a minute, and reopened at every try until it is back.
int RunWatch(const CliOptions& options, const Streams& io) {
    StopRequest stop;
    ModuleLink link(&stop);
    if (auto failure = link.Open(options)) {
        return Fail(io, *failure);
    }
    CsvLog csv(options.csv, io);

    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options.intervalSeconds));
    bool anyFailed = false;
    std::optional<Clock::time_point> goneSaid;
    auto due = Clock::now();
    bool lastFailed = false;
    for (long long n = 0; !options.count || n < *options.count; ++n) {
        if (n > 0) {
            due += lastFailed ? std::max<Clock::duration>(interval, kRetryAfterFailure) : interval;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
            if (stop.Wait(static_cast<int>(std::max<long long>(left.count(), 0)))) {
                break;
            }
            due = std::max(due, Clock::now());  // late polls are not made up in a burst
        } else if (stop.Requested()) {
            break;
        }
        const std::string time = Timestamp();
        if (link.Gone() && link.Reopen()) {
            lastFailed = anyFailed = true;  // still gone; said below at most once a minute
        } else {
            Reading r;
            const LinkResult result = PollOnce(options.model, link, r);
            if (result == kLinkCancelled) {
                break;
            }
            lastFailed = result != kLinkOk;
            if (!lastFailed) {
                if (goneSaid) {
                    PrintError(io, time + " " + link.Name() + ": the port is back");
                    goneSaid.reset();
                }
                if (auto failure = csv.Append(CsvHeader(options.model), CsvRow(time, r))) {
                    return Fail(io, *failure);
                }
                if (io.json) {
                    QJsonObject object = ToJson(r);
                    object.insert("time", QString::fromStdString(time));
                    PrintJson(io, QJsonDocument(object), QJsonDocument::Compact);
                } else if (!csv.ToStandardOutput()) {
                    Print(io, TextLine(time, r));
                }
                if (io.outError != 0) {
                    break;  // RunCommand reports it
                }
            } else if (!link.Gone()) {
                anyFailed = true;
                PrintError(io, time + " " + CommFailure(link.Name(), result).message);
            } else {
                anyFailed = true;
            }
        }
        if (link.Gone() && (!goneSaid || Clock::now() - *goneSaid >= kGoneReminder)) {
            PrintError(io, time + " " + link.Name() + ": the port is gone (" + link.GoneReason() +
                               "); trying again every second");
            goneSaid = Clock::now();
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
    StopRequest stop;
    ModuleLink link(&stop);
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
        PrintJson(io, QJsonDocument(QJsonObject{
                          {"flowRate", ModuleNumber(flow)},
                          {"high", ToJson(h)},
                          {"low", ToJson(l)},
                      }));
    } else {
        Print(io, "Flow rate: " + FormatFixed(flow, 2) + "\nHigh alarm: " + ToText(h) +
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
        PrintJson(io, QJsonDocument(ToJson(fields)));
    } else {
        Print(io, ToText(fields));
    }
    return kExitOk;
}

int RunRead(const CliOptions& options, const Streams& io) {
    StopRequest stop;
    ModuleLink link(&stop);
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

// What was sent, and (after a read-back) whether the module holds it.
void PrintSent(const std::vector<std::string>& commands, const Streams& io,
               const std::vector<ReadBackMismatch>* mismatches) {
    if (io.json) {
        QJsonArray sent;
        for (const std::string& c : commands) {
            sent.append(QString::fromStdString(ShowCommand(c)));
        }
        QJsonObject object{{"sent", sent}};
        if (mismatches != nullptr) {
            QJsonArray list;
            for (const ReadBackMismatch& m : *mismatches) {
                list.append(QJsonObject{{"field", QString::fromStdString(m.field)},
                                        {"sent", QString::fromStdString(m.sent)},
                                        {"held", QString::fromStdString(m.held)}});
            }
            object.insert("verified", mismatches->empty());
            object.insert("mismatches", list);
        }
        PrintJson(io, QJsonDocument(object));
        return;
    }
    std::string text;
    for (const std::string& c : commands) {
        text += ShowCommand(c) + "\n";
    }
    if (mismatches != nullptr && mismatches->empty()) {
        text += "Verified: the module holds every value sent.\n";
    }
    Print(io, text);
}

// An upload that stopped: where, and what the module may now hold.
CliFailure UploadFailure(const std::string& portName, LinkResult result,
                         const UploadReport& report) {
    std::string whole;
    for (int i = 0; i < report.commandsSent; ++i) {
        whole += (i > 0 ? " " : "") + ShowCommand(report.commands[static_cast<std::size_t>(i)]);
    }
    const std::string stopped =
        report.commandsSent < static_cast<int>(report.commands.size())
            ? ShowCommand(report.commands[static_cast<std::size_t>(report.commandsSent)])
            : "the end";
    std::string why = result == kLinkCancelled
                          ? "stopped by the user"
                          : std::string("a byte could not be sent: ") +
                                std::strerror(report.ioError != 0 ? report.ioError : EIO);
    const std::string text = "the upload stopped at " + stopped + " (" + why +
                             "). Sent whole: " + (whole.empty() ? "none" : whole) +
                             ". The module may now hold part of the new settings.";
    if (result == kLinkCancelled) {
        return {kExitInterrupted, "Interrupted (" + portName + "): " + text};
    }
    return {kExitComm, "Error Communicating to Module, Check Serial and Power Cables (" + portName +
                           ": " + text + ")"};
}

// Read, apply, check, then upload (or, with --dry-run, only show) what SendConfig sends, and
// read the module back to see that it holds it.
template <class Record, class Device>
int SendRecord(Device device, const SendSettings& settings, const CliOptions& options,
               const std::string& portName, const Streams& io) {
    Record data;
    if (const LinkResult result = device.ReadAll(data); result != kLinkOk) {
        return Fail(io, CommFailure(portName, result));
    }
    // The keys not given go back to the module as read: only from a dump that is clean, or
    // one shifted line would upload every setting wrong.
    constexpr int lastLine = std::is_same_v<Record, ModuleData612> ? kDumpLines612 : kDumpLines640;
    if (!DumpShapeOk(device.LastReply(), lastLine)) {
        return Fail(io, {kExitComm,
                         "Error Communicating to Module, Check Serial and Power "
                         "Cables (" +
                             portName + ": a garbled parameter dump; nothing was sent)"});
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
    if (options.dryRun) {
        PrintSent(commands, io, nullptr);
        return kExitOk;
    }
    UploadReport report;
    const LinkResult result = device.SendConfig(data, ProgressOn(io.err, portName), &report);
    if (result != kLinkOk) {
        if (IsTerminal(io.err)) {
            std::fputc('\n', io.err);  // end the progress line
        }
        return Fail(io, UploadFailure(portName, result, report));
    }
    if (!options.verify) {
        PrintSent(commands, io, nullptr);
        return kExitOk;
    }
    std::vector<ReadBackMismatch> mismatches;
    if (const LinkResult readBack = device.VerifyConfig(data, mismatches); readBack != kLinkOk) {
        PrintSent(commands, io, nullptr);
        CliFailure failure = CommFailure(portName, readBack);
        failure.message += "; the settings were sent but could not be read back";
        return Fail(io, failure);
    }
    PrintSent(commands, io, &mismatches);
    if (!mismatches.empty()) {
        std::string text = "The module does not hold what was sent (" + portName + "):";
        for (const ReadBackMismatch& m : mismatches) {
            text += " " + m.field + " sent " + m.sent + ", holds " + m.held + ";";
        }
        text.back() = '.';
        return Fail(io, {kExitComm, text});
    }
    return kExitOk;
}

int RunSend(const CliOptions& options, const Streams& io) {
    SendSettings settings;
    if (auto failure = ParseSendSettings(options.model, options.args, settings)) {
        return Fail(io, *failure);
    }
    StopRequest stop;
    ModuleLink link(&stop);
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
        PrintJson(io, QJsonDocument(QJsonObject{{"kFactor", r.k}, {"offset", r.offset}}));
    } else {
        // As the configuration dialogs show them ("%f").
        Print(io,
              "kFactor: " + FormatFixed(r.k, 6) + "\noffset: " + FormatFixed(r.offset, 6) + "\n");
    }
    return kExitOk;
}

int Dispatch(const CliOptions& options, const Streams& io) {
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

}  // namespace

int RunCommand(const CliOptions& options, std::FILE* out, std::FILE* err) {
    const Streams io{out, err, options.json};
    const int status = Dispatch(options, io);
    if (io.outError != 0) {
        PrintError(io, std::string("cannot write standard output: ") + std::strerror(io.outError));
        return kExitComm;
    }
    return status;
}
