#pragma once
// The write commands of a configuration upload, one fixed sequence per model. Every command
// is plain ASCII ending in CR; SendConfig sends them one byte at a time.
//
// Number command: letter, "=", the value with six decimals ("%0.6f", always a "." whatever
// the locale), the whole cut to 10 characters, then CR:
//   1.6965 -> "k=1.696500\r"   -0.059 -> "o=-0.05900\r"   120.0 -> "e=120.0000\r"
// Code command: letter, "=", at least four digits, CR: "p=0001\r" ("%0.4d"), "u=0251\r"
// ("%0.4x", lower-case hex), "$=-0005\r".

#include <string>
#include <vector>

#include "protocol/ModuleData.h"

// printf's "%0.<decimals>f" with a "." whatever the locale: Qt switches the C library to the
// user's locale at start-up, under which printf would write "1,696500".
std::string FormatFixed(double value, int decimals);

// The shortest decimal text that reads back as the 32-bit float `value` holds ("108.61243",
// never "108.6124267578125"): the module sends its numbers as floats, and logs write them so.
// A value that is no float's is written in the shortest text of the double.
std::string FloatText(double value);

// "<letter>=%0.6f" cut to 10 characters, plus CR.
std::string NumberCommand(char letter, double value);
// "<letter>=%0.4d\r" and "<letter>=%0.4x\r".
std::string DecimalCodeCommand(char letter, int value);
std::string HexCodeCommand(char letter, int value);

// 612: d= (PulseUnitCode, hex), o=, k=, x=, w=, s=0000, u= (SensorCode, decimal).
std::vector<std::string> ConfigCommands612(const ModuleData612& data);
// 640: o=, k=, u= (SensorCode, hex), the s= commands of variantChar, n=, m=, e=, g=, j=, d=,
// p=, q=, $=, #=, %=, &= (the last six decimal).
std::vector<std::string> ConfigCommands640(const ModuleData640& data);
// The 640's "s=" commands by the variant character of dump line 4: '4' -> s=0002;
// 'p' -> s=0000, s=0001, s=0002; 's' -> s=0001, s=0002; anything else -> none.
std::vector<std::string> VariantCommands640(char variantChar);

// Characters in all, i.e. port writes (and 50 ms pauses) of an upload.
int CommandBytes(const std::vector<std::string>& commands);

// Whether a number command carries `value` after the cut to 10 characters: the sign and
// integer digits must fit in 8 characters ("e=12345678\r" still does, "e=123456789.000000"
// is sent as "e=12345678\r"), and what is left may be at most 0.5 % away from the value
// (K = 1e-7 would go out as "k=0.000000"). NaN and infinities never fit.
bool FitsNumberCommand(double value);
// The number the module receives for `value`: the text of its number command, cut.
double SentNumber(double value);
// The largest and smallest six-decimal values that fit: 99999999.999999 and -9999999.999999.
double LargestSendableValue();
double SmallestSendableValue();
