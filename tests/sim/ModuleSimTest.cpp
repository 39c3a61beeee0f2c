// The simulated module as a pure state machine, driven with a made-up clock. Its answers are
// read back with the program's own decoders, so a dump the program could not read fails here.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "protocol/Decode.h"
#include "sim/ModuleSim.h"
#include "tests/sim/SimRecords.h"

namespace {

using simtest::Fresh612;
using simtest::Fresh640;
using simtest::Single;
using Time = ModuleSim::Time;
using std::chrono::milliseconds;

// An arbitrary origin: nothing may depend on the clock's epoch.
const Time kStart = Time{} + std::chrono::hours(1000);

Time At(double seconds) {
    return kStart +
           std::chrono::duration_cast<ModuleSim::Duration>(std::chrono::duration<double>(seconds));
}

SimOptions Fixed(std::optional<Model> model, double flow = 42.5) {
    SimOptions o;
    o.model = model;
    o.paced = false;
    o.fixedFlow = flow;
    return o;
}

// Feeds `input` at `t` and returns everything due then.
std::string Exchange(ModuleSim& sim, const std::string& input, Time t = kStart) {
    sim.Feed(input, t);
    return sim.TakeOutput(t);
}

// Commands received, then the change they make to the record the program reads back.
template <class Data>
struct UploadCase {
    const char* name;
    std::string commands;
    std::function<void(Data&)> expect;
};

TEST(ModuleSim, Upload612IsReadBackAsSent) {
    const std::vector<UploadCase<ModuleData612>> cases = {
        {"nothing", "", [](ModuleData612&) {}},
        {"numbers", "k=2.500000\ro=-0.05900\rx=3.000000\rw=250.0000\r",
         [](ModuleData612& d) {
             d.kFactor = 2.5;
             d.offset = Single(-0.059);
             d.pulseValue = 3;
             d.pulseWidth = 250;
         }},
        // The program sends SensorCode 0x0105 in decimal; the module keeps 261 = 0x0105.
        {"sensor code", "u=0261\r", [](ModuleData612& d) { d.SensorCode = 0x0105; }},
        // PulseUnitCode 0x21 goes out as hex digits, is read as decimal 21 and comes back 21.
        {"pulse unit code", "d=0021\r", [](ModuleData612& d) { d.PulseUnitCode = 21; }},
        {"s= shows in word12 as count and last value", "s=0000\rs=0007\r",
         [](ModuleData612& d) { d.word12 = 0x00020007; }},
        {"the 640's letters mean nothing here", "e=1.000000\rp=0002\rn=5.000000\r",
         [](ModuleData612&) {}},
        {"unparsable values are ignored", "k=\rk=abc\ru=xyz\rk=nan\r", [](ModuleData612&) {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModuleSim sim(Fixed(Model::k612), kStart);
        Exchange(sim, c.commands);
        ModuleData612 got;
        ASSERT_EQ(DecodeDump612(Exchange(sim, "v\r"), got), kLinkOk);
        ModuleData612 want = Fresh612();
        c.expect(want);
        EXPECT_EQ(got, want);
    }
}

TEST(ModuleSim, Upload640IsReadBackAsSent) {
    const std::vector<UploadCase<ModuleData640>> cases = {
        {"nothing", "", [](ModuleData640&) {}},
        {"numbers",
         "k=2.500000\ro=-0.05900\rn=2.000000\rm=60.00000\re=99.00000\rg=90.00000\r"
         "j=3.000000\rd=7.500000\r",
         [](ModuleData640& d) {
             d.kFactor = 2.5;
             d.offset = Single(-0.059);
             d.nValue = 2;
             d.unitFactor = 60;
             d.highSetPoint = 99;
             d.highReleasePoint = 90;
             d.lowSetPoint = 3;
             d.lowReleasePoint = 7.5;  // "d=" is a number on this model
         }},
        // Sent "u=0251" (hex digits), held as 251, dumped FB00, re-read by the program as 0x0251.
        {"sensor code", "u=0251\r", [](ModuleData640& d) { d.SensorCode = 0x0251; }},
        {"alarm modes and delays", "p=0002\rq=0000\r$=0007\r#=0012\r%=0003\r&=0020\r",
         [](ModuleData640& d) {
             d.highAlarmMode = 2;
             d.lowAlarmMode = 0;
             d.highSetDelay = 7;
             d.highReleaseDelay = 12;
             d.lowSetDelay = 3;
             d.lowReleaseDelay = 20;
         }},
        // A negative delay is kept, but the 16-bit field shows it as 65531.
        {"negative delay wraps in the dump", "$=-0005\r",
         [](ModuleData640& d) { d.highSetDelay = 0xFFFB; }},
        {"variant p's three s= commands", "s=0000\rs=0001\rs=0002\r",
         [](ModuleData640& d) { d.word10 = 0x00030002; }},
        {"the 612's letters mean nothing here", "x=5.000000\rw=100.0000\r", [](ModuleData640&) {}},
        {"a hex letter ends the decimal reading", "u=2d01\r",
         [](ModuleData640& d) { d.SensorCode = 0x0002; }},
        {"an overlong line is dropped whole", "k=" + std::string(70, '1') + "\r",
         [](ModuleData640&) {}},
        {"terminal line ends and split commands", "k=3.0\r\n\nk=\n4.0\r",
         [](ModuleData640& d) { d.kFactor = 4; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModuleSim sim(Fixed(Model::k640), kStart);
        // One byte at a time, as SendCommand writes them.
        for (char ch : c.commands) {
            Exchange(sim, std::string(1, ch));
        }
        ModuleData640 got;
        ASSERT_EQ(DecodeDump640(Exchange(sim, "v\r"), got), kLinkOk);
        ModuleData640 want = Fresh640();
        c.expect(want);
        EXPECT_EQ(got, want);
    }
}

TEST(ModuleSim, EchoesEveryByteAndAnswersOnlyQueries) {
    struct Case {
        Model model;
        std::string input;
        std::string output;  // exact
    };
    const std::string flow = "f=" + EncodeModuleFloat(42.5) + "\r\n";
    const std::vector<Case> cases = {
        {Model::k640, "f\r", "f\r" + flow},
        {Model::k640, "h\r", "h\rh=00000000\r\n"},
        {Model::k640, "l\r", "l\rl=00000000\r\n"},
        {Model::k640, "k=1.000000\r", "k=1.000000\r"},
        {Model::k640, "F\r", "F\r"},
        {Model::k640, "fh\r", "fh\r"},
        {Model::k640, " f\r", " f\r"},
        {Model::k640, "\r\r", "\r\r"},
        {Model::k640, std::string("\0\x80\xff\r", 4), std::string("\0\x80\xff\r", 4)},
        {Model::k640, "f", "f"},  // no CR, no command yet
        {Model::k612, "f\r", "f\r"},
        {Model::k612, "h\r", "h\r"},
        {Model::k612, "l\r", "l\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        ModuleSim sim(Fixed(c.model), kStart);
        EXPECT_EQ(Exchange(sim, c.input), c.output);
    }
}

// A module hears only its own line settings: on another rate or framing it neither echoes
// nor answers, and what arrived then is not kept for later.
TEST(ModuleSim, HearsOnlyItsOwnLineSettings) {
    struct Row {
        std::optional<Model> model;
        int baud;
        bool eightN1;
        bool hears;
    } rows[] = {
        {Model::k612, 1200, true, true},   {Model::k612, 4800, true, false},
        {Model::k612, 1200, false, false}, {Model::k640, 4800, true, true},
        {Model::k640, 1200, true, false},  {Model::k640, 9600, true, false},
        {Model::k640, 4800, false, false}, {std::nullopt, 1200, true, true},
        {std::nullopt, 4800, true, true},  {std::nullopt, 2400, true, false},
        {std::nullopt, 0, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.baud) + (row.eightN1 ? " 8N1" : " other framing"));
        ModuleSim sim(Fixed(row.model), kStart);
        sim.SetLine(row.baud, row.eightN1);
        const std::string out = Exchange(sim, "v\r");
        EXPECT_EQ(out.size() > 160, row.hears) << out;
        EXPECT_EQ(out.empty(), !row.hears) << "no echo either";
        // Back on the module's own settings it answers the next query only.
        sim.SetLine(row.model == Model::k640 ? 4800 : 1200, true);
        EXPECT_GT(Exchange(sim, "v\r").size(), 160u);  // the echo and the whole dump
    }
}

TEST(ModuleSim, DumpFaults) {
    struct Case {
        const char* name;
        Model model;
        std::function<void(SimOptions&)> fault;
        LinkResult result;
    };
    const std::vector<Case> cases = {
        {"none", Model::k640, [](SimOptions&) {}, kLinkOk},
        {"truncated to 100", Model::k612, [](SimOptions& o) { o.truncateDump = 100; },
         kLinkShortReply},
        {"truncated inside line 15", Model::k612, [](SimOptions& o) { o.truncateDump = 170; },
         kLinkMissingSeparator},
        {"separator after line 7 dropped", Model::k640,
         [](SimOptions& o) { o.dropSeparatorAfter = 7; }, kLinkMissingSeparator},
        {"leading separator dropped", Model::k612, [](SimOptions& o) { o.dropSeparatorAfter = 0; },
         kLinkMissingSeparator},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimOptions o = Fixed(c.model);
        c.fault(o);
        ModuleSim sim(o, kStart);
        const std::string out = Exchange(sim, "v\r");
        ModuleData612 d612;
        ModuleData640 d640;
        EXPECT_EQ(c.model == Model::k612 ? DecodeDump612(out, d612) : DecodeDump640(out, d640),
                  c.result);
    }
}

// Output is paced at 10 bits a character; a pause splits every answer in the middle.
TEST(ModuleSim, PacingAndPause) {
    struct Case {
        int baud;
        bool paced;
        int pauseMs;
        std::string query;
    };
    const std::vector<Case> cases = {
        {1200, true, 0, "v\r"},  {4800, true, 0, "v\r"},   {4800, true, 0, "f\r"},
        {1200, false, 0, "v\r"}, {4800, true, 150, "h\r"}, {1200, false, 400, "v\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.baud) + " baud, pause " + std::to_string(c.pauseMs) +
                     ", query " + c.query.substr(0, 1));
        SimOptions o = Fixed(Model::k640);
        o.paced = c.paced;
        o.pauseMs = c.pauseMs;
        ModuleSim sim(o, kStart);
        sim.SetBaud(c.baud);
        sim.Feed(c.query, kStart);
        // Collect byte arrival times by following NextEvent, as the front end does.
        std::string out;
        std::vector<Time> times;
        Time now = kStart;
        for (int guard = 0; guard < 10000; ++guard) {
            for (char ch : sim.TakeOutput(now)) {
                out += ch;
                times.push_back(now);
            }
            const auto next = sim.NextEvent();
            if (!next) {
                break;
            }
            now = std::max(now, *next);
        }
        ASSERT_GE(out.size(), 4u);
        const auto charTime =
            c.paced ? std::chrono::nanoseconds(10'000'000'000LL / c.baud) : ModuleSim::Duration{};
        const auto pause = milliseconds(c.pauseMs);
        // The reply (after the 2-byte echo) is split at its half.
        const std::size_t split = 2 + (out.size() - 2) / 2;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const auto want = kStart + charTime * static_cast<long>(i) +
                              (c.pauseMs > 0 && i >= split ? pause : ModuleSim::Duration{});
            ASSERT_LE(std::chrono::abs(times[i] - want), std::chrono::microseconds(1)) << i;
        }
        EXPECT_FALSE(sim.NextEvent());  // then idle: nothing to wake up for
    }
}

// The alarms on a fixed flow of 50, moved across the limits by rewriting the set points. Ticks
// fall at whole multiples of 0.262144 s from the start; a 5 s delay takes 20 ticks, 10 s 39.
struct AlarmStep {
    double at;                               // seconds from the start
    std::string feed;                        // commands received then
    std::optional<std::uint32_t> high, low;  // status words expected then
};

struct AlarmCase {
    const char* name;
    std::vector<AlarmStep> steps;
};

TEST(ModuleSim, Alarms) {
    const std::vector<AlarmCase> cases = {
        {"defaults: neither alarm", {{0, "", 0u, 0u}, {60, "", 0u, 0u}}},
        {"high set delay",
         {{0.1, "e=40.00000\r", 0u, 0u},
          {0.3, "", 0x00000001u, 0u},  // tick 1 sees the condition: delay runs
          {1.1, "", 0x03000001u, {}},
          {5.4, "", 0x13000001u, {}},    // tick 20: 19 ticks in
          {5.6, "", 0x00000100u, 0u}}},  // tick 21: activated
        {"high release delay",
         {{0.1, "e=40.00000\r", {}, {}},
          {5.6, "g=60.00000\r", 0x00000100u, {}},
          {5.8, "", 0x00000101u, {}},
          {15.8, "", 0x26000101u, {}},  // 38 ticks into the 39
          {16.1, "", 0u, {}}}},
        {"condition lapsing cancels the delay",
         {{0.1, "e=40.00000\r", {}, {}},
          {2.0, "e=120.0000\r", 0x06000001u, {}},
          {2.2, "", 0u, {}},
          {10, "", 0u, {}}}},
        {"latched alarm stays until its mode is written",
         {{0.1, "p=0002\re=40.00000\rg=60.00000\r", {}, {}},
          {5.6, "", 0x00000100u, {}},
          {100, "", 0x00000100u, {}},
          {100, "e=120.0000\rp=0002\r", 0u, {}},
          {200, "", 0u, {}}}},
        {"mode off clears and holds off",
         {{0.1, "e=40.00000\r", {}, {}},
          {5.6, "p=0000\r", 0u, {}},
          {60, "", 0u, {}},
          {60, "p=0001\r", {}, {}},
          {60.1, "", 0x00000001u, {}}}},
        {"zero delay sets on the first tick",
         {{0.1, "$=0000\re=40.00000\r", {}, {}}, {0.3, "", 0x00000100u, {}}}},
        {"low alarm",
         {{0.1, "j=60.00000\r", {}, 0u},
          {5.4, "", 0u, 0x13000001u},
          {5.6, "d=45.00000\r", 0u, 0x00000100u},
          {5.8, "", {}, 0x00000101u},
          {16.1, "", {}, 0u}}},
        {"the counter saturates at 255 ticks",
         {{0.1, "$=0100\re=40.00000\r", {}, {}}, {90, "", 0xFF000001u, {}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModuleSim sim(Fixed(Model::k640, 50), kStart);
        for (const AlarmStep& s : c.steps) {
            SCOPED_TRACE("at " + std::to_string(s.at) + " s");
            const std::string reply = Exchange(sim, s.feed + "h\rl\r", At(s.at));
            std::uint32_t high = 0, low = 0;
            ASSERT_EQ(DecodeStatusReply(reply, 'h', high), kLinkOk);
            ASSERT_EQ(DecodeStatusReply(reply, 'l', low), kLinkOk);
            if (s.high) {
                EXPECT_EQ(high, *s.high) << std::hex << high;
            }
            if (s.low) {
                EXPECT_EQ(low, *s.low) << std::hex << low;
            }
        }
    }
}

// The drifting 640 flow crosses the default limits, so over one 120 s cycle each alarm sets
// and releases once.
TEST(ModuleSim, DriftingFlowWorksBothAlarmsEveryCycle) {
    SimOptions o;
    o.model = Model::k640;
    o.paced = false;
    ModuleSim sim(o, kStart);
    double lowest = 1e9, highest = -1e9;
    int highChanges = 0, lowChanges = 0;
    bool highOn = false, lowOn = false, sawDelay = false;
    for (double t = 0; t < 120; t += 0.25) {
        const double flow = sim.FlowAt(At(t));
        lowest = std::min(lowest, flow);
        highest = std::max(highest, flow);
        const std::uint32_t h = sim.HighStatus(At(t)), l = sim.LowStatus(At(t));
        sawDelay = sawDelay || (h & 0xFF) || (l & 0xFF);
        highChanges += ((h & 0xFF00) != 0) != highOn;
        lowChanges += ((l & 0xFF00) != 0) != lowOn;
        highOn = (h & 0xFF00) != 0;
        lowOn = (l & 0xFF00) != 0;
    }
    EXPECT_LT(lowest, 5);
    EXPECT_GT(highest, 120);
    EXPECT_EQ(highChanges, 2);
    EXPECT_EQ(lowChanges, 2);
    EXPECT_TRUE(sawDelay);
}

TEST(ModuleSim, HangsUpAfterTheLastExchange) {
    struct Case {
        const char* name;
        std::string afterLast;  // what the program sends next
        double at;              // and when
        bool hungUp;
    };
    const std::vector<Case> cases = {
        {"stays up while the last reply may still be read", "", 0.2, false},
        {"hangs up once the line has been quiet", "", 0.31, true},
        {"hangs up at once on more input", "v\r", 0.05, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimOptions o = Fixed(Model::k640);
        o.hangupAfter = 2;
        ModuleSim sim(o, kStart);
        EXPECT_NE(Exchange(sim, "k=2.000000\rv\r"), "");  // a setting is no exchange
        EXPECT_EQ(Exchange(sim, "f\r"), "f\rf=" + EncodeModuleFloat(42.5) + "\r\n");
        EXPECT_FALSE(sim.HungUp());
        ASSERT_TRUE(sim.NextEvent());  // the front end must wake for the hang-up
        EXPECT_EQ(Exchange(sim, c.afterLast, At(c.at)), "");
        EXPECT_EQ(sim.HungUp(), c.hungUp);
    }
}

// Noise comes only on a line quiet for longer than the program's read, so it never mixes into
// an answer; input drops a burst still going out.
TEST(ModuleSim, NoiseOnlyOnAQuietLine) {
    SimOptions o = Fixed(Model::k640);
    o.noise = true;
    ModuleSim sim(o, kStart);
    int bursts = 0;
    Time now = kStart;
    for (int exchange = 0; exchange < 50; ++exchange) {
        EXPECT_EQ(Exchange(sim, "h\r", now), "h\rh=00000000\r\n");
        const Time quietFrom = now;
        for (auto next = sim.NextEvent(); next && *next < quietFrom + milliseconds(1500);
             next = sim.NextEvent()) {
            now = *next;
            const std::string noise = sim.TakeOutput(now);
            EXPECT_GE(now - quietFrom, ModuleSim::kQuiet);
            EXPECT_TRUE(noise.size() >= 1 && noise.size() <= 8) << noise.size();
            ++bursts;
        }
        now = quietFrom + milliseconds(1500);
    }
    EXPECT_GE(bursts, 50);

    // Paced at 1200 baud: take the first byte of a burst, then a query arrives.
    o.paced = true;
    ModuleSim paced(o, kStart);
    paced.SetBaud(1200);
    const Time first = *paced.NextEvent();
    EXPECT_EQ(paced.TakeOutput(first).size(), 1u);
    ASSERT_LT(*paced.NextEvent(), first + milliseconds(10));  // more of the burst to come
    paced.Feed("h\r", first + milliseconds(5));
    EXPECT_EQ(paced.TakeOutput(first + milliseconds(5 + 134)), "h\rh=00000000\r\n");
}

// No byte sequence may crash the module or wedge it: afterwards it still answers.
TEST(ModuleSim, SurvivesArbitraryInput) {
    std::mt19937 rng(12345);
    const std::vector<std::string> fragments = {"v\r", "f\r",  "h\r",   "l\r", "u=",  "d=",
                                                "p=",  "$=",   "s=",    "k=",  "=",   "\r",
                                                "-",   "9999", "1e308", "nan", "0.5", "\n"};
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        SimOptions o;
        o.model = round % 2 ? Model::k612 : Model::k640;
        o.paced = round % 3 == 0;
        o.noise = round % 4 == 0;
        o.pauseMs = round % 5 == 0 ? 30 : 0;
        ModuleSim sim(o, kStart);
        sim.SetBaud(round % 2 ? 1200 : 4800);
        Time now = kStart;
        for (int i = 0; i < 2000; ++i) {
            std::string chunk;
            if (rng() % 3 == 0) {
                chunk = fragments[rng() % fragments.size()];
            } else {
                chunk.resize(rng() % 16);
                for (char& ch : chunk) {
                    ch = static_cast<char>(rng() % 256);
                }
            }
            now += milliseconds(rng() % 50);
            sim.Feed(chunk, now);
            sim.TakeOutput(now);
        }
        // More than a line's worth with no CR: dropped whole, the next command still works.
        sim.Feed(std::string(100000, 'x') + "\r", now);
        now += std::chrono::seconds(5);  // a flood holds the line up only briefly
        sim.TakeOutput(now);
        sim.Feed("v\r", now);
        now += std::chrono::seconds(5);
        const std::string out = sim.TakeOutput(now);
        ASSERT_EQ(out.substr(0, 2), "v\r");
        ModuleData612 d612;
        ModuleData640 d640;
        EXPECT_EQ(o.model == Model::k612 ? DecodeDump612(out, d612) : DecodeDump640(out, d640),
                  kLinkOk);
    }
}

}  // namespace
