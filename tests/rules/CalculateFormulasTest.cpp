#include "rules/CalculateFormulas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

enum class Outcome { Ok, TeeType, TooLarge, PipeError, Silent };

const char* const kTeeType = "Please use a Tee-Type sensor for this size pipe.";
const char* const kTooLarge = "K and offset values can not be calculated for this size pipe.";
const char* const kPipeError = "This Pipe ID is incorrect please consult manual.";

void ExpectOutcome(const CalcResult& r, Outcome outcome, double k, double offset, double tol) {
    switch (outcome) {
        case Outcome::Ok:
            EXPECT_TRUE(r.ok);
            EXPECT_NEAR(r.k, k, tol);
            EXPECT_NEAR(r.offset, offset, tol);
            EXPECT_EQ(r.message, "");
            return;
        case Outcome::TeeType:
            EXPECT_EQ(r.message, kTeeType);
            EXPECT_EQ(r.caption, "Error");
            break;
        case Outcome::TooLarge:
            EXPECT_EQ(r.message, kTooLarge);
            EXPECT_EQ(r.caption, "Error");
            break;
        case Outcome::PipeError:
            EXPECT_EQ(r.message, kPipeError);
            EXPECT_EQ(r.caption, "Pipe Error");
            break;
        case Outcome::Silent:
            EXPECT_EQ(r.message, "");
            break;
    }
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.k, 0.0);
    EXPECT_EQ(r.offset, 0.0);
}

constexpr int kIn = kDiameterInches;
constexpr int kMm = kDiameterMillimeters;

TEST(Calculator, EntryTable) {
    struct Row {
        int line;
        std::string text;
        int unit;
        Outcome outcome;
        double k, offset, tol;
    } rows[] = {
        {__LINE__, "", kIn, Outcome::TeeType, 0, 0, 0},
        {__LINE__, "", kMm, Outcome::TeeType, 0, 0, 0},
        {__LINE__, "2", kIn, Outcome::TeeType, 0, 0, 0},
        {__LINE__, "3", kIn, Outcome::PipeError, 0, 0, 0},  // K 4.151
        {__LINE__, "4", kIn, Outcome::Ok, 8.207, 0.2232319, 1e-9},
        {__LINE__, "8", kIn, Outcome::Ok, 40.291, 0.28158703, 1e-9},
        {__LINE__, "20", kIn, Outcome::Ok, 266.334, 0.58222422, 1e-9},
        {__LINE__, "59", kIn, Outcome::Ok, 2471.51, 2.1834872, 1e-9},
        {__LINE__, "60", kIn, Outcome::TooLarge, 0, 0, 0},
        {__LINE__, "76", kMm, Outcome::TeeType, 0, 0, 0},    // 2.992 inches
        {__LINE__, "77", kMm, Outcome::PipeError, 0, 0, 0},  // 3.031 inches
        {__LINE__, "78", kMm, Outcome::Ok, 4.371075, 0.063274, 1e-6},
        {__LINE__, "100", kMm, Outcome::Ok, 7.891122, 0.210060, 1e-6},
        {__LINE__, "1498", kMm, Outcome::Ok, 2469.5313, 2.182063, 1e-4},
        {__LINE__, "1499", kMm, Outcome::TooLarge, 0, 0, 0},  // 59.016 inches
        {__LINE__, "100", kIn, Outcome::TooLarge, 0, 0, 0},   // the unit is taken as chosen
        // Beyond the dialog's digits-only edit (pasted text, the command line):
        // 12.5 in: K = 156.25 * 0.82 - 66.4 + 44.574 = 106.299, offset 0.00133 K + 0.228.
        {__LINE__, "  12.5abc", kIn, Outcome::Ok, 106.299, 0.36937767, 1e-9},
        {__LINE__, "abc", kIn, Outcome::TeeType, 0, 0, 0},
        {__LINE__, std::string(31, '0') + "4", kIn, Outcome::TeeType, 0, 0, 0},  // cut at 31
        {__LINE__, std::string(30, '0') + "4", kIn, Outcome::Ok, 8.207, 0.2232319, 1e-9},
        {__LINE__, "4", 7, Outcome::Ok, 8.207, 0.2232319, 1e-9},  // unknown index: inches
        {__LINE__, "1e999", kIn, Outcome::TooLarge, 0, 0, 0},
        {__LINE__, "nan", kIn, Outcome::Silent, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ExpectOutcome(CalculateFromEntry(row.text, row.unit), row.outcome, row.k, row.offset,
                      row.tol);
    }
}

// Each K piece is closed at its upper end, and the pieces do not meet. The offset follows K
// with joints at 8.622 and 266.7; the rows at 4.08/4.081 and 20.01/20.02 inches straddle them.
// Expected values worked out apart from the code, with Python 3 doubles:
//   def k(d):
//       for hi, a, b, c in ((5.0, 1.023, -3.105, 4.259), (6.1, 0.262, 3.866, -11.511),
//                           (10.14, 0.584, 1.477, -8.901), (12.25, 1.409, -14.26, 65.8),
//                           (36.0, 0.82, -5.312, 44.574), (59.4576, 0.71, 0, 0)):
//           if d <= hi:
//               return d * d * a + b * d + c
//   def offset(k):
//       if k <= 8.622: return 0.0417 * k - 0.119
//       if k <= 266.7: return 0.00133 * k + 0.228
//       return 0.00072 * k + 0.404
//   print(f"{k(d):.12g} {offset(k(d)):.12g}")  # d = math.nextafter(5.0, 6.0) and so on
TEST(Calculator, PieceJoints) {
    struct Row {
        int line;
        double inches;
        Outcome outcome;
        double k, offset;
    } rows[] = {
        {__LINE__, std::nextafter(3.0, 0.0), Outcome::TeeType, 0, 0},
        {__LINE__, 3.0, Outcome::PipeError, 0, 0},
        {__LINE__, 3.05, Outcome::Ok, 4.3052075, 0.06052715275},
        {__LINE__, 4.08, Outcome::Ok, 8.6198672, 0.24044846224},      // K just below 8.622
        {__LINE__, 4.081, Outcome::Ok, 8.625110903, 0.239471397501},  // and just above
        {__LINE__, 5.0, Outcome::Ok, 14.309, 0.24703097},
        {__LINE__, std::nextafter(5.0, 6.0), Outcome::Ok, 14.369, 0.24711077},
        {__LINE__, 6.1, Outcome::Ok, 21.82062, 0.2570214246},
        {__LINE__, 10.14, Outcome::Ok, 66.1224264, 0.315942827112},
        {__LINE__, 12.25, Outcome::Ok, 102.5530625, 0.364395573125},
        {__LINE__, 20.01, Outcome::Ok, 266.608962, 0.58258991946},  // K just below 266.7
        {__LINE__, 20.02, Outcome::Ok, 266.884088, 0.59615654336},  // and just above
        {__LINE__, 36.0, Outcome::Ok, 916.062, 1.06356464},
        {__LINE__, std::nextafter(36.0, 37.0), Outcome::Ok, 920.16, 1.0665152},
        {__LINE__, 59.0, Outcome::Ok, 2471.51, 2.1834872},
        {__LINE__, std::nextafter(59.0, 60.0), Outcome::TooLarge, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ExpectOutcome(ComputeKAndOffset(row.inches), row.outcome, row.k, row.offset, 1e-9);
    }
}

TEST(TextToDouble, ReadsLikeTheCLibraryInTheCLocale) {
    struct Row {
        int line;
        const char* text;
        std::size_t maxChars;
        double value;
    } rows[] = {
        {__LINE__, "", 31, 0.0},           {__LINE__, "abc", 31, 0.0},
        {__LINE__, " \t 7", 31, 7.0},      {__LINE__, "-1.5", 31, -1.5},
        {__LINE__, "+2", 31, 2.0},         {__LINE__, "+-2", 31, 0.0},
        {__LINE__, "--2", 31, 0.0},        {__LINE__, ".5", 31, 0.5},
        {__LINE__, "1,5", 31, 1.0},        {__LINE__, "1e3", 31, 1000.0},
        {__LINE__, "1e", 31, 1.0},         {__LINE__, "2.5e-1x", 31, 0.25},
        {__LINE__, "0x10", 31, 16.0},      {__LINE__, "-0x1p-2", 31, -0.25},
        {__LINE__, "0x", 31, 0.0},         {__LINE__, "1234567", 3, 123.0},
        {__LINE__, "1e999", 31, HUGE_VAL}, {__LINE__, "-1e999", 31, -HUGE_VAL},
        {__LINE__, "1e-999", 31, 0.0},     {__LINE__, "0.000001e-400", 31, 0.0},
        {__LINE__, "inf", 31, HUGE_VAL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(TextToDouble(row.text, row.maxChars), row.value);
    }
    EXPECT_TRUE(std::isnan(TextToDouble("nan", 31)));
}

}  // namespace
