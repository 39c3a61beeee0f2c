#include "rules/CalculateFormulas.h"

#include "texts/Strings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// from_chars leaves the value alone when it is out of double's range, where strtod gives
// HUGE_VAL on overflow and 0 on underflow. Tell the two apart by the rough decimal exponent
// of the matched text: integer digits after the leading zeros, less the zeros after the
// point, plus the exponent. Far out of range either way, so rough is enough.
double OutOfRange(std::string_view number) {
    long magnitude = 0;
    bool seenPoint = false;
    bool seenSignificant = false;
    std::size_t i = 0;
    for (; i < number.size() && (IsDigit(number[i]) || number[i] == '.'); ++i) {
        const char c = number[i];
        if (c == '.') {
            seenPoint = true;
        } else if (c != '0') {
            seenSignificant = true;
        }
        if (IsDigit(c)) {
            if (seenSignificant && !seenPoint) {
                ++magnitude;
            } else if (!seenSignificant && seenPoint) {
                --magnitude;
            }
        }
    }
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        const long exponent = std::strtol(std::string(number.substr(i + 1)).c_str(), nullptr, 10);
        magnitude += std::clamp(exponent, -100000L, 100000L);
    }
    return magnitude > 0 ? HUGE_VAL : 0.0;
}

double HexOutOfRange(std::string_view number) {
    const std::size_t p = number.find_first_of("pP");
    const bool negativeExponent =
        p != std::string_view::npos && p + 1 < number.size() && number[p + 1] == '-';
    return negativeExponent ? 0.0 : HUGE_VAL;
}

}  // namespace

double TextToDouble(std::string_view text, std::size_t maxChars) {
    text = text.substr(0, maxChars);
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string_view rest = text.substr(i);
    // from_chars takes a minus of its own; after our sign that would be a second one.
    if (rest.empty() || rest[0] == '-') {
        return 0.0;
    }
    double value = 0.0;
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') && rest[2] != '-') {
        const std::string_view hex = rest.substr(2);
        const auto [end, ec] =
            std::from_chars(hex.data(), hex.data() + hex.size(), value, std::chars_format::hex);
        if (ec == std::errc::result_out_of_range) {
            value = HexOutOfRange(hex.substr(0, end - hex.data()));
        } else if (ec != std::errc()) {
            value = 0.0;  // "0x" without hex digits: strtod takes the "0"
        }
        return negative ? -value : value;
    }
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (ec == std::errc::result_out_of_range) {
        value = OutOfRange(rest.substr(0, end - rest.data()));
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

double DiameterInches(std::string_view text, int unitIndex) {
    double d = TextToDouble(text, 31);
    if (unitIndex == kDiameterMillimeters) {
        d *= 0.03937007874015748;  // the double nearest 1/25.4
    }
    return d;
}

CalcResult ComputeKAndOffset(double d) {
    CalcResult result;
    // The two range checks are independent in the dialog; a diameter can only fail one.
    if (d < 3.0) {
        result.message = res::kUseTeeSensor;
        result.caption = res::kCalculatorCaption;
        return result;
    }
    if (d > 59.0) {
        result.message = res::kPipeTooLarge;
        result.caption = res::kCalculatorCaption;
        return result;
    }
    if (!(d >= 3.0 && d <= 59.0)) {
        return result;  // NaN
    }

    // Each piece as (D*D)*a, then the D term, then the constant, left to right.
    double k = 0.0;
    if (d <= 5.0) {
        k = d * d * 1.023 - 3.105 * d + 4.259;
    } else if (d <= 6.1) {
        k = d * d * 0.262 + 3.866 * d - 11.511;
    } else if (d <= 10.14) {
        k = d * d * 0.584 + 1.477 * d - 8.901;
    } else if (d <= 12.25) {
        k = d * d * 1.409 - 14.26 * d + 65.8;
    } else if (d <= 36.0) {
        k = d * d * 0.82 - 5.312 * d + 44.574;
    } else {
        k = d * d * 0.71;  // the top piece reaches 59.4576 inches; 59.0 is the most let in
    }

    // Only the first piece goes below 4.3, for diameters from 3.0 to about 3.048 inches.
    if (k < 4.3) {
        result.message = res::kPipeIdIncorrect;
        result.caption = res::kPipeErrorCaption;
        return result;
    }

    // 59.0 inches gives at most K 2471.51, inside the last piece (which ends at 2510).
    double offset = 0.0;
    if (k <= 8.622) {
        offset = 0.0417 * k - 0.119;
    } else if (k <= 266.7) {
        offset = 0.00133 * k + 0.228;
    } else {
        offset = 0.00072 * k + 0.404;
    }
    result.ok = true;
    result.k = k;
    result.offset = offset;
    return result;
}

CalcResult CalculateFromEntry(std::string_view text, int unitIndex) {
    return ComputeKAndOffset(DiameterInches(text, unitIndex));
}
