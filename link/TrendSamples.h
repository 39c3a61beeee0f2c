#pragma once
// The flow trend without widgets: the samples the program has read, held in a ring of a fixed
// size (24 hours at the main window's poll rate, so memory stays flat however long it runs),
// what a plot of a span of them shows (the runs of connected readings and the times an alarm
// was activated), and the CSV text of the samples, for "Save CSV..." and "Log to file...".
//
// Times are milliseconds since the epoch (UTC). The CSV is the program's one log format
// (FlowCsv.h).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "link/FlowCsv.h"
#include "link/Poll.h"  // kPollIntervalMs
#include "serial/LogFile.h"

namespace trend {

// 24 hours of polls: 28,800 samples.
constexpr std::size_t kRingCapacity = 24 * 3600 * 1000 / kPollIntervalMs;
// Two readings further apart than this are not joined by a line: at least one poll in
// between was missed (Auto Update off, the port gone, a poll still running). About two poll
// periods, with room for a late tick.
constexpr std::int64_t kMaxGapMs = 2 * kPollIntervalMs + 1000;

// A 640's alarm as a sample knows it: -1 when the status word was not read.
constexpr std::int8_t kUnknown = flowcsv::kUnknown;

struct TrendSample {
    std::int64_t timeMs = 0;
    bool gap = false;  // a read that failed: no flow, and the line breaks here
    double flow = 0;
    std::int8_t highActivated = kUnknown;  // 640: 1 while the alarm is activated, 0 when not
    std::int8_t lowActivated = kUnknown;
    std::uint16_t unit = 0;  // TrendSamples::Unit
};

class TrendSamples {
public:
    explicit TrendSamples(std::size_t capacity = kRingCapacity);

    // Appends `sample`; when the ring is full the oldest sample goes.
    void Add(const TrendSample& sample);
    void Clear();
    std::size_t size() const { return count_; }
    std::size_t capacity() const { return ring_.size(); }
    // Oldest first.
    const TrendSample& operator[](std::size_t i) const;
    // The first sample at or after `timeMs` (size() when there is none). Samples are added in
    // time order, so this is a binary search.
    std::size_t FirstFrom(std::int64_t timeMs) const;

    // Unit names are held once; a sample keeps the index.
    std::uint16_t UnitIndex(const std::string& unit);
    const std::string& Unit(std::uint16_t index) const;

private:
    std::vector<TrendSample> ring_;
    std::size_t start_ = 0;
    std::size_t count_ = 0;
    std::vector<std::string> units_;
};

// Whether a plot joins reading `a` to the next sample `b`.
bool Connected(const TrendSample& a, const TrendSample& b, std::int64_t maxGapMs = kMaxGapMs);

// What a plot of the samples from `fromMs` to `toMs` shows, before it is put on pixels.
struct TrendView {
    struct Run {
        std::size_t first = 0;  // sample indexes, both included
        std::size_t last = 0;
        bool operator==(const Run&) const = default;
    };
    struct Band {
        std::int64_t fromMs = 0;
        std::int64_t toMs = 0;
        bool operator==(const Band&) const = default;
    };
    std::vector<Run> runs;        // connected readings; a run of one is a lone dot
    std::vector<Band> highBands;  // the high alarm was activated
    std::vector<Band> lowBands;
    bool hasReadings = false;
    double minFlow = 0;
    double maxFlow = 0;
};

// A reading's alarm state lasts until the next connected sample; that of the last reading of
// a run lasts one poll period (not past `toMs`). Readings in two units are never joined; with
// `unit` only the readings in that unit are drawn and scale the axis: after a change of unit
// the plot starts a new trace in the new unit, and the earlier readings are not shown on an
// axis that is not theirs.
TrendView BuildView(const TrendSamples& samples, std::int64_t fromMs, std::int64_t toMs,
                    std::int64_t maxGapMs = kMaxGapMs,
                    std::optional<std::uint16_t> unit = std::nullopt);

// One read of the flow as a window hands it to the trend: the main window's poll, the alarm
// status window's dump and its status refresh.
struct FlowReading {
    bool ok = false;  // false: the read failed, a gap
    double flow = 0;
    std::optional<int> sensorCode;      // when the dump was read
    std::optional<AlarmPoints> points;  // a 640's dump
    std::int8_t highActivated = kUnknown;
    std::int8_t lowActivated = kUnknown;
};

// Bits 15 to 8 of a 640's status word: the alarm is activated.
std::int8_t ActivatedFlag(std::uint32_t statusWord);
// What a poll read: no flow when its dump failed, the alarm states of the status words that
// came back.
FlowReading FlowReadingOf(const PollReading& poll);

// --- CSV -----------------------------------------------------------------------------------

// The log's header (FlowCsv.h) and its line end.
std::string CsvHeader(Model model);
// One reading; an alarm state not read is an empty field. A gap sample has no row (empty).
std::string CsvRow(const TrendSample& sample, const std::string& unit, Model model,
                   UtcOffsetFunction offset = LocalUtcOffsetSeconds);
// The header and a row for each reading from sample `first` on.
std::string CsvText(const TrendSamples& samples, std::size_t first, Model model,
                    UtcOffsetFunction offset = LocalUtcOffsetSeconds);

// Writes `text` to `path`, replacing the file. False with `error` set when it cannot.
bool WriteTextFile(const std::filesystem::path& path, const std::string& text, std::string* error);

// A CSV file that each new reading is appended to: the header when the file is new or empty,
// a row whole or not at all, never onto a cut row, never into a file of other columns (see
// LogFile).
class CsvLog {
public:
    // Opens `path` for appending. False with `error` set when it cannot, or when the file
    // begins with another header than this model's.
    bool Open(const std::filesystem::path& path, Model model, std::string* error);
    // Appends one row (a CsvRow; its line end may be given or not).
    bool Append(const std::string& row, std::string* error);
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    Model model() const { return model_; }
    const std::filesystem::path& path() const { return path_; }

private:
    LogFile file_;
    std::filesystem::path path_;
    Model model_ = Model::kNone;
};

}  // namespace trend
