// fernwell-sim: a simulated transmitter module on a pseudo-terminal. The program (or anything
// else) opens the pseudo-terminal's slave as its COM port; this process plays the module on the
// master side, driven by ModuleSim.
//
// Two kernel quirks of a pseudo-terminal standing in for a serial port shape this file:
//  - a master whose slave has no open descriptor reports a hang-up (POLLHUP, EIO on read) for
//    as long as nobody holds the slave. We keep a slave descriptor of our own open, so the line
//    stays up while the program closes and reopens the port;
//  - the exclusive-use flag (TIOCEXCL) the program sets on the slave lives as long as the pair,
//    not, as on a real serial port, until the last close. Left alone it would turn every later
//    open by an unprivileged user into EBUSY. We watch the slave's closes with inotify and clear
//    the flag (TIOCNXCL) after each.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include "cmdline/CommandLine.h"
#include "serial/PortMap.h"
#include "serial/ProcessSetup.h"
#include "sim/ModuleSim.h"

namespace {

using Clock = ModuleSim::Clock;

constexpr const char* kDescription =
    "A simulated Fernwell transmitter module (model 612 or 640) on a pseudo-terminal.\n"
    "\n"
    "On start it opens a pseudo-terminal, links it as comN (--port) in the ports directory\n"
    "($XDG_CONFIG_HOME/fernwell/ports, ~/.config/fernwell/ports when unset, or --ports-dir),\n"
    "prints the device path (e.g. /dev/pts/3) as one line on standard output and answers on\n"
    "it until SIGINT or SIGTERM, when it removes the link again.\n"
    "\n"
    "The module echoes every byte, answers \"v\" CR with its parameter dump and (640 only) \"f\",\n"
    "\"h\", \"l\" CR with the flow rate and the high and low alarm status words, and stores\n"
    "every setting command \"<letter>=<value>\" CR: number settings as floats, four-digit codes\n"
    "read as decimal numbers, as the real module reads them (\"u=0251\" is held as 251).\n"
    "The \"s=\" commands show in the dump as (count << 16 | last value): the 612's line 12,\n"
    "the 640's line 10. Unknown commands are ignored.\n"
    "Output is paced at the baud rate the program set on the line, 10 bits a character.\n"
    "\n"
    "The flow drifts on its own: on the 640 between 2 and 130 over a 120 s cycle, across the\n"
    "default alarm limits (high 120/110, low 5/10), so both alarms set and release once a\n"
    "cycle after their delays (counted in ticks of 0.262144 s). A latched alarm (mode 2) stays\n"
    "activated until its mode is written again. The 612's flow swells between 10 and 50.";

struct Settings {
    SimOptions sim;
    int port = 1;
    std::string portsDir;
    bool verbose = false;
};

int BaudOf(speed_t speed) {
    switch (speed) {
        case B50:
            return 50;
        case B75:
            return 75;
        case B110:
            return 110;
        case B134:
            return 134;
        case B150:
            return 150;
        case B200:
            return 200;
        case B300:
            return 300;
        case B600:
            return 600;
        case B1200:
            return 1200;
        case B1800:
            return 1800;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        case B230400:
            return 230400;
        default:
            return 0;  // B0 (hang up) or an exotic rate: send unpaced
    }
}

// The line as the program set it: on Linux the master reads the slave's settings. A rate
// that cannot be read is 0, which no model hears.
struct Line {
    int baud = 0;
    bool eightN1 = false;
};
Line LineSettings(int master) {
    termios t{};
    if (tcgetattr(master, &t) != 0) {
        return {};
    }
    return {BaudOf(cfgetospeed(&t)),
            (t.c_cflag & CSIZE) == CS8 && (t.c_cflag & (PARENB | CSTOPB)) == 0};
}

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "fernwell-sim: %s\n", message.c_str());
    std::exit(2);
}

// The options, in the order --help lists them; a value option's last value wins.
struct Options {
    CLI::App app;
    std::vector<std::pair<std::string, std::string>> defaults;  // name, value when not given
    CommandLine line;

    void Add(const std::string& name, const char* description, const char* valueName = nullptr,
             const char* byDefault = nullptr) {
        CLI::Option* option = valueName == nullptr
                                  ? app.add_flag("--" + name)
                                  : app.add_option("--" + name)->type_name(valueName);
        option->description(description)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        if (byDefault != nullptr) {
            defaults.emplace_back(name, byDefault);
        }
    }
    const CLI::Option* Get(const std::string& name) const { return app.get_option("--" + name); }
    bool IsSet(const std::string& name) const { return IsGiven(line, Get(name)); }
    std::string Value(const std::string& name) const {
        if (!IsSet(name)) {
            for (const auto& [option, value] : defaults) {
                if (option == name) {
                    return value;
                }
            }
        }
        return LastValue(line, Get(name));
    }
};

int IntOption(const Options& options, const std::string& name, int min, int max) {
    const std::string text = options.Value(name);
    int v = 0;
    if (!ReadInt(text, v) || v < min || v > max) {
        Fail("--" + name + " wants a whole number from " + std::to_string(min) + " to " +
             std::to_string(max) + ", not \"" + text + "\"");
    }
    return v;
}

std::uint32_t HexOption(const Options& options, const std::string& name) {
    std::string text = options.Value(name);
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.erase(0, 2);
    }
    std::uint32_t v = 0;
    if (!ReadHex32(text, v)) {
        Fail("--" + name + " wants up to 8 hex digits, not \"" + options.Value(name) + "\"");
    }
    return v;
}

Settings ParseArguments(const std::vector<std::string>& arguments) {
    Options o;
    o.app.set_help_flag();
    o.app.add_flag("-h,--help")->description("Displays help on commandline options.");
    o.Add("help-all", "Displays help (the same as --help).");
    o.Add("model",
          "Model that answers: 612, 640, or auto (612 while the line runs at 1200 baud, "
          "640 at 4800). Like a real module it hears only its own line settings: 1200 baud "
          "for the 612, 4800 for the 640, 8N1; on others it neither echoes nor answers. "
          "Default: auto.",
          "model", "auto");
    o.Add("port", "COM number to link the pseudo-terminal as (1-255). Default: 1.", "N", "1");
    o.Add("ports-dir", "Directory for the comN link, instead of the user's ports directory.",
          "DIR");
    o.Add("fast", "Send without pacing at the baud rate (for tests).");
    o.Add("variant", "The character on line 4 of the dump. Default: 4.", "C", "4");
    o.Add("flow", "Hold the flow rate at X instead of letting it drift.", "X");
    o.Add("high-status", "Answer \"h\" with this status word (hex) instead of the alarm's own.",
          "HEX");
    o.Add("low-status", "Answer \"l\" with this status word (hex) instead of the alarm's own.",
          "HEX");
    o.Add("silent", "Fault: a module without power; no echo, no answer.");
    o.Add("truncate-dump", "Fault: send only the first N characters of each dump.", "N");
    o.Add("drop-separator",
          "Fault: leave out the CR LF after dump line LINE (0 = the one before line 1).", "LINE");
    o.Add("noise", "Fault: random bytes on the line while it is quiet between exchanges.");
    o.Add("pause-ms", "Fault: a silence of N ms in the middle of every answer.", "N");
    o.Add("hangup-after",
          "Fault: after N answered queries, close the pseudo-terminal (the program sees the "
          "line hang up), remove the link and exit.",
          "N");
    o.Add("hangup-after-bytes",
          "Fault: close the pseudo-terminal when the Nth byte arrives (mid-upload), remove the "
          "link and exit.",
          "N");
    o.Add("extra-line", "Fault: one more CR LF before every dump, shifting all its lines.");
    o.Add("drop-byte", "Fault: the Nth byte received (counted from 1) is lost on the line.", "N");
    o.Add("dribble-ms", "Fault: at least N ms between two bytes sent (a module that dribbles).",
          "N");
    o.Add("control-text", "Fault: terminal control sequences in the dump's text lines.");
    o.Add("seed", "Seed of the noise generator. Default: 1.", "N", "1");
    o.Add("verbose", "Log every command received on standard error.");

    auto read = ReadCommandLine(o.app, arguments, DashWord::kShortLetters);
    if (const auto* error = std::get_if<std::string>(&read)) {
        std::fprintf(stderr, "fernwell-sim: %s\n", error->c_str());
        std::exit(1);
    }
    o.line = std::move(std::get<CommandLine>(read));
    if (o.IsSet("help") || o.IsSet("help-all")) {
        // Arguments other than options are not used; they are let pass, as always.
        std::fputs(HelpText(o.app, arguments.front(), kDescription, {}).c_str(), stdout);
        std::exit(0);
    }

    Settings s;
    const std::string model = o.Value("model");
    if (model == "612") {
        s.sim.model = Model::k612;
    } else if (model == "640") {
        s.sim.model = Model::k640;
    } else if (model == "auto") {
        s.sim.model = std::nullopt;
    } else {
        Fail("--model wants 612, 640 or auto, not \"" + model + "\"");
    }
    s.port = IntOption(o, "port", portmap::kFirstPort, portmap::kLastPort);
    s.portsDir = o.IsSet("ports-dir") ? o.Value("ports-dir") : portmap::PortsDirectory();
    s.sim.paced = !o.IsSet("fast");
    const std::string variant = o.Value("variant");
    if (variant.size() != 1) {
        Fail("--variant wants one character");
    }
    s.sim.variantChar = variant[0];
    if (o.IsSet("flow")) {
        double flow = 0;
        if (!ReadDouble(o.Value("flow"), flow) || !std::isfinite(flow)) {
            Fail("--flow wants a number, not \"" + o.Value("flow") + "\"");
        }
        s.sim.fixedFlow = flow;
    }
    if (o.IsSet("high-status")) {
        s.sim.highStatus = HexOption(o, "high-status");
    }
    if (o.IsSet("low-status")) {
        s.sim.lowStatus = HexOption(o, "low-status");
    }
    s.sim.silent = o.IsSet("silent");
    // The fault switches: each left at "never" unless given.
    const auto setIfGiven = [&](const char* name, int& field, int least, int most) {
        if (o.IsSet(name)) {
            field = IntOption(o, name, least, most);
        }
    };
    setIfGiven("truncate-dump", s.sim.truncateDump, 0, 1 << 20);
    setIfGiven("drop-separator", s.sim.dropSeparatorAfter, 0, 22);
    s.sim.noise = o.IsSet("noise");
    setIfGiven("pause-ms", s.sim.pauseMs, 0, 3600000);
    setIfGiven("hangup-after", s.sim.hangupAfter, 1, 1 << 30);
    setIfGiven("hangup-after-bytes", s.sim.hangupAfterBytes, 1, 1 << 30);
    s.sim.extraLine = o.IsSet("extra-line");
    setIfGiven("drop-byte", s.sim.dropByte, 1, 1 << 30);
    setIfGiven("dribble-ms", s.sim.dribbleMs, 0, 60000);
    s.sim.controlText = o.IsSet("control-text");
    s.sim.seed = static_cast<std::uint32_t>(IntOption(o, "seed", 0, 0x7FFFFFFF));
    s.verbose = o.IsSet("verbose");
    return s;
}

std::string PortPath(const Settings& s, const std::string& suffix = {}) {
    return s.portsDir + (s.portsDir.back() == '/' ? "" : "/") + "com" + std::to_string(s.port) +
           suffix;
}

void MakePortsDirectory(const Settings& s) {
    std::error_code error;
    if (s.portsDir.empty() || (!std::filesystem::create_directories(s.portsDir, error) &&
                               !std::filesystem::is_directory(s.portsDir, error))) {
        Fail("cannot create the ports directory " + s.portsDir);
    }
}

// One simulator a port: a second one would take the link and strand the first. The lock file
// comN.lock beside the link is held (flock) as long as this process lives, and says whose it
// is; the kernel lets go of it when the process dies, so a simulator that was killed leaves
// nothing that blocks the next. Returns the lock file's descriptor.
int ServePortAlone(const Settings& s) {
    const std::string path = PortPath(s, ".lock");
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        Fail("cannot create " + path + ": " + strerror(errno));
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char text[32] = {};
        const ssize_t n = pread(fd, text, sizeof text - 1, 0);
        const long pid = n > 0 ? std::strtol(text, nullptr, 10) : 0;
        std::fprintf(stderr, "fernwell-sim: COM%d is already served by fernwell-sim%s.\n", s.port,
                     pid > 0 ? (" (pid " + std::to_string(pid) + ")").c_str() : "");
        std::exit(2);
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        Fail("cannot write " + path + ": " + strerror(errno));
    }
    return fd;
}

// Puts the link comN -> device into the ports directory, replacing an older link (a simulator
// that was killed leaves one behind). Anything other than a link is left alone.
std::string MakeLink(const Settings& s, const std::string& device) {
    const std::string link = PortPath(s);
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        Fail(link + " exists and is not a link; not replacing it");
    }
    const std::string temp = link + ".new." + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(device.c_str(), temp.c_str()) != 0 || rename(temp.c_str(), link.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        Fail("cannot link " + link + ": " + strerror(err));
    }
    return link;
}

// Removes the link if it still names our device (another simulator may have taken the port).
void RemoveLink(const std::string& link, const std::string& device) {
    char target[4096];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == device) {
        unlink(link.c_str());
    }
}

struct Pty {
    int master = -1;
    int keep = -1;  // our own slave descriptor
    std::string device;
};

Pty OpenPty() {
    Pty p;
    p.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[256];
    if (p.master < 0 || grantpt(p.master) != 0 || unlockpt(p.master) != 0 ||
        ptsname_r(p.master, name, sizeof name) != 0) {
        Fail(std::string("cannot open a pseudo-terminal: ") + strerror(errno));
    }
    p.device = name;
    p.keep = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (p.keep < 0) {
        Fail(std::string("cannot open ") + name + ": " + strerror(errno));
    }
    // Raw, so the line discipline neither echoes nor translates: the echo the program sees is
    // the module's own. The program sets its own rate and raw mode when it opens the port.
    termios t{};
    tcgetattr(p.keep, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(p.keep, TCSANOW, &t);
    fcntl(p.master, F_SETFL, fcntl(p.master, F_GETFL) | O_NONBLOCK);
    return p;
}

// Clears the exclusive-use flag whenever a user of the slave closes it. Only privileged users
// pass the flag, so while the program holds the port nobody else can have opened it, and the
// program's own close is what comes through. (Counting opens against closes would be exact in
// theory, but inotify merges identical events that are still unread.)
class ExclusiveReleaser {
public:
    ExclusiveReleaser(const std::string& device, int keep) : keep_(keep) {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0 && inotify_add_watch(fd_, device.c_str(), IN_CLOSE) < 0) {
            close(fd_);
            fd_ = -1;
        }
        if (fd_ < 0) {
            std::fprintf(stderr,
                         "fernwell-sim: cannot watch %s (%s); a program that reopens the port "
                         "without privileges may find it busy\n",
                         device.c_str(), strerror(errno));
        }
    }
    ~ExclusiveReleaser() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int Fd() const { return fd_; }

    void Drain() {
        alignas(inotify_event) char buf[4096];
        bool closed = false;
        while (read(fd_, buf, sizeof buf) > 0) {
            closed = true;  // IN_CLOSE_WRITE, IN_CLOSE_NOWRITE or a queue overflow
        }
        if (closed) {
            ioctl(keep_, TIOCNXCL);
        }
    }

private:
    int fd_ = -1;
    int keep_;
};

int Run(const Settings& s) {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    const int sigFd = signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK);
    if (sigFd < 0) {
        Fail(std::string("signalfd: ") + strerror(errno));
    }

    MakePortsDirectory(s);
    const int portLock = ServePortAlone(s);
    Pty pty = OpenPty();
    ExclusiveReleaser releaser(pty.device, pty.keep);
    const std::string link = MakeLink(s, pty.device);

    ModuleSim sim(s.sim, Clock::now());
    if (s.verbose) {
        sim.SetCommandObserver([](const std::string& line, const char* fate) {
            std::string shown;
            for (unsigned char c : line) {
                char buf[8];
                std::snprintf(buf, sizeof buf, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
                shown += buf;
            }
            std::fprintf(stderr, "fernwell-sim: \"%s\" %s\n", shown.c_str(), fate);
        });
        std::fprintf(stderr, "fernwell-sim: COM%d -> %s\n", s.port, pty.device.c_str());
    }
    std::printf("%s\n", pty.device.c_str());
    std::fflush(stdout);

    int exitCode = 0;
    const auto setLine = [&] {
        const Line line = LineSettings(pty.master);
        sim.SetLine(line.baud, line.eightN1);
    };
    for (;;) {
        setLine();
        const std::string out = sim.TakeOutput(Clock::now());
        if (!out.empty()) {
            // Nobody reading fills the slave's queue; like a real line, the surplus is lost.
            if (write(pty.master, out.data(), out.size()) < 0 && errno != EAGAIN) {
                std::fprintf(stderr, "fernwell-sim: write: %s\n", strerror(errno));
            }
        }
        if (sim.HungUp()) {
            if (s.verbose) {
                std::fprintf(stderr, "fernwell-sim: hanging up after %d exchanges\n",
                             sim.Exchanges());
            }
            break;
        }

        timespec timeout{};
        timespec* wait = nullptr;  // nothing scheduled: sleep until input or a signal
        if (const auto next = sim.NextEvent()) {
            const auto ns =
                std::chrono::duration_cast<std::chrono::nanoseconds>(*next - Clock::now()).count();
            timeout.tv_sec = ns > 0 ? ns / 1'000'000'000 : 0;
            timeout.tv_nsec = ns > 0 ? ns % 1'000'000'000 : 0;
            wait = &timeout;
        }
        pollfd fds[3] = {{sigFd, POLLIN, 0}, {pty.master, POLLIN, 0}, {releaser.Fd(), POLLIN, 0}};
        const int ready = ppoll(fds, releaser.Fd() >= 0 ? 3 : 2, wait, nullptr);
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "fernwell-sim: poll: %s\n", strerror(errno));
            exitCode = 1;
            break;
        }
        if (fds[0].revents & POLLIN) {
            break;  // SIGINT, SIGTERM, SIGHUP
        }
        if (fds[2].revents & POLLIN) {
            releaser.Drain();
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[512];
            const ssize_t n = read(pty.master, buf, sizeof buf);
            if (n > 0) {
                setLine();
                sim.Feed(std::string_view(buf, static_cast<std::size_t>(n)), Clock::now());
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // A hung-up master (cannot happen while we hold the slave): wait, never spin.
                poll(nullptr, 0, 100);
            }
        }
    }

    RemoveLink(link, pty.device);
    unlink(PortPath(s, ".lock").c_str());  // still ours: we hold its lock
    close(portLock);
    close(pty.keep);
    close(pty.master);
    close(sigFd);
    return exitCode;
}

}  // namespace

int main(int argc, char* argv[]) {
    PrepareProcess();  // before the pseudo-terminal can take descriptor 1 or 2
    // Block the stop signals before anything else so they only ever arrive through signalfd.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::setlocale(LC_ALL, "");  // system error texts in the user's language
    std::setlocale(LC_NUMERIC, "C");
    const Settings settings = ParseArguments(std::vector<std::string>(argv, argv + argc));
    return Run(settings);
}
