// fernwell-cli watch: every module polled at its own cadence, each reading a text line, a JSON
// line and a CSV row, written by threads of their own.

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/Commands.h"
#include "cli/ModuleLink.h"
#include "cli/WatchSleep.h"
#include "link/FlowCsv.h"
#include "link/TimeStamp.h"
#include "protocol/Commands.h"
#include "serial/LogFile.h"

namespace {

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

}  // namespace

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
