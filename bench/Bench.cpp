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
//
// The main window is the program's own (offscreen), started as the program starts it.

#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/FernwellDlg.h"
#include "bench/QuickLine.h"
#include "protocol/Commands.h"
#include "protocol/Device.h"
#include "res/Resource.h"
#include "serial/SerialPort.h"
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

// Characters that come back for one query: the module's echo of the command and its reply.
// Asked the way the program asks (purge, write, read until silence).
int ReceivedChars(CSerialPort& port, char letter, int maxChars) {
    const char command[2] = {letter, '\r'};
    int count = 2;
    port.Write(command, count);
    std::vector<char> buffer(static_cast<std::size_t>(maxChars) + 1);
    count = maxChars;
    port.Read(buffer.data(), count);
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

// One poll as "Poll Now" runs it; the median of `repeat`.
double TimePoll(CFernwellDlg& dlg, int repeat) {
    std::vector<double> times;
    for (int i = 0; i < repeat; ++i) {
        const auto start = Clock::now();
        dlg.onCommand(IDC_POLL_NOW);
        times.push_back(Seconds(Clock::now() - start));
        if (dlg.statusText(0) != "Idle") {
            std::fprintf(stderr, "fernwell-bench: poll %d ended in \"%s\"\n", i + 1,
                         qPrintable(dlg.statusText(0)));
        }
        QCoreApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

Figure PollFigure(CFernwellDlg& dlg, int model, int repeat) {
    const double measured = TimePoll(dlg, repeat);
    const int baud = Baud(model);
    std::vector<int> chars = {ReceivedChars(dlg.port(), 'v', kDumpReadChars)};
    if (model == 640) {
        chars.push_back(ReceivedChars(dlg.port(), 'h', kValueReadChars));
        chars.push_back(ReceivedChars(dlg.port(), 'l', kValueReadChars));
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

template <class Device, class Data>
Figure UploadFigure(CFernwellDlg& dlg, int model) {
    Device device(dlg.port(), dlg.online, &dlg);
    Data data;
    if (device.ReadAll(data) != kLinkOk) {
        std::fprintf(stderr, "fernwell-bench: the %d did not answer its dump\n", model);
    }
    int bytes = 0;
    const auto start = Clock::now();
    device.SendConfig(data, [&bytes](int sent, int) { bytes = sent; });
    const double measured = Seconds(Clock::now() - start);
    const double pauses = bytes * CDeviceBase::BytePauseMs() / 1000.0;
    const double serialLine = LineSeconds(bytes, Baud(model));
    char counts[200];
    std::snprintf(counts, sizeof counts,
                  "%d bytes x %d ms (the pseudo-terminal does not pace the program's own output; "
                  "a serial line adds %d x 10 bits / %d baud = %.3f s to both)",
                  bytes, CDeviceBase::BytePauseMs(), bytes, Baud(model), serialLine);
    return {"upload", measured, pauses, counts};
}

int RunLine(int repeat) {
    CFernwellDlg dlg;
    dlg.Create();
    if (QTimer* poll = dlg.timer(ID_TIMER_POLL)) {
        poll->stop();  // only the benchmark polls
    }
    if (!dlg.online) {
        std::fprintf(stderr, "fernwell-bench: COM1 did not open (%s)\n",
                     qPrintable(dlg.statusText(1)));
        return 1;
    }
    std::printf("%-5s %-7s %11s %11s %7s   %s\n", "model", "what", "measured", "floor", "ratio",
                "floor counts");
    Print(612, PollFigure(dlg, 612, repeat));
    Print(612, UploadFigure<CDevice612, ModuleData612>(dlg, 612));
    dlg.onCommand(ID_DEVICE_642);
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
    dlg.Create();
    if (QTimer* poll = dlg.timer(ID_TIMER_POLL)) {
        poll->stop();
    }
    if (model == 640) {
        dlg.onCommand(ID_DEVICE_642);
    }
    if (!dlg.online) {
        std::fprintf(stderr, "fernwell-bench: COM1 did not open (%s)\n",
                     qPrintable(dlg.statusText(1)));
        return 1;
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
        dlg.onCommand(IDC_POLL_NOW);
        if (dlg.statusText(0) != "Idle") {
            ++errors;
        }
        QCoreApplication::processEvents();
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

[[noreturn]] void Usage() {
    std::fprintf(stderr,
                 "usage: fernwell-bench line [--repeat N]\n"
                 "       fernwell-bench soak --model 612|640 [--polls N] [--quiet-ms Q]\n");
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
    int repeat = 5, model = 612, polls = 20000, quietMs = 5;
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
        } else {
            Usage();
        }
    }
    if ((mode != "line" && mode != "soak") || (model != 612 && model != 640)) {
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
    const int result = mode == "line" ? RunLine(repeat) : RunSoak(model, polls, quietMs);
    ui::SetMessageBoxHandler(nullptr);
    return result;
}
