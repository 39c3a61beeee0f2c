#pragma once
// A simulated transmitter module, model 612 or 640, as a pure state machine: bytes in, timed
// bytes out. It does no I/O and never reads a clock; every call is told the time, so tests drive
// it with a made-up clock and fernwell-sim with the real one.
//
// What the module does on the line:
//  - it echoes every byte it receives;
//  - a line ended by CR is one command. "v" answers the parameter dump, "f" the flow rate
//    ("f=" and a float in the module's layout), "h" and "l" the high and low alarm status words
//    ("h=" / "l=" and 8 hex digits, most significant byte first); the 612 knows only "v";
//  - "<c>=<value>" stores a setting: number settings as floats, four-digit codes read as DECIMAL
//    numbers whatever the sender meant by them (the module's own quirk, which the program's
//    read-back conversions rely on);
//  - anything else is ignored.
//
// The records hold what the module holds, which is not always what the program's records hold
// after a read: the 640 keeps "u=0251" as the number 251 (the program turns the dumped 251 back
// into the code 0x0251), and the 612 keeps "d=0021" as 21.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "protocol/Model.h"
#include "protocol/ModuleData.h"

struct SimOptions {
    // None: the model that answers is chosen by the line, 612 at 1200 baud, 640 at any other.
    std::optional<Model> model;
    bool paced = true;                // false: every byte is due at once (fernwell-sim --fast)
    char variantChar = '4';           // dump line 4
    std::optional<double> fixedFlow;  // the flow, instead of the slow drift
    std::optional<std::uint32_t> highStatus;  // forced "h" answer
    std::optional<std::uint32_t> lowStatus;   // forced "l" answer
    // Faults.
    bool silent = false;    // no echo, no answer, nothing stored: a module without power
    int truncateDump = -1;  // send only this many characters of each dump; < 0: all
    int dropSeparatorAfter =
        -1;                    // dump line whose CR LF is left out (0 = the leading one); < 0: none
    bool noise = false;        // random bytes on a quiet line, between exchanges
    int pauseMs = 0;           // silence of this length in the middle of every answer
    int hangupAfter = 0;       // hang up after this many answered queries; 0: never
    int hangupAfterBytes = 0;  // hang up once this many bytes have arrived; 0: never
    bool extraLine = false;    // one more CR LF before every dump, shifting its lines
    int dropByte = 0;          // the Nth byte received (from 1) is lost on the line; 0: none
    int dribbleMs = 0;         // at least this long between two output bytes (a slow module)
    bool controlText = false;  // terminal control sequences in the dump's text lines
    std::uint32_t seed = 1;    // noise generator
};

class ModuleSim {
public:
    using Clock = std::chrono::steady_clock;
    using Time = Clock::time_point;
    using Duration = Clock::duration;

    // The alarm logic runs once per tick; delays and the status word's counter count ticks.
    static constexpr Duration kTick = std::chrono::microseconds(262144);
    // Line quiet time after which noise may start or a hang-up takes place: longer than the
    // program's read, which ends after two empty reads of 100 ms.
    static constexpr Duration kQuiet = std::chrono::milliseconds(300);
    // Longest command line kept; longer lines are dropped up to their CR.
    static constexpr std::size_t kMaxLine = 64;
    // Most output bytes waiting to go out; more are lost. Input can arrive faster than the paced
    // echo leaves (someone flooding the line): past kMaxEchoBacklog the echo is dropped, as a
    // module's small transmit buffer would, so answers are not held up behind it.
    static constexpr std::size_t kMaxQueued = 4096;
    static constexpr std::size_t kMaxEchoBacklog = 256;

    ModuleSim(const SimOptions& options, Time start);

    // The line's baud rate, as the program set it. Paces the output (10 bits a character) and,
    // with no model given, chooses the model that answers.
    void SetBaud(int baud);
    int Baud() const { return baud_; }
    // The line as the program set it: its baud rate and whether it is 8 data bits, no parity,
    // one stop bit. A module hears only its own settings (612: 1200 baud, 640: 4800, both
    // 8N1; kAuto either rate): on any other, what arrives is noise to it, and it neither
    // echoes nor answers nor stores it. Calls SetBaud. Until the first call the module hears
    // everything (the pure state machine's tests set no line).
    void SetLine(int baud, bool eightN1);
    static bool HearsLine(std::optional<Model> model, int baud, bool eightN1);

    // Bytes received at `now`.
    void Feed(std::string_view bytes, Time now);
    // Removes and returns the output bytes due by `now`, in order.
    std::string TakeOutput(Time now);
    // When the next output byte, noise burst or hang-up falls due; nullopt when nothing will
    // happen before more input arrives. The alarms need no wake-up: they catch up on demand.
    std::optional<Time> NextEvent() const;
    // True once the hang-up fault has come due at the last TakeOutput; the front end then
    // closes the line. Nothing more is answered.
    bool HungUp() const { return hungUp_; }

    // Live state, brought up to `now` first.
    double FlowAt(Time now) const;
    std::uint32_t HighStatus(Time now);
    std::uint32_t LowStatus(Time now);

    // "s=" commands are kept where the program can see them: the 612's word12 and the 640's
    // word10 hold (how many arrived) << 16 | (the last value).
    // Queries answered so far.
    int Exchanges() const { return exchanges_; }
    // Called with every complete command line (without its CR) and what became of it:
    // "answered", "stored" or "ignored".
    using CommandObserver = std::function<void(const std::string& line, const char* fate)>;
    void SetCommandObserver(CommandObserver observer) { observer_ = std::move(observer); }

    // The answer texts as the module sends them (no echo, no faults applied).
    std::string Dump(Time now);
    std::string FlowReply(Time now);

private:
    struct Alarm {
        bool active = false;
        bool delaying = false;
        int counter = 0;  // ticks since the running delay started
    };
    struct OutByte {
        char c;
        Time at;
        bool noise;
    };

    void Advance(Time now);
    void RunTick(Time tickTime);
    void StepAlarm(Alarm& a, bool setCond, bool releaseCond, int mode, int setDelay,
                   int releaseDelay);
    void Execute(const std::string& line, Time now);
    bool Store612(char c, std::string_view value);
    bool Store640(char c, std::string_view value);
    void Answer(std::string text, Time now);
    void Queue(std::string_view bytes, Time now, Duration gap = Duration::zero(),
               bool noise = false);
    void DropNoise();
    void ScheduleNoise();
    Time LineFreeAt(Time now) const;
    Duration CharTime() const;
    std::uint32_t StatusWord(const Alarm& a) const;
    std::string BuildDump(Time now, int dropSeparatorAfter);
    double Flow(Model model, Time now) const;

    SimOptions opt_;
    Time start_;
    Time ticked_;  // time of the next alarm tick to run
    int baud_ = 0;
    bool hears_ = true;
    Model active_;
    ModuleData612 d612_;
    ModuleData640 d640_;
    Alarm high_, low_;
    int exchanges_ = 0;
    long long received_ = 0;  // bytes fed so far
    CommandObserver observer_;

    std::string line_;
    bool overflow_ = false;
    std::deque<OutByte> out_;
    Time lastActivity_;  // last input byte or last output byte's end
    std::optional<Time> noiseAt_;
    std::optional<Time> hangupAt_;
    bool hangupArmed_ = false;
    bool hungUp_ = false;
    std::mt19937 rng_;
};
