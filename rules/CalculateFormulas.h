#pragma once
// K and offset of an insertion sensor from a pipe's inside diameter: the sums behind the
// calculator dialog (CCalculateDlg), without widgets, so the command-line companion gets the
// same numbers and messages.

#include <cstddef>
#include <string>
#include <string_view>

// Positions of the calculator's unit list 1037.
inline constexpr int kDiameterInches = 0;
inline constexpr int kDiameterMillimeters = 1;

// What a press of "Calculate" comes to. ok: K and offset hold the result and the dialog ends
// with OK. Otherwise the dialog ends with Cancel after showing `message` with `caption` (OK
// button only); K and offset are then 0 and must not be taken over. A diameter that is not a
// number at all (NaN) fails every range check and ends the dialog with no message.
struct CalcResult {
    bool ok = false;
    double k = 0;
    double offset = 0;
    std::string message;
    std::string caption;
};

// The C library's text-to-double conversion, always with "." as decimal point whatever the
// locale: at most `maxChars` characters are read (the edit buffers hold 31 or 127 and a
// terminator), leading white space is skipped, the longest numeric prefix is taken (sign,
// digits, point, exponent, "0x" hex, inf, nan), and text without one gives 0.0.
double TextToDouble(std::string_view text, std::size_t maxChars);

// The diameter as the dialog reads it: the first 31 characters of edit 1046, converted;
// unit index 1 (Millimeters) multiplied by 0.03937007874015748, any other index taken as
// inches.
double DiameterInches(std::string_view text, int unitIndex);

// The range checks of the dialog and the formulas, for a diameter in inches:
//   below 3.0           "Please use a Tee-Type sensor for this size pipe."        "Error"
//   above 59.0          "K and offset values can not be calculated for this ..."   "Error"
//   K below 4.3         "This Pipe ID is incorrect please consult manual."       "Pipe Error"
// K by the first of six quadratic pieces whose range (closed at its top) holds the diameter,
// offset by the first of three linear pieces that holds K. The pieces do not meet at their
// joints (14.309 at 5.0 inches, 14.369 just above); they are followed as they stand.
CalcResult ComputeKAndOffset(double inches);

// One press of "Calculate": DiameterInches, then ComputeKAndOffset.
CalcResult CalculateFromEntry(std::string_view text, int unitIndex);
