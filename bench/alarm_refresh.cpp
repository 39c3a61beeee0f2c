// alarm_refresh: does the alarm status window use up memory or handles as it sets its lamps,
// once a second for as long as it stays open?
//
// Against fernwell-sim (--fast, 640), on the offscreen platform:
//  1. warm-up: one settings read, one refresh, and every lamp image shown once;
//  2. --cycles N (100000) refreshes of the window's side: the Retrieving Data lamp blue, both
//     alarms' lamps and delay boxes from a status word, the flow box, Retrieving Data and
//     Comm Error grey, i.e. what RefreshAlarmStatus sets after its three queries. The status
//     words go round a list in which every lamp changes image on most cycles. The window is
//     repainted every 100 cycles;
//  3. --real N (300) real refreshes over the line (each ~0.6 s: a query ends only after 200 ms
//     of silence), every other one after a settings read as an unplugged start has it. The
//     queries run on the link's thread; each refresh waits until the window has shown them.
// After each step: resident memory (VmRSS), open file descriptors, and how many lamps show
// an image other than the one shared copy of their bitmap (always 0: each image is loaded
// once and every lamp showing it shares it).
//
// Qt's idle worker threads end after 30 s and take their event descriptors with them, so a
// long run may end with fewer descriptors than it started with; only growth counts.
//
//   alarm_refresh [--cycles N] [--real N]
// Exit status 0 when the descriptors did not grow, every lamp shares its image and the last
// refresh over the line got through.

#include <dirent.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/FernwellDlg.h"
#include "protocol/Device.h"
#include "rules/AlarmStatus.h"
#include "tests/common/PtyPair.h"
#include "tests/common/SimProcess.h"
#include "texts/Resource.h"
#include "toolwindows/Alarm640Dlg.h"
#include "ui/Bitmaps.h"
#include "ui/MessageBox.h"

namespace {

constexpr int kCom = 9;

long RssKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

int OpenFds() {
    int n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (const dirent* e = readdir(dir)) {
            n += e->d_name[0] != '.';
        }
        closedir(dir);
    }
    return n - 1;  // the directory being read
}

const int kLamps[] = {IDC_RETRIEVING_LAMP,         IDC_COMM_ERROR_LAMP,
                      IDC_HIGH_ENABLED_LAMP,       IDC_HIGH_ACTIVATED_LAMP,
                      IDC_HIGH_WAIT_ACTIVATE_LAMP, IDC_HIGH_WAIT_RELEASE_LAMP,
                      IDC_LOW_ENABLED_LAMP,        IDC_LOW_ACTIVATED_LAMP,
                      IDC_LOW_WAIT_ACTIVATE_LAMP,  IDC_LOW_WAIT_RELEASE_LAMP};

// Lamps whose image is not the one shared copy of their bitmap resource.
int UnsharedLamps(const CDialog& dlg) {
    int n = 0;
    for (int id : kLamps) {
        const QLabel* lamp = dlg.GetDlgItemAs<QLabel>(id);
        n += lamp->pixmap().cacheKey() != ui::BitmapResource(ui::BitmapOf(lamp)).cacheKey();
    }
    return n;
}

struct Sample {
    long rssKb;
    int fds;
};

Sample Report(const char* step, const CDialog& dlg, double seconds) {
    QApplication::processEvents();
    const Sample s{RssKb(), OpenFds()};
    std::printf("%-34s RSS %7ld kB   fds %3d   lamps not on the shared image %d   (%.1f s)\n", step,
                s.rssKb, s.fds, UnsharedLamps(dlg), seconds);
    std::fflush(stdout);
    return s;
}

void SetLamp(CDialog& dlg, int id, int bitmap) {
    ui::SetBitmap(dlg.GetDlgItemAs<QLabel>(id), bitmap);
}

// Turns the event loop until the window has shown every answer it asked the link for.
bool WaitForReads(const CAlarm640Dlg& dlg) {
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(1);
    while (dlg.pendingReads() != 0) {
        if (clock.elapsed() > 30000) {
            return false;
        }
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    fwtest::ScopedPortsDir ports;  // a private ports directory for the simulator's link
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"cycles", "Refreshes of the window's side.", "N", "100000"});
    parser.addOption({"real", "Refreshes over the line.", "N", "300"});
    parser.process(app);
    const int cycles = parser.value("cycles").toInt();
    const int real = parser.value("real").toInt();

    ui::SetMessageBoxHandler([](QWidget*, const QString& text, const QString&, unsigned) {
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
        return ui::kIdOk;
    });
    fwtest::SimProcess sim(
        {.args = {"--model", "640"}, .port = kCom, .portsDir = ports.PortsDir()});
    if (!sim.Ok()) {
        std::fprintf(stderr, "fernwell-sim: %s\n", sim.Error().c_str());
        return 2;
    }
    CSerialPort::SetOpenDelayMs(0);
    CFernwellDlg main;
    main.Create();
    main.KillTimer(ID_TIMER_POLL);
    main.model = 640;
    main.busy = 1;
    std::string error;
    if (main.link().OpenNow(kCom, 4800, &error) != 0) {
        std::fprintf(stderr, "COM%d: %s\n", kCom, error.c_str());
        return 2;
    }

    CAlarm640Dlg dlg;
    dlg.link = &main.link();
    dlg.colours = &main.colours();
    dlg.Create();  // its settings read
    dlg.KillTimer(ID_TIMER_ALARM_STATUS);
    dlg.show();

    // Every lamp state once, so the images are loaded before the first sample.
    const std::uint32_t words[] = {0x28000001, 0x05000101, 0x00000100, 0x00000000, 0x0A000001};
    constexpr int kWords = sizeof words / sizeof words[0];
    dlg.RefreshAlarmStatus();
    WaitForReads(dlg);
    for (int bitmap = IDB_LAMP_ORANGE; bitmap <= IDB_LAMP_GREY; ++bitmap) {
        SetLamp(dlg, IDC_COMM_ERROR_LAMP, bitmap);
    }
    for (std::uint32_t w : words) {
        dlg.ShowAlarmStatus(true, w);
    }
    using Clock = std::chrono::steady_clock;
    auto since = [](Clock::time_point t) {
        return std::chrono::duration<double>(Clock::now() - t).count();
    };
    const Sample start = Report("after warm-up", dlg, 0);

    auto t = Clock::now();
    for (int i = 0; i < cycles; ++i) {
        SetLamp(dlg, IDC_RETRIEVING_LAMP, IDB_LAMP_BLUE);
        dlg.ShowAlarmStatus(true, words[i % kWords]);
        dlg.ShowAlarmStatus(false, words[(i + 2) % kWords]);
        dlg.SetDlgItemText(IDC_STATUS_FLOW_RATE, QString::fromStdString(FlowRateText(i * 0.01)));
        SetLamp(dlg, IDC_RETRIEVING_LAMP, IDB_LAMP_GREY);
        SetLamp(dlg, IDC_COMM_ERROR_LAMP, IDB_LAMP_GREY);
        if (i % 100 == 99) {
            dlg.repaint();
            QApplication::processEvents();
        }
    }
    const Sample afterCycles =
        Report(qPrintable(QStringLiteral("after %1 window refreshes").arg(cycles)), dlg, since(t));

    t = Clock::now();
    for (int i = 0; i < real; ++i) {
        if (i % 2) {
            dlg.referenceLoaded = 0;
            dlg.ReadAlarmReference();
        }
        dlg.RefreshAlarmStatus();
        WaitForReads(dlg);
    }
    const Sample afterReal = Report(
        qPrintable(QStringLiteral("after %1 refreshes over the line").arg(real)), dlg, since(t));
    const bool commOk =
        ui::BitmapOf(dlg.GetDlgItemAs<QLabel>(IDC_COMM_ERROR_LAMP)) == IDB_LAMP_GREY;
    std::printf("RSS growth: %+ld kB over the window refreshes, %+ld kB over the line refreshes\n",
                afterCycles.rssKb - start.rssKb, afterReal.rssKb - afterCycles.rssKb);
    std::printf("fd growth: %+d, %+d; last refresh %s\n", afterCycles.fds - start.fds,
                afterReal.fds - afterCycles.fds, commOk ? "got through" : "failed");
    main.link().Close();
    const bool ok = afterCycles.fds <= start.fds && afterReal.fds <= start.fds &&
                    UnsharedLamps(dlg) == 0 && commOk;
    return ok ? 0 : 1;
}
