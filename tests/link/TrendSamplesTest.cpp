// The flow trend without widgets: the ring of samples, what a span of them shows (runs, gaps,
// alarm bands), the CSV text and the log file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/TrendSamples.h"

namespace {

using trend::TrendSample;
using trend::TrendSamples;
using trend::TrendView;

constexpr std::int64_t kT0 = 1'796'720'556'000;  // 2026-12-08T09:02:36Z

// "r" a reading, "g" a failed read, "H"/"L"/"B" a reading with the high, low or both alarms
// activated, "-" a reading with the alarms read and quiet; one letter every `stepMs`; a space
// is a poll that never came.
TrendSamples Samples(const std::string& pattern, std::int64_t stepMs = 3000) {
    TrendSamples samples;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == ' ') {
            continue;
        }
        TrendSample s;
        s.timeMs = kT0 + static_cast<std::int64_t>(i) * stepMs;
        s.gap = c == 'g';
        s.flow = static_cast<double>(i);
        if (c != 'r' && c != 'g') {
            s.highActivated = (c == 'H' || c == 'B') ? 1 : 0;
            s.lowActivated = (c == 'L' || c == 'B') ? 1 : 0;
        }
        samples.Add(s);
    }
    return samples;
}

TEST(TrendSamples, RingWrapsAndFindsTheSpan) {
    struct Row {
        const char* line;
        std::size_t capacity;
        int adds;
        std::int64_t from;      // FirstFrom(kT0 + from)
        std::size_t firstTime;  // seconds of sample 0
        std::size_t found;
    };
    const Row rows[] = {
        {"not full", 8, 5, 3000, 0, 3},
        {"full, oldest gone", 4, 6, 0, 2, 0},
        {"span start across the wrap", 4, 7, 4500, 3, 2},
        {"span starting after the newest", 4, 7, 60000, 3, 4},
        {"24 hours of polls", trend::kRingCapacity, 28800 + 10, 0, 10, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        TrendSamples samples(r.capacity);
        for (int i = 0; i < r.adds; ++i) {
            samples.Add({.timeMs = kT0 + i * 1000LL, .flow = double(i)});
        }
        EXPECT_EQ(samples.size(), std::min<std::size_t>(r.capacity, r.adds));
        EXPECT_EQ(samples[0].timeMs, kT0 + static_cast<std::int64_t>(r.firstTime) * 1000);
        EXPECT_EQ(samples[samples.size() - 1].flow, r.adds - 1);
        EXPECT_EQ(samples.FirstFrom(kT0 + r.from), r.found);
    }
    EXPECT_EQ(trend::kRingCapacity, 28800u);
}

TEST(TrendSamples, ViewRunsGapsAndAlarmBands) {
    using Runs = std::vector<TrendView::Run>;
    using Bands = std::vector<TrendView::Band>;
    auto band = [](double fromS, double toS) {
        return TrendView::Band{kT0 + std::int64_t(fromS * 1000), kT0 + std::int64_t(toS * 1000)};
    };
    struct Row {
        const char* line;
        std::string pattern;
        std::int64_t fromS, toS;  // the span, seconds after kT0
        Runs runs;
        Bands high, low;
    };
    const Row rows[] = {
        {"one line", "rrrr", 0, 60, {{0, 3}}, {}, {}},
        {"a failed poll breaks it", "rrgrr", 0, 60, {{0, 1}, {3, 4}}, {}, {}},
        {"one missed poll still joins", "rr rr", 0, 60, {{0, 3}}, {}, {}},
        {"two missed polls break it", "rr  rr", 0, 60, {{0, 1}, {2, 3}}, {}, {}},
        {"a lone reading is a run of one", "rg  r", 0, 60, {{0, 0}, {2, 2}}, {}, {}},
        {"the reading before the span leads in", "rrrrr", 7, 60, {{2, 4}}, {}, {}},
        {"not after a gap before the span", "rgrr", 4, 60, {{2, 3}}, {}, {}},
        {"readings after the span are left out", "rrrrr", 0, 6, {{0, 2}}, {}, {}},
        {"high until the next reading", "-HH-", 0, 60, {{0, 3}}, {band(3, 9)}, {}},
        {"both, the last one lasts a poll", "-LB", 0, 60, {{0, 2}}, {band(6, 9)}, {band(3, 9)}},
        {"... not past the span", "-H", 0, 4, {{0, 1}}, {band(3, 4)}, {}},
        {"a band ends at a gap", "HHg-H", 0, 60, {{0, 1}, {3, 4}}, {band(0, 6), band(12, 15)}, {}},
        {"... and at missed polls",
         "HH  H",
         0,
         60,
         {{0, 1}, {2, 2}},
         {band(0, 6), band(12, 15)},
         {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        const TrendSamples samples = Samples(r.pattern);
        const TrendView view = trend::BuildView(samples, kT0 + r.fromS * 1000, kT0 + r.toS * 1000);
        EXPECT_EQ(view.runs, r.runs);
        EXPECT_EQ(view.highBands, r.high);
        EXPECT_EQ(view.lowBands, r.low);
    }
    const TrendView flow = trend::BuildView(Samples("rgrrr"), kT0 + 4000, kT0 + 9000);
    EXPECT_TRUE(flow.hasReadings);
    EXPECT_EQ(flow.minFlow, 2);
    EXPECT_EQ(flow.maxFlow, 3) << "only the readings inside the span set the scale";
    EXPECT_FALSE(trend::BuildView(Samples("rg"), kT0 + 1000, kT0 + 9000).hasReadings);

    // A change of unit after sample 2: two traces, and with the newest unit only its own
    // readings are drawn and set the scale.
    TrendSamples units;
    for (int i = 0; i < 5; ++i) {
        units.Add({.timeMs = kT0 + i * 3000LL,
                   .flow = i * 10.0,
                   .unit = static_cast<std::uint16_t>(i < 3 ? 0 : 1)});
    }
    const TrendView both = trend::BuildView(units, kT0, kT0 + 12000);
    EXPECT_EQ(both.runs, (std::vector<TrendView::Run>{{0, 2}, {3, 4}}));
    const TrendView newest = trend::BuildView(units, kT0, kT0 + 12000, trend::kMaxGapMs, 1);
    EXPECT_EQ(newest.runs, (std::vector<TrendView::Run>{{3, 4}}));
    EXPECT_EQ(newest.minFlow, 30);
    EXPECT_EQ(newest.maxFlow, 40);
}

int Utc(std::int64_t) {
    return 0;
}
int Kolkata(std::int64_t) {
    return 5 * 3600 + 1800;
}
int Vancouver(std::int64_t) {
    return -8 * 3600;
}

TEST(TrendCsv, HeaderRowsAndLocalTimeOfBothModels) {
    struct Row {
        const char* line;
        Model model;
        std::string pattern;
        UtcOffsetFunction offset;
        std::string unit;
        std::string expected;
    };
    const Row rows[] = {
        {"612, a gap has no row", Model::k612, "rgr", Utc, "mph",
         "time,flowRate,unit\r\n"
         "2026-12-08T09:02:36.000Z,0,mph\r\n"
         "2026-12-08T09:02:42.000Z,2,mph\r\n"},
        {"640, flags not read are empty", Model::k640, "rHBL-", Kolkata, "gpm",
         "time,flowRate,unit,highActivated,lowActivated\r\n"
         "2026-12-08T14:32:36.000+05:30,0,gpm,,\r\n"
         "2026-12-08T14:32:39.000+05:30,1,gpm,1,0\r\n"
         "2026-12-08T14:32:42.000+05:30,2,gpm,1,1\r\n"
         "2026-12-08T14:32:45.000+05:30,3,gpm,0,1\r\n"
         "2026-12-08T14:32:48.000+05:30,4,gpm,0,0\r\n"},
        {"the day before, a unit with a comma", Model::k612, "r", Vancouver, "m3/h, \"net\"",
         "time,flowRate,unit\r\n"
         "2026-12-08T01:02:36.000-08:00,0,\"m3/h, \"\"net\"\"\"\r\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        TrendSamples samples = Samples(r.pattern);
        const std::uint16_t unit = samples.UnitIndex(r.unit);
        ASSERT_EQ(unit, 0);
        EXPECT_EQ(trend::CsvText(samples, 0, r.model, r.offset), r.expected);
    }
    // Milliseconds; the date follows the offset, also across the year and before 1970.
    EXPECT_EQ(IsoLocalTime(1'798'761'599'999, 0), "2026-12-31T23:59:59.999Z");
    EXPECT_EQ(IsoLocalTime(1'798'761'599'999, 3600), "2027-01-01T00:59:59.999+01:00");
    EXPECT_EQ(IsoLocalTime(-3'600'001, -1800), "1969-12-31T22:29:59.999-00:30");
    TrendSample odd{.timeMs = kT0, .flow = 1234.5678};
    EXPECT_EQ(trend::CsvRow(odd, "gpm", Model::k612, Utc),
              "2026-12-08T09:02:36.000Z,1234.5678,gpm\r\n");
    odd.flow = -0.1;
    EXPECT_EQ(trend::CsvRow(odd, "gpm", Model::k612, Utc), "2026-12-08T09:02:36.000Z,-0.1,gpm\r\n");
    odd.flow = 108.61243f;  // as the module sends it: a float, in its shortest text
    EXPECT_EQ(trend::CsvRow(odd, "gpm", Model::k612, Utc),
              "2026-12-08T09:02:36.000Z,108.61243,gpm\r\n");
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TrendCsv, LogWritesTheHeaderOnlyIntoAnEmptyFile) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("fernwell-trend-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    struct Row {
        const char* line;
        const char* before;  // nullptr: no file
        std::string expected;
        const char* refused = nullptr;  // Open fails, saying this; the file stays as it was
    };
    const std::string header = trend::CsvHeader(Model::k612);
    const Row rows[] = {
        {"new file", nullptr, header + "row\r\n"},
        {"empty file", "", header + "row\r\n"},
        {"a log already", "time,flowRate,unit\r\nold\r\n", "time,flowRate,unit\r\nold\r\nrow\r\n"},
        {"a cut last row", "time,flowRate,unit\r\n2026-12",
         "time,flowRate,unit\r\n2026-12\r\nrow\r\n"},
        {"an older log of LF lines keeps them", "time,flowRate,unit\nold\n",
         "time,flowRate,unit\nold\nrow\n"},
        {"a 640's log", "time,flowRate,unit,highActivated,lowActivated\r\n",
         "time,flowRate,unit,highActivated,lowActivated\r\n",
         "it begins with \"time,flowRate,unit,highActivated,lowActivated\", not this window's "
         "header "
         "\"time,flowRate,unit\""},
    };
    int n = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        const std::filesystem::path path = dir / ("log" + std::to_string(++n) + ".csv");
        if (r.before) {
            std::ofstream(path, std::ios::binary) << r.before;
        }
        trend::CsvLog log;
        std::string error;
        if (r.refused) {
            EXPECT_FALSE(log.Open(path, Model::k612, &error));
            EXPECT_EQ(error, r.refused);
            EXPECT_EQ(FileText(path), r.expected);
            continue;
        }
        ASSERT_TRUE(log.Open(path, Model::k612, &error)) << error;
        EXPECT_TRUE(log.Append("row\r\n", &error)) << error;
        log.Close();
        EXPECT_EQ(FileText(path), r.expected);
    }
    std::string error;
    EXPECT_FALSE(trend::WriteTextFile(dir / "no-such-dir" / "x.csv", "x", &error));
    EXPECT_EQ(error, "No such file or directory");
    std::filesystem::remove_all(dir);

    if (std::filesystem::exists("/dev/full")) {
        trend::CsvLog full;
        EXPECT_FALSE(full.Open("/dev/full", Model::k640, &error)) << "the header cannot be written";
        EXPECT_EQ(error, "No space left on device");
        EXPECT_FALSE(full.IsOpen());
        EXPECT_FALSE(trend::WriteTextFile("/dev/full", "x", &error));
        EXPECT_EQ(error, "No space left on device");
    }
}

}  // namespace
