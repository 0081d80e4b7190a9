#include "time/number_text.h"

#include <charconv>

namespace quorvat {

std::string number_text(double value, int digits) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    if (error != std::errc()) return "?";
    return std::string(buffer, end);
}

}  // namespace quorvat
