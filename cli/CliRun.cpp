#include "cli/CliRun.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "cli/CliPlatform.h"
#include "cli/Report.h"
#include "cli/SendSettings.h"
#include "cli/WatchSleep.h"
#include "link/FlowCsv.h"
#include "link/Link.h"
#include "link/Poll.h"
#include "link/TimeStamp.h"
#include "protocol/Commands.h"
#include "protocol/Device.h"
#include "rules/CalculateFormulas.h"
#include "rules/SensorRules.h"
#include "serial/LogFile.h"
#include "serial/PortMap.h"
#include "serial/SerialPort.h"
#include "store/StoredPort.h"
#include "texts/Strings.h"

namespace {

// ---- Output -----------------------------------------------------------------------------------

struct Streams {
    std::FILE* out;
    std::FILE* err;
    bool json;
    // The first failed write to standard output (errno), 0 while every write went through.
    // A full disk or a closed pipe must not pass for a result: RunCommand then exits 3.
    mutable int outError = 0;
    // Whether standard output got anything (with --json: a document), and the last error
    // line: a command that fails with --json and has printed no document prints one with
    // an "error" key, so a script always gets one JSON document.
    mutable bool printed = false;
    mutable std::string lastError;
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
    io.lastError = OneLine(message);
    std::fprintf(io.err, "%s\n", io.lastError.c_str());
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
    io.printed = true;
    if (io.outError == 0) {
        io.outError = Write(io.out, text);
    }
}

void PrintJson(const Streams& io, const Json& value, bool compact = false) {
    Print(io, JsonText(value, compact));
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

// One module the command talks to, on the port as the main window opens it (OpenPort),
// minus its message boxes: the stored "CommPort", else COM1, unless --port or --device names
// another. The link owns the port and runs every exchange on its own thread; the command's
// thread waits, and abandons the exchange at once when Ctrl-C or SIGTERM comes.
class ModuleLink {
public:
    ModuleLink(const CliTarget& target, Model model, const StopRequest& stop)
        : target_(target),
          model_(target.model.value_or(model)),
          baud_(BaudRateOf(model_)),
          stop_(stop) {
        if (target_.device) {
            name_ = *target_.device;
        } else {
            number_ = target_.port ? *target_.port : ReadStoredPort();
            name_ = "COM" + std::to_string(number_);
        }
    }

    std::optional<CliFailure> Open() {
        int result = 0;
        std::string errorText;
        std::promise<void> opened;
        auto done = [&](int r, const std::string& text) {
            result = r;
            errorText = text;
            opened.set_value();
        };
        if (target_.device) {
            link_.OpenPath(*target_.device, baud_, done);
        } else {
            link_.Open(number_, baud_, done);
        }
        opened.get_future().wait();
        if (result != CSerialPort::kOpenOk) {
            return CliFailure{kExitOpen, "Error Opening " + name_ + ": " + errorText};
        }
        return std::nullopt;
    }

    // Runs `exchange` on the link's thread and waits for its result; a stop abandons it
    // (within 100 ms) and gives kLinkCancelled.
    LinkResult Exchange(const std::function<LinkResult(CSerialPort&, const int&)>& exchange) {
        std::promise<LinkResult> promise;
        std::future<LinkResult> result = promise.get_future();
        link_.Run([&exchange, &promise](CSerialPort& port, const int& online) {
            promise.set_value(exchange(port, online));
        });
        while (result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            if (stop_.Requested()) {
                link_.AbandonAndWait();  // ours has run, or was dropped and never will
                if (result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                    return kLinkCancelled;
                }
            }
        }
        const LinkResult r = result.get();
        return r != kLinkOk && stop_.Requested() ? kLinkCancelled : r;
    }

    Link& Worker() { return link_; }
    const std::string& Name() const { return name_; }
    Model ModuleModel() const { return model_; }

private:
    CliTarget target_;
    int number_ = 0;
    Model model_;
    int baud_;
    const StopRequest& stop_;
    std::string name_;
    Link link_;  // last: its thread ends before the rest goes
};

// The modules of the command line, in the order given (the stored port when none is given).
std::vector<std::unique_ptr<ModuleLink>> Modules(const CliOptions& options,
                                                 const StopRequest& stop) {
    std::vector<CliTarget> targets = options.targets;
    if (targets.empty()) {
        targets.push_back({});
    }
    std::vector<std::unique_ptr<ModuleLink>> modules;
    for (const CliTarget& t : targets) {
        modules.push_back(std::make_unique<ModuleLink>(t, options.model, stop));
    }
    return modules;
}

// How the command line names a target, and the device it reaches (its real path, through
// links such as comN and /dev/serial/by-id/...; the name itself where nothing is there).
std::string TargetName(const CliTarget& t) {
    return t.device ? *t.device : "COM" + std::to_string(*t.port);
}
std::string TargetDevice(const CliTarget& t) {
    const std::string path = t.device ? *t.device : portmap::DevicePath(*t.port);
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(path, ec);
    return !ec ? real.string() : path.empty() ? TargetName(t) : path;
}

// One port named twice (--port 3 --port 3, or --port 3 and --device of COM3's device) would
// be opened twice, and the second open refused as "in use" by ourselves: a usage error.
std::optional<CliFailure> SamePortTwice(const std::vector<CliTarget>& targets) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            const std::string device = TargetDevice(targets[i]);
            if (device != TargetDevice(targets[j])) {
                continue;
            }
            const std::string a = TargetName(targets[j]);
            const std::string b = TargetName(targets[i]);
            return CliFailure{kExitUsage, a == b ? a + " is given twice"
                                                 : a + " and " + b + " are the same port (" +
                                                       device + "): give it once"};
        }
    }
    return std::nullopt;
}

// ---- ports ------------------------------------------------------------------------------------

// A listed port's state, found without opening it the way a command does (no line settings,
// no RTS, no purge): whatever else is wired to the port is left alone.
// nullptr: the device is no serial terminal (a file, a FIFO, /dev/null behind a link).
const char* PortState(int number) {
    switch (portmap::LookAtPort(number)) {
        case portmap::PortState::kFree:
            return "free";
        case portmap::PortState::kInUse:
            return "in use";
        case portmap::PortState::kNoPermission:
            return "no permission";
        case portmap::PortState::kNotSerial:
            return nullptr;
    }
    return nullptr;
}

int RunPorts(const Streams& io) {
    std::vector<unsigned> numbers;
    EnumerateComPorts(numbers);
    Json array = Json::array();
    std::string text;
    for (const unsigned n : numbers) {
        const int number = static_cast<int>(n);
        const std::string device = portmap::DevicePath(number);
        const char* state = PortState(number);
        if (state == nullptr) {
            continue;
        }
        // What the device is ("FT232R USB UART (FTDI, A12345)"): a fourth column where known.
        const std::string description = portmap::PortDescription(number);
        array.push_back(Json{{"number", number},
                             {"device", JsonString(device)},
                             {"state", state},
                             {"description", JsonString(description)}});
        text += "COM" + std::to_string(number) + "\t" + device + "\t" + state +
                (description.empty() ? "" : "\t" + description) + "\n";
    }
    if (io.json) {
        PrintJson(io, array);
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

Reading ReadingOf(const PollReading& p) {
    Reading r;
    r.flowRate = p.flowRate;
    r.unit = RateUnitLabel(p.model, p.sensorCode).value_or("");
    if (p.model == Model::k640) {
        r.alarms = true;
        r.highActivated = DecodeAlarmStatus(p.highStatus).activated;
        r.lowActivated = DecodeAlarmStatus(p.lowStatus).activated;
    }
    return r;
}

Json ToJson(const Reading& r) {
    Json object{{"flowRate", ModuleNumber(r.flowRate)}, {"unit", JsonString(r.unit)}};
    if (r.alarms) {
        object["highActivated"] = r.highActivated;
        object["lowActivated"] = r.lowActivated;
    }
    return object;
}

const char* LampWord(bool lit) {
    return lit ? "activated" : "not activated";
}

// Runs `job` for 0 .. count-1, each on a thread of its own, and waits for all of them: the
// modules' opens (500 ms each) and exchanges overlap instead of adding up.
void AllAtOnce(std::size_t count, const std::function<void(std::size_t)>& job) {
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < count; ++i) {
        threads.emplace_back(job, i);
    }
    for (std::thread& t : threads) {
        t.join();
    }
}

// What one module gave a one-shot command: its text and JSON, or why it failed.
struct ModuleResult {
    int exitCode = kExitOk;
    std::string message;  // the error line when exitCode != 0
    std::string text;
    Json json = Json::object();
};

// Runs `talk` for every module at once, each on its own link, and prints the results in the
// order the modules were given: alone as before; several with each text line led by the
// module's port and, with --json, one array of objects that carry a "port" key (and an
// "error" key for a module that failed). The exit status is the worst of them.
// `refuse`, when given, turns a module away before its port is opened (a command its model
// cannot answer).
int RunEach(const CliOptions& options, const Streams& io,
            const std::function<ModuleResult(ModuleLink&)>& talk,
            const std::function<std::optional<CliFailure>(const ModuleLink&)>& refuse = {}) {
    StopRequest stop;
    std::vector<std::unique_ptr<ModuleLink>> modules = Modules(options, stop);
    std::vector<ModuleResult> results(modules.size());
    AllAtOnce(modules.size(), [&](std::size_t i) {
        std::optional<CliFailure> failure;
        if (refuse) {
            failure = refuse(*modules[i]);
        }
        if (!failure) {
            failure = modules[i]->Open();
        }
        if (failure) {
            results[i] = {failure->exitCode, failure->message, {}, {}};
            return;
        }
        results[i] = talk(*modules[i]);
    });
    const bool several = modules.size() > 1;
    int worst = kExitOk;
    Json array = Json::array();
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const ModuleResult& r = results[i];
        const std::string& name = modules[i]->Name();
        worst = std::max(worst, r.exitCode);
        if (r.exitCode != kExitOk) {
            PrintError(io, r.message);
        }
        if (io.json) {
            if (!several && r.exitCode == kExitOk) {
                PrintJson(io, r.json);
                continue;
            }
            Json object = r.json;
            object["port"] = JsonString(name);
            if (r.exitCode != kExitOk) {
                object["error"] = JsonString(OneLine(r.message));
            }
            if (!several) {
                PrintJson(io, object);  // one module that failed: still one document
                continue;
            }
            array.push_back(object);
        } else if (r.exitCode == kExitOk) {
            std::string text;
            std::istringstream lines(r.text);
            for (std::string line; std::getline(lines, line);) {
                text += (several ? name + ": " : std::string()) + line + "\n";
            }
            Print(io, text);
        }
    }
    if (io.json && several) {
        PrintJson(io, array);
    }
    return worst;
}

ModuleResult Failed(const CliFailure& failure) {
    return {failure.exitCode, failure.message, {}, {}};
}

int RunPoll(const CliOptions& options, const Streams& io) {
    return RunEach(options, io, [](ModuleLink& link) {
        const Model model = link.ModuleModel();
        PollReading p;
        const LinkResult result = link.Exchange([&p, model](CSerialPort& port, const int& on) {
            p = PollModule(model, port, on);
            return p.result;
        });
        if (result != kLinkOk) {
            return Failed(CommFailure(link.Name(), result));
        }
        const Reading r = ReadingOf(p);
        std::string text = "Flow rate: " + FormatFixed(r.flowRate, 2) + " " + r.unit + "\n";
        if (r.alarms) {
            text += std::string("High alarm: ") + LampWord(r.highActivated) + "\n";
            text += std::string("Low alarm: ") + LampWord(r.lowActivated) + "\n";
        }
        return ModuleResult{kExitOk, {}, text, ToJson(r)};
    });
}

std::string CsvRow(std::int64_t timeMs, const std::string* port, const Reading& r, Model table) {
    flowcsv::Reading row{timeMs, r.flowRate, r.unit};
    if (r.alarms) {
        row.highActivated = r.highActivated ? 1 : 0;
        row.lowActivated = r.lowActivated ? 1 : 0;
    }
    return flowcsv::Row(row, table, port);
}

std::string TextLine(const std::string& time, const std::string* port, const Reading& r) {
    std::string line =
        time + " " + (port ? *port + " " : "") + FormatFixed(r.flowRate, 2) + " " + r.unit;
    if (r.alarms) {
        line += std::string(" high:") + (r.highActivated ? "on" : "off") +
                " low:" + (r.lowActivated ? "on" : "off");
    }
    return line + "\n";
}

// One output of `watch` (standard output, standard error, the log), written on a thread of its
// own: the modules' threads and the watch's loop only queue text and never wait for an output.
// A standard output that is a full pipe, or a log that is a FIFO nobody reads, then holds up
// nothing but its own thread, whose writes look at the stop flag every 100 ms, so Ctrl-C ends
// the watch within a second whatever the outputs do. Once a write is abandoned that way, the
// rest of its queue is dropped.
class OutputChannel {
public:
    // `write` writes one queued text and gives 0 or the error number.
    explicit OutputChannel(std::function<int(const std::string&)> write)
        : write_(std::move(write)), thread_([this] { Work(); }) {}
    ~OutputChannel() { Finish(); }
    OutputChannel(const OutputChannel&) = delete;
    OutputChannel& operator=(const OutputChannel&) = delete;

    void Push(std::string text) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(text));
        }
        ready_.notify_all();
    }
    // The first failed write's error number, 0 while all went through.
    int Error() const {
        std::lock_guard lock(mutex_);
        return error_;
    }
    // Writes what is queued (or drops it once the stop flag is up and the output is stuck)
    // and ends the thread.
    void Finish() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        ready_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ready_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;  // closing, and all written
            }
            const std::string text = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            const int error = error_ != 0 ? 0 : write_(text);  // nothing more after a failure
            lock.lock();
            if (error == ECANCELED) {
                queue_.clear();
            } else if (error != 0) {
                error_ = error;
            }
        }
    }

    std::function<int(const std::string&)> write_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::string> queue_;
    bool closing_ = false;
    int error_ = 0;
    std::thread thread_;  // last: starts once the rest is built
};

// What `watch` writes: its standard output, its error lines and its CSV log, each on its own
// channel.
class WatchOutput {
public:
    WatchOutput(const Streams& io, const std::optional<std::string>& csv,
                const std::atomic<bool>* stop)
        : csvName_(csv.value_or("")),
          out_([fd = fileno(io.out), stop](const std::string& t) {
              return WriteWhole(fd, t, stop);
          }),
          err_([fd = fileno(io.err), stop](const std::string& t) {
              (void)WriteWhole(fd, t, stop);
              return 0;  // an error line that cannot be written has nowhere else to go
          }),
          csv_([this, stop](const std::string& row) { return log_.Append(row, stop); }),
          outFd_(fileno(io.out)) {}
    WatchOutput(const WatchOutput&) = delete;
    WatchOutput& operator=(const WatchOutput&) = delete;

    bool CsvWanted() const { return !csvName_.empty(); }
    bool CsvToStandardOutput() const { return csvName_ == "-"; }

    // Opens the log at the first reading (a watch that cannot start never touches it):
    // appended to, the header only in a new or empty file, and never a file that begins with
    // another header. Called before the first row is queued.
    std::optional<CliFailure> OpenCsv(const std::string& header) {
        if (!CsvWanted() || log_.IsOpen()) {
            return std::nullopt;
        }
        if (CsvToStandardOutput()) {
            log_.Adopt(outFd_, header, "\n");  // text mode on Windows makes it CR LF
            return std::nullopt;
        }
        std::string found;
        const int error = log_.Open(csvName_, header, flowcsv::kLineEnd, &found);
        if (error == LogFile::kOtherHeader) {
            return CliFailure{kExitComm, "cannot append to " + csvName_ + ": it begins with \"" +
                                             found + "\", not this watch's header \"" + header +
                                             "\"; nothing was written to it"};
        }
        if (error != 0) {
            return Failure(csvName_, error);
        }
        return std::nullopt;
    }

    void Out(std::string text) { out_.Push(std::move(text)); }
    void Err(const std::string& line) { err_.Push(OneLine(line) + "\n"); }
    void Row(std::string row) { csv_.Push(std::move(row)); }

    // The first output that failed (the log, or standard output), if any.
    std::optional<CliFailure> Failed() const {
        if (const int error = csv_.Error(); error != 0) {
            return Failure(CsvToStandardOutput() ? "standard output" : csvName_, error);
        }
        if (const int error = out_.Error(); error != 0) {
            return Failure("standard output", error);
        }
        return std::nullopt;
    }

    // Writes what is queued, the log first (its rows are the record), then ends the threads.
    void Finish() {
        csv_.Finish();
        out_.Finish();
        err_.Finish();
    }

private:
    static CliFailure Failure(const std::string& name, int error) {
        return {kExitComm, "cannot write " + name + ": " + std::strerror(error)};
    }

    std::string csvName_;
    LogFile log_;  // opened on the watch's thread before its first row; written by csv_ only
    OutputChannel out_;
    OutputChannel err_;
    OutputChannel csv_;
    int outFd_;
};

// After a failed poll the next try waits at least this long, however short --interval is:
// an unplugged adapter fails at once, and must not make the loop spin.
constexpr std::chrono::seconds kRetryAfterFailure{1};
// While a port stays gone, it is said again this often.
constexpr std::chrono::seconds kGoneReminder{60};

// Polls every module every interval (measured from the start of one poll to the next) until
// --count polls are made or Ctrl-C / SIGTERM asks to stop, which is how a watch without
// --count is meant to end: the exit status is then 0 as after --count readings. Each module is
// polled on its own link, at its own cadence: a slow or failing line never delays another
// module. A stop ends the polls in progress within 100 ms (they give no line), and rows go to
// the log whole or not at all, so the log always ends with a whole row. A failed poll is
// reported on standard error and the next one tries again, as the main window's timer does;
// the exit status is then 3 however the watch ends. A port that is gone (unplugged, hung up)
// is said once, then once a minute; its link reopens it, and the watch carries on when it is
// back. Rows and lines carry the time their reading came in and are written in that order.
int RunWatch(const CliOptions& options, const Streams& io) {
    using Clock = std::chrono::steady_clock;
    struct Watched {
        ModuleLink* module = nullptr;
        Clock::time_point due;
        long long polls = 0;
        bool inFlight = false;
        bool lastFailed = false;
        bool gone = false;
        std::optional<Clock::time_point> goneSaid;
    };

    StopRequest stop;
    std::vector<std::unique_ptr<ModuleLink>> modules = Modules(options, stop);
    const bool several = modules.size() > 1;
    // All ports open at once: each open waits its 500 ms on its own link's thread.
    std::vector<std::optional<CliFailure>> opened(modules.size());
    AllAtOnce(modules.size(), [&](std::size_t i) { opened[i] = modules[i]->Open(); });
    for (const std::optional<CliFailure>& failure : opened) {
        if (failure) {
            return Fail(io, *failure);
        }
    }
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options.intervalSeconds));
    // Mixed models share one table: the alarm columns stay empty in a 612's rows.
    Model tableModel = Model::k612;
    for (const auto& m : modules) {
        tableModel = m->ModuleModel() == Model::k640 ? Model::k640 : tableModel;
    }
    const std::string header = flowcsv::Header(tableModel, several);

    std::mutex mutex;  // guards everything below and the order of what is queued for output
    std::condition_variable changed;
    std::vector<Watched> watched(modules.size());
    bool anyFailed = false;
    std::optional<CliFailure> fatal;
    WatchOutput output(io, options.csv, stop.Flag());
    for (std::size_t i = 0; i < modules.size(); ++i) {
        watched[i].module = modules[i].get();
        watched[i].due = Clock::now();
    }

    // Said on the module's own thread as its link sees the port go and come back.
    auto sayGone = [&](Watched& w) {
        if (!w.goneSaid || Clock::now() - *w.goneSaid >= kGoneReminder) {
            output.Err(IsoLocalTime(NowMs()) + " " + w.module->Name() + ": the port is gone (" +
                       std::strerror(EIO) + "); trying again every second");
            w.goneSaid = Clock::now();
        }
    };
    for (Watched& w : watched) {
        w.module->Worker().SetStatusObserver([&, wp = &w](const Link::Status& status) {
            std::lock_guard lock(mutex);
            if (status.gone && !wp->gone) {
                wp->gone = true;
                anyFailed = true;
                sayGone(*wp);
            } else if (status.online && wp->gone) {
                wp->gone = false;
                wp->goneSaid.reset();
                output.Err(IsoLocalTime(NowMs()) + " " + wp->module->Name() + ": the port is back");
            }
        });
    }

    // A reading or a failure, queued for output under the lock, stamped as it comes in.
    auto report = [&](Watched& w, const PollReading& p, bool gone) {
        const std::int64_t timeMs = NowMs();
        const std::string time = IsoLocalTime(timeMs);
        if (!p.Complete()) {
            anyFailed = true;
            if (!gone) {
                output.Err(time + " " + CommFailure(w.module->Name(), p.result).message);
            }
            return;
        }
        const Reading r = ReadingOf(p);
        const std::string* port = several ? &w.module->Name() : nullptr;
        if (output.CsvWanted()) {
            if (auto failure = output.OpenCsv(header)) {
                fatal = failure;
                return;
            }
            output.Row(CsvRow(timeMs, port, r, tableModel));
        }
        if (io.json) {
            Json object = ToJson(r);
            object["time"] = JsonString(time);
            if (several) {
                object["port"] = JsonString(w.module->Name());
            }
            io.printed = true;
            output.Out(JsonText(object, true));
        } else if (!output.CsvToStandardOutput()) {
            io.printed = true;
            output.Out(TextLine(time, port, r));
        }
    };

    auto finished = [&](const Watched& w) { return options.count && w.polls >= *options.count; };
    std::unique_lock lock(mutex);
    for (;;) {
        bool allDone = true;
        auto next = Clock::time_point::max();
        for (Watched& w : watched) {
            if (finished(w)) {
                allDone = allDone && !w.inFlight;
                continue;
            }
            allDone = false;
            if (w.inFlight) {
                continue;
            }
            if (w.gone) {
                sayGone(w);  // once a minute while it stays gone
            }
            if (Clock::now() < w.due) {
                next = std::min(next, w.due);
                continue;
            }
            // Due: poll now. The next slot counts from this start; a late poll is not made up.
            w.inFlight = true;
            ++w.polls;
            w.module->Worker().Run([&, wp = &w](CSerialPort& port, const int& online) {
                const PollReading p = PollModule(wp->module->ModuleModel(), port, online);
                const bool gone = port.Gone() || (p.result == kLinkOffline);
                std::lock_guard inner(mutex);
                wp->inFlight = false;
                wp->lastFailed = !p.Complete();
                const Clock::duration wait =
                    wp->lastFailed ? std::max<Clock::duration>(interval, kRetryAfterFailure)
                                   : interval;
                wp->due = std::max(wp->due + wait, Clock::now() - interval + wait);
                if (!stop.Requested() && !fatal) {
                    report(*wp, p, gone);
                }
                changed.notify_all();
            });
            next = std::min(next, Clock::now());  // look again when it is done
        }
        if (!fatal) {
            fatal = output.Failed();
        }
        if (allDone || fatal) {
            break;
        }
        // Sleep until the next slot or a poll's end, and stop if Ctrl-C came meanwhile.
        if (SleepThenLookForStop(Clock::now(), next, *stop.Flag(),
                                 [&](Clock::time_point end) { changed.wait_until(lock, end); })) {
            break;
        }
    }
    lock.unlock();
    for (const auto& m : modules) {
        m->Worker().SetStatusObserver({});
        m->Worker().AbandonAndWait();
    }
    output.Finish();
    if (!fatal) {
        fatal = output.Failed();
    }
    if (fatal) {
        return Fail(io, *fatal);
    }
    return anyFailed ? kExitComm : kExitOk;
}

// ---- status -----------------------------------------------------------------------------------

// The alarm status window's live part: high status, low status, flow.
int RunStatus(const CliOptions& options, const Streams& io) {
    // A 612 has no alarms and answers no "h" or "l": it is turned away by name; the 640s
    // given with it carry on.
    const auto refuse = [&options](const ModuleLink& link) -> std::optional<CliFailure> {
        if (link.ModuleModel() == Model::k640) {
            return std::nullopt;
        }
        if (options.targets.size() <= 1) {
            return CliFailure{kExitUsage, "status reads the alarms of a 640: add --model 640"};
        }
        return CliFailure{kExitUsage, "status reads the alarms of a 640: " + link.Name() +
                                          " is a 612 (give --model 640 before its port)"};
    };
    return RunEach(
        options, io,
        [](ModuleLink& link) {
            std::uint32_t high = 0;
            std::uint32_t low = 0;
            double flow = 0;
            const LinkResult result = link.Exchange([&](CSerialPort& port, const int& online) {
                CDevice640 device(port, online);
                LinkResult r = device.ReadHighStatus(high);
                if (r == kLinkOk) {
                    r = device.ReadLowStatus(low);
                }
                if (r == kLinkOk) {
                    r = device.ReadFlow(flow);
                }
                return r;
            });
            if (result != kLinkOk) {
                return Failed(CommFailure(link.Name(), result));
            }
            const AlarmStatus h = DecodeAlarmStatus(high);
            const AlarmStatus l = DecodeAlarmStatus(low);
            return ModuleResult{kExitOk,
                                {},
                                "Flow rate: " + FormatFixed(flow, 2) + "\nHigh alarm: " +
                                    ToText(h) + "\nLow alarm: " + ToText(l) + "\n",
                                Json{
                                    {"flowRate", ModuleNumber(flow)},
                                    {"high", ToJson(h)},
                                    {"low", ToJson(l)},
                                }};
        },
        refuse);
}

// ---- read -------------------------------------------------------------------------------------

template <class Record, class Device>
ModuleResult ReadRecord(ModuleLink& link) {
    Record data;
    const LinkResult result = link.Exchange([&data](CSerialPort& port, const int& online) {
        return Device(port, online).ReadAll(data);
    });
    if (result != kLinkOk) {
        return Failed(CommFailure(link.Name(), result));
    }
    const ReportFields fields = RecordFields(data);
    return {kExitOk, {}, ToText(fields), ToJson(fields)};
}

int RunRead(const CliOptions& options, const Streams& io) {
    return RunEach(options, io, [](ModuleLink& link) {
        return link.ModuleModel() == Model::k640 ? ReadRecord<ModuleData640, CDevice640>(link)
                                                 : ReadRecord<ModuleData612, CDevice612>(link);
    });
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

// What was sent, and (after a read-back) whether the module holds it. A dry run says so, in
// text and JSON alike, so its output is never taken for a real upload's.
void PrintSent(const std::vector<std::string>& commands, const Streams& io,
               const std::vector<ReadBackMismatch>* mismatches, bool dryRun = false) {
    if (io.json) {
        Json sent = Json::array();
        for (const std::string& c : commands) {
            sent.push_back(JsonString(ShowCommand(c)));
        }
        Json object{{"sent", sent}};
        if (dryRun) {
            object["dryRun"] = true;
        }
        if (mismatches != nullptr) {
            Json list = Json::array();
            for (const ReadBackMismatch& m : *mismatches) {
                list.push_back(Json{{"field", JsonString(m.field)},
                                    {"sent", JsonString(m.sent)},
                                    {"held", JsonString(m.held)}});
            }
            object["verified"] = mismatches->empty();
            object["mismatches"] = list;
        }
        PrintJson(io, object);
        return;
    }
    std::string text;
    for (const std::string& c : commands) {
        text += ShowCommand(c) + "\n";
    }
    if (mismatches != nullptr && mismatches->empty()) {
        text += "Verified: the module holds every value sent.\n";
    }
    if (dryRun) {
        text += "Dry run: nothing was sent.\n";
    }
    Print(io, text);
}

// An upload that stopped: where, and what the module may now hold.
CliFailure UploadFailure(const std::string& portName, LinkResult result,
                         const UploadReport& report) {
    const std::string text =
        StoppedUploadText(result, report) + " The module may now hold part of the new settings.";
    if (result == kLinkCancelled) {
        return {kExitInterrupted, "Interrupted (" + portName + "): " + text};
    }
    return {kExitComm, "Error Communicating to Module, Check Serial and Power Cables (" + portName +
                           ": " + text + ")"};
}

// Read, apply, check, then upload (or, with --dry-run, only show) what SendConfig sends, and
// read the module back to see that it holds it.
template <class Record, class Device>
int SendRecord(ModuleLink& link, const SendSettings& settings, const CliOptions& options,
               const Streams& io) {
    const std::string& portName = link.Name();
    Record data;
    std::string reply;
    if (const LinkResult result = link.Exchange([&](CSerialPort& port, const int& online) {
            Device device(port, online);
            const LinkResult r = device.ReadAll(data);
            reply = device.LastReply();
            return r;
        });
        result != kLinkOk) {
        return Fail(io, CommFailure(portName, result));
    }
    // The keys not given go back to the module as read: only from a dump that is clean, or
    // one shifted line would upload every setting wrong.
    constexpr int lastLine = std::is_same_v<Record, ModuleData612> ? kDumpLines612 : kDumpLines640;
    if (!DumpShapeOk(reply, lastLine)) {
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
        PrintSent(commands, io, nullptr, true);
        return kExitOk;
    }
    UploadReport report;
    const UploadObserver progress = ProgressOn(io.err, portName);
    const LinkResult result = link.Exchange([&](CSerialPort& port, const int& online) {
        return Device(port, online).SendConfig(data, progress, &report);
    });
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
    if (const LinkResult readBack = link.Exchange([&](CSerialPort& port, const int& online) {
            return Device(port, online).VerifyConfig(data, mismatches);
        });
        readBack != kLinkOk) {
        PrintSent(commands, io, nullptr);
        CliFailure failure = CommFailure(portName, readBack);
        failure.message += std::string(" ") + res::kVerifyUnread;
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
    StopRequest stop;
    // The model given before the port decides the keys, the upload set and the read-back, as
    // it decides the baud rate.
    ModuleLink link(options.targets.empty() ? CliTarget{} : options.targets.front(), options.model,
                    stop);
    SendSettings settings;
    if (auto failure = ParseSendSettings(link.ModuleModel(), options.args, settings)) {
        return Fail(io, *failure);
    }
    if (auto failure = link.Open()) {
        return Fail(io, *failure);
    }
    if (link.ModuleModel() == Model::k640) {
        return SendRecord<ModuleData640, CDevice640>(link, settings, options, io);
    }
    return SendRecord<ModuleData612, CDevice612>(link, settings, options, io);
}

// ---- calc -------------------------------------------------------------------------------------

int RunCalc(const CliOptions& options, const Streams& io) {
    const std::string& entry = options.args.front();
    const std::optional<double> diameter = ParseCliNumber(entry);
    if (!diameter) {
        return Fail(io, {kExitUsage, "calc wants a diameter, not \"" + entry + "\""});
    }
    if (*diameter <= 0) {
        return Fail(io,
                    {kExitUsage, "calc wants a diameter greater than 0, not \"" + entry + "\""});
    }
    const CalcResult r =
        CalculateFromEntry(entry, options.millimeters ? kDiameterMillimeters : kDiameterInches);
    if (!r.ok) {
        return Fail(io, {kExitRejected, r.caption + ": " + r.message});
    }
    if (io.json) {
        PrintJson(io, Json{{"kFactor", r.k}, {"offset", r.offset}});
    } else {
        // As the configuration dialogs show them ("%f").
        Print(io,
              "kFactor: " + FormatFixed(r.k, 6) + "\noffset: " + FormatFixed(r.offset, 6) + "\n");
    }
    return kExitOk;
}

int Dispatch(const CliOptions& options, const Streams& io) {
    if (auto failure = SamePortTwice(options.targets)) {
        return Fail(io, *failure);
    }
    switch (options.command) {
        case CliCommand::Ports:
            return RunPorts(io);
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
    const Streams io{out, err, options.json, 0, false, {}};
    const int status = Dispatch(options, io);
    if (io.outError != 0) {
        PrintError(io, std::string("cannot write standard output: ") + std::strerror(io.outError));
        return kExitComm;
    }
    if (status != kExitOk && io.json && !io.printed && !io.lastError.empty()) {
        PrintJson(io, Json{{"error", JsonString(io.lastError)}});
    }
    return status;
}
