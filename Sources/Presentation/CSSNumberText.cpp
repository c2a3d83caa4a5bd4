#include "Presentation/CSSNumberText.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace orvane {

std::string cssNumberText(double value) {
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";

    // The shortest round-trip digits, in scientific form: "-1.2345e+02".
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = scientific.find('e');
    const int exponent = std::atoi(std::string(scientific.substr(e + 1)).c_str());
    if (value != 0 && (exponent >= 16 || exponent < -4)) {
        return std::string(scientific);
    }

    std::string_view mantissa = scientific.substr(0, e);
    std::string text;
    if (mantissa.front() == '-') {
        text.push_back('-');
        mantissa.remove_prefix(1);
    }
    std::string digits;
    for (const char c : mantissa) {
        if (c != '.')
            digits.push_back(c);
    }
    if (exponent >= 0) {
        const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            text += digits;
            text.append(integerDigits - digits.size(), '0');
            text += ".0";
        } else {
            text += digits.substr(0, integerDigits);
            text += '.';
            text += digits.substr(integerDigits);
        }
    } else {
        text += "0.";
        text.append(static_cast<std::size_t>(-exponent - 1), '0');
        text += digits;
    }
    return text;
}

}  // namespace orvane
