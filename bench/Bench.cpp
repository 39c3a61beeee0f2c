// fernwell-bench: how long the program's polls and uploads take on the line, and whether it
// holds on to memory or descriptors over many polls. Run by scripts/bench.sh (make bench),
// which starts fernwell-sim and points XDG_CONFIG_HOME at a scratch home where the simulator
// is COM1.
//
//   fernwell-bench line [--repeat N]
//       Against a paced simulator (model auto). For the 612 and then the 640, the poll that
//       "Poll Now" runs (the median of N, default 5) and one upload (SendConfig of the record
//       just read, 50 ms after each byte), each beside its floor: the time the line itself
//       needs.
//   fernwell-bench soak --model 612|640 [--polls N] [--quiet-ms Q]
//       Against a --fast simulator: N polls in a row (default 20000), with resident memory and
//       open descriptors at the start, every tenth of the way and at the end. --quiet-ms
//       shortens the read's wait for silence (QuickLine.cpp); default 5, -1 for the real 200 ms.
//       Failed polls are counted and shown; they go through the same code.
//   fernwell-bench stall [--seconds S]
//       Against a paced simulator (model auto): how long the window's event loop is kept from
//       turning, measured by a 10 ms timer on the window's thread that notes how late it
//       fires. Four cases of S seconds each (default 60): "Auto Update" with a 612, with a
//       640, the 640's Alarm Status window open, and the 640's configuration dialog sending
//       one upload after another. Prints the longest and the 99th-percentile lateness.
//
// The main window is the program's own (offscreen), started as the program starts it. Every
// exchange runs on its link's worker thread: a poll is timed from "Poll Now" to its reading
// shown by the window, the raw exchanges (the floor's counts, the upload) run on the worker
// through Link::Call.

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/FernwellDlg.h"
#include "bench/QuickLine.h"
#include "config/ConfigDlgBase.h"
#include "protocol/Commands.h"
#include "protocol/Device.h"
#include "serial/SerialPort.h"
#include "texts/Resource.h"
#include "toolwindows/Alarm640Dlg.h"
#include "ui/Bitmaps.h"
#include "ui/MessageBox.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kQuietSeconds = 0.200;  // two empty reads of 100 ms end every reply
constexpr int kBitsPerChar = 10;         // start, 8 data, stop

int gBoxes = 0;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

int Baud(int model) {
    return model == 640 ? 4800 : 1200;
}

double LineSeconds(int chars, int baud) {
    return static_cast<double>(chars) * kBitsPerChar / baud;
}

// Turns the event loop until `done` (checked after every event, and at least every
// millisecond). False after `timeoutMs`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 60000) {
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(1);
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Waits for the open the window asked of the link (start-up, a model change).
bool WaitForOpen(CFernwellDlg& dlg) {
    WaitUntil([&dlg] { return dlg.link().Idle(); });
    QCoreApplication::processEvents();  // the status the link posted
    if (!dlg.link().CurrentStatus().online) {
        std::fprintf(stderr, "fernwell-bench: COM1 did not open (%s)\n",
                     qPrintable(dlg.statusText(1)));
        return false;
    }
    return true;
}

// "Poll Now", and its reading shown.
void PollNow(CFernwellDlg& dlg) {
    dlg.OnCommand(IDC_POLL_NOW);
    WaitUntil([&dlg] { return !dlg.pollRunning(); });
}

// The main window as the program starts it, its port open (the open runs on the link's
// thread). Unless `keepPollTimer`, only the benchmark polls. False, and said, when COM1 did
// not open.
bool StartMain(CFernwellDlg& dlg, bool keepPollTimer = false) {
    dlg.Create();
    if (!keepPollTimer) {
        if (QTimer* poll = dlg.Timer(ID_TIMER_POLL)) {
            poll->stop();
        }
    }
    return WaitForOpen(dlg);
}

// Characters that come back for one query: the module's echo of the command and its reply.
// Asked the way the program asks (purge, write, read until silence), on the link's thread.
int ReceivedChars(Link& link, char letter, int maxChars) {
    int count = 0;
    link.Call([&](CSerialPort& port, const int&) {
        const char command[2] = {letter, '\r'};
        count = 2;
        port.Write(command, count);
        std::vector<char> buffer(static_cast<std::size_t>(maxChars) + 1);
        count = maxChars;
        port.Read(buffer.data(), count);
    });
    return count;
}

struct Figure {
    const char* what;
    double measured;
    double floor;
    std::string counts;
};

void Print(int model, const Figure& f) {
    std::printf("%-5d %-7s %9.3f s %9.3f s %7.4f   %s\n", model, f.what, f.measured, f.floor,
                f.measured / f.floor, f.counts.c_str());
}

// One poll as "Poll Now" runs it, from the command to its reading shown; the median of
// `repeat`.
double TimePoll(CFernwellDlg& dlg, int repeat) {
    std::vector<double> times;
    for (int i = 0; i < repeat; ++i) {
        const auto start = Clock::now();
        PollNow(dlg);
        times.push_back(Seconds(Clock::now() - start));
        if (dlg.statusText(0) != "Idle") {
            std::fprintf(stderr, "fernwell-bench: poll %d ended in \"%s\"\n", i + 1,
                         qPrintable(dlg.statusText(0)));
        }
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

Figure PollFigure(CFernwellDlg& dlg, int model, int repeat) {
    const double measured = TimePoll(dlg, repeat);
    const int baud = Baud(model);
    std::vector<int> chars = {ReceivedChars(dlg.link(), 'v', kDumpReadChars)};
    if (model == 640) {
        chars.push_back(ReceivedChars(dlg.link(), 'h', kValueReadChars));
        chars.push_back(ReceivedChars(dlg.link(), 'l', kValueReadChars));
    }
    int total = 0;
    std::string parts;
    for (int c : chars) {
        total += c;
        parts += (parts.empty() ? "" : " + ") + std::to_string(c);
    }
    const int exchanges = static_cast<int>(chars.size());
    const double floor = LineSeconds(total, baud) + exchanges * kQuietSeconds;
    return {"poll", measured, floor,
            parts + " chars received at " + std::to_string(baud) + " baud + " +
                std::to_string(exchanges) + " x 200 ms quiet"};
}

// SendConfig of the record just read, timed on the link's thread.
template <class Device, class Data>
Figure UploadFigure(CFernwellDlg& dlg, int model) {
    int bytes = 0;
    double measured = 0;
    dlg.link().Call([&](CSerialPort& port, const int& online) {
        Device device(port, online);
        Data data;
        if (device.ReadAll(data) != kLinkOk) {
            std::fprintf(stderr, "fernwell-bench: the %d did not answer its dump\n", model);
        }
        const auto start = Clock::now();
        device.SendConfig(data, [&bytes](int sent, int) { bytes = sent; });
        measured = Seconds(Clock::now() - start);
    });
    const double pauses = bytes * DeviceBase::BytePauseMs() / 1000.0;
    const double serialLine = LineSeconds(bytes, Baud(model));
    char counts[200];
    std::snprintf(counts, sizeof counts,
                  "%d bytes x %d ms (the pseudo-terminal does not pace the program's own output; "
                  "a serial line adds %d x 10 bits / %d baud = %.3f s to both)",
                  bytes, DeviceBase::BytePauseMs(), bytes, Baud(model), serialLine);
    return {"upload", measured, pauses, counts};
}

int RunLine(int repeat) {
    CFernwellDlg dlg;
    if (!StartMain(dlg)) {
        return 1;
    }
    std::printf("%-5s %-7s %11s %11s %7s   %s\n", "model", "what", "measured", "floor", "ratio",
                "floor counts");
    Print(612, PollFigure(dlg, 612, repeat));
    Print(612, UploadFigure<CDevice612, ModuleData612>(dlg, 612));
    dlg.OnCommand(ID_DEVICE_642);
    if (!WaitForOpen(dlg)) {
        return 1;
    }
    Print(640, PollFigure(dlg, 640, repeat));
    Print(640, UploadFigure<CDevice640, ModuleData640>(dlg, 640));
    return gBoxes == 0 ? 0 : 1;
}

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int OpenDescriptors() {
    int count = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
         it != std::filesystem::directory_iterator(); it.increment(ec)) {
        ++count;
    }
    return count - 1;  // the directory being listed
}

int RunSoak(int model, int polls, int quietMs) {
    CFernwellDlg dlg;
    if (!StartMain(dlg)) {
        return 1;
    }
    if (model == 640) {
        dlg.OnCommand(ID_DEVICE_642);
        if (!WaitForOpen(dlg)) {
            return 1;
        }
    }
    bench::SetLineQuietMs(quietMs);
    std::printf(
        "soak: model %d, %d polls, read quiet %s\n", model, polls,
        quietMs < 0 ? "200 ms (as the program)" : (std::to_string(quietMs) + " ms x 2").c_str());
    std::printf("%8s %10s %5s %7s %12s\n", "polls", "RSS KiB", "fds", "errors", "ms per poll");
    int errors = 0;
    long firstRss = 0;
    int firstFds = 0;
    auto since = Clock::now();
    int sinceCount = 0;
    const int step = std::max(1, polls / 10);
    for (int i = 1; i <= polls; ++i) {
        PollNow(dlg);
        if (dlg.statusText(0) != "Idle") {
            ++errors;
        }
        ++sinceCount;
        if (i == 1 || i % step == 0 || i == polls) {
            const long rss = ResidentKiB();
            const int fds = OpenDescriptors();
            if (i == 1) {
                firstRss = rss;
                firstFds = fds;
            }
            const double ms = Seconds(Clock::now() - since) * 1000.0 / sinceCount;
            std::printf("%8d %10ld %5d %7d %12.2f\n", i, rss, fds, errors, ms);
            std::fflush(stdout);
            since = Clock::now();
            sinceCount = 0;
        }
    }
    bench::SetLineQuietMs(-1);
    std::printf("soak: RSS %+ld KiB (%+ld pages), descriptors %+d, %d of %d polls failed\n",
                ResidentKiB() - firstRss, (ResidentKiB() - firstRss) * 1024 / sysconf(_SC_PAGESIZE),
                OpenDescriptors() - firstFds, errors, polls);
    if (errors > 0 && quietMs >= 0) {
        std::printf(
            "soak: (with the quiet time shortened, a poll fails when the simulator is not "
            "scheduled in time to answer; the memory and descriptor figures are the "
            "point here)\n");
    }
    return 0;
}

// ---- Stalls of the window's event loop ----------------------------------------------------

constexpr int kTickMs = 10;

// A 10 ms single-shot timer on the window's thread, armed again each time it fires: how late
// each firing comes is how long the event loop was kept from turning just then.
class StallMeter {
public:
    StallMeter() {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }
    // Starts the samples; `onTick` runs on every firing (the case's own bookkeeping).
    void Start(std::function<void()> onTick = {}) {
        onTick_ = std::move(onTick);
        lateMs_.clear();
        start_ = Clock::now();
        Arm();
    }
    void Stop() { timer_.stop(); }
    // Samples count only while recording (the upload case records from its first Send).
    bool recording = true;

    struct Result {
        std::size_t samples = 0;
        double seconds = 0;
        double longestMs = 0;
        double longestAt = 0;  // seconds after Start
        double p99Ms = 0;
        double p50Ms = 0;
    };
    Result Summary() const {
        Result r;
        r.samples = lateMs_.size();
        r.seconds = Seconds(Clock::now() - start_);
        if (lateMs_.empty()) {
            return r;
        }
        std::vector<double> sorted;
        for (const auto& [late, at] : lateMs_) {
            sorted.push_back(late);
            if (late > r.longestMs) {
                r.longestMs = late;
                r.longestAt = at;
            }
        }
        std::sort(sorted.begin(), sorted.end());
        const auto rank = [&sorted](double q) {
            return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(
                                                          q * static_cast<double>(sorted.size())))];
        };
        r.p99Ms = rank(0.99);
        r.p50Ms = rank(0.50);
        return r;
    }

private:
    void Arm() {
        due_ = Clock::now() + std::chrono::milliseconds(kTickMs);
        timer_.start(kTickMs);
    }
    void Tick() {
        const auto now = Clock::now();
        if (recording) {
            lateMs_.push_back({std::max(0.0, Seconds(now - due_) * 1000.0), Seconds(now - start_)});
        }
        // Armed first, so the case's own work here (a Send pressed) counts in the next sample.
        Arm();
        if (onTick_) {
            onTick_();
        }
    }

    QTimer timer_;
    std::function<void()> onTick_;
    std::vector<std::pair<double, double>> lateMs_;  // lateness, when
    Clock::time_point start_;
    Clock::time_point due_;
};

struct StallCase {
    std::string name;
    StallMeter::Result result;
    int exchanges = 0;  // polls, refreshes or uploads completed
    int failed = 0;     // of them, ended in "Comm Error" (a lamp, a box)
    const char* unit = "";
};

// Turns the event loop for `ms` milliseconds.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// "Auto Update" as the program starts it: the poll timer every 3 s.
StallCase AutoUpdateCase(int model, int seconds) {
    StallCase c{model == 612 ? "612, Auto Update" : "640, Auto Update", {}, 0, 0, "polls"};
    CFernwellDlg dlg;
    if (!StartMain(dlg, true)) {
        return c;
    }
    if (model == 640) {
        dlg.OnCommand(ID_DEVICE_642);
        if (!WaitForOpen(dlg)) {
            return c;
        }
    }
    dlg.show();
    StallMeter meter;
    bool wasRunning = dlg.pollRunning();
    meter.Start([&] {
        const bool running = dlg.pollRunning();
        if (wasRunning && !running) {
            ++c.exchanges;
            c.failed += dlg.statusText(0) != "Idle";
        }
        wasRunning = running;
    });
    RunFor(seconds * 1000);
    meter.Stop();
    c.result = meter.Summary();
    return c;
}

// The modal window a menu command opens, run until `finish` closes it. `onTick` sees it (or
// nullptr before it is up) every 10 ms.
template <class Window>
StallMeter::Result RunModal(CFernwellDlg& dlg, int command, StallMeter& meter,
                            const std::function<void(Window*)>& onTick) {
    QEventLoop loop;
    meter.Start([&] { onTick(qobject_cast<Window*>(QApplication::activeModalWidget())); });
    QTimer::singleShot(0, [&] {
        dlg.OnCommand(command);  // DoModal: returns when the window is closed
        loop.quit();
    });
    loop.exec();
    meter.Stop();
    return meter.Summary();
}

// A shown main window on the 640, its port open.
bool StartMain640(CFernwellDlg& dlg) {
    if (!StartMain(dlg, true)) {
        return false;
    }
    dlg.OnCommand(ID_DEVICE_642);
    if (!WaitForOpen(dlg)) {
        return false;
    }
    dlg.show();
    return true;
}

// The 640's Alarm Status window open: a settings read, then "h", "l", "f" every second.
StallCase AlarmCase(int seconds) {
    StallCase c{"640, Alarm Status window open", {}, 0, 0, "refreshes"};
    CFernwellDlg dlg;
    if (!StartMain640(dlg)) {
        return c;
    }
    StallMeter meter;
    int lastPending = 0;
    const auto until = Clock::now() + std::chrono::seconds(seconds);
    c.result = RunModal<CAlarm640Dlg>(dlg, ID_ALARM_STATUS, meter, [&](CAlarm640Dlg* alarm) {
        if (alarm == nullptr) {
            return;
        }
        const int pending = alarm->pendingReads();
        if (pending < lastPending) {
            c.exchanges += lastPending - pending;
            c.failed +=
                ui::BitmapOf(alarm->GetDlgItemAs<QLabel>(IDC_COMM_ERROR_LAMP)) == IDB_LAMP_RED;
        }
        lastPending = pending;
        if (Clock::now() >= until) {
            alarm->done(IDOK);
        }
    });
    return c;
}

// The 640's configuration dialog: its read on opening, then Send after Send (each an upload
// of about 7 s and its read-back) for `seconds`; samples from the first Send to the end of the
// last upload.
StallCase UploadCase(int seconds) {
    StallCase c{"640, configuration Send", {}, 0, 0, "uploads"};
    CFernwellDlg dlg;
    if (!StartMain640(dlg)) {
        return c;
    }
    StallMeter meter;
    meter.recording = false;
    bool sending = false;
    const int boxesBefore = gBoxes;
    Clock::time_point until;
    c.result = RunModal<ConfigDlgBase>(dlg, ID_PARAMETERS, meter, [&](ConfigDlgBase* config) {
        if (config == nullptr || config->pendingExchanges() != 0) {
            return;
        }
        if (sending) {
            ++c.exchanges;
            sending = false;
        }
        if (!meter.recording) {
            meter.recording = true;  // the read on opening is done
            until = Clock::now() + std::chrono::seconds(seconds);
        } else if (Clock::now() >= until) {
            meter.recording = false;
            config->done(IDOK);
            return;
        }
        config->OnCommand(IDC_SEND);
        sending = config->pendingExchanges() != 0;
    });
    c.failed = gBoxes - boxesBefore;
    return c;
}

int RunStall(int seconds) {
    std::vector<StallCase> cases;
    cases.push_back(AutoUpdateCase(612, seconds));
    cases.push_back(AutoUpdateCase(640, seconds));
    cases.push_back(AlarmCase(seconds));
    cases.push_back(UploadCase(seconds));
    std::printf("%-30s %8s %8s %13s %13s %10s %s\n", "case", "seconds", "samples", "longest stall",
                "99th pct", "median", "exchanges (failed)");
    bool ok = true;
    for (const StallCase& c : cases) {
        const StallMeter::Result& r = c.result;
        std::printf("%-30s %8.1f %8zu %7.1f ms %-4s %10.1f ms %7.1f ms %d %s (%d)\n",
                    c.name.c_str(), r.seconds, r.samples, r.longestMs,
                    r.longestMs < 50 ? "" : "(!)", r.p99Ms, r.p50Ms, c.exchanges, c.unit, c.failed);
        if (r.samples > 0) {
            std::printf("%-30s %8s longest at %.1f s\n", "", "", r.longestAt);
        }
        ok = ok && r.samples > 0 && c.exchanges > 0 && c.failed == 0;
    }
    std::printf(
        "stall: lateness of a 10 ms timer on the window's thread; goal: longest under "
        "50 ms in every case\n");
    return ok ? 0 : 1;
}

[[noreturn]] void Usage() {
    std::fprintf(stderr,
                 "usage: fernwell-bench line [--repeat N]\n"
                 "       fernwell-bench soak --model 612|640 [--polls N] [--quiet-ms Q]\n"
                 "       fernwell-bench stall [--seconds S]\n");
    std::exit(2);
}

int IntArg(int& i, int argc, char** argv) {
    if (i + 1 >= argc) {
        Usage();
    }
    char* end = nullptr;
    const long v = std::strtol(argv[++i], &end, 10);
    if (*end != '\0') {
        Usage();
    }
    return static_cast<int>(v);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc < 2) {
        Usage();
    }
    const std::string mode = argv[1];
    int repeat = 5, model = 612, polls = 20000, quietMs = 5, seconds = 60;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--repeat") {
            repeat = std::max(1, IntArg(i, argc, argv));
        } else if (arg == "--model") {
            model = IntArg(i, argc, argv);
        } else if (arg == "--polls") {
            polls = std::max(1, IntArg(i, argc, argv));
        } else if (arg == "--quiet-ms") {
            quietMs = IntArg(i, argc, argv);
        } else if (arg == "--seconds") {
            seconds = std::max(1, IntArg(i, argc, argv));
        } else {
            Usage();
        }
    }
    if ((mode != "line" && mode != "soak" && mode != "stall") || (model != 612 && model != 640)) {
        Usage();
    }

    QApplication app(argc, argv);
    // Nothing should ask the user anything; say so if it does.
    ui::SetMessageBoxHandler(
        [](QWidget*, const QString& text, const QString& caption, unsigned type) {
            ++gBoxes;
            std::fprintf(stderr, "fernwell-bench: message box \"%s\": %s\n", qPrintable(caption),
                         qPrintable(text));
            return ui::FirstButtonResult(type);
        });
    const int result = mode == "line"   ? RunLine(repeat)
                       : mode == "soak" ? RunSoak(model, polls, quietMs)
                                        : RunStall(seconds);
    ui::SetMessageBoxHandler(nullptr);
    return result;
}
