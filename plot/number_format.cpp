#include "plot/number_format.h"

#include <charconv>

namespace quorvat {

namespace {
// Room for the fixed notation of the largest double: 309 digits, sign, point, decimals.
constexpr int buffer_size = 400;

std::string format(double value, std::chars_format notation, int precision) {
    char buffer[buffer_size];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, notation, precision);
    if (error != std::errc()) return {};
    return std::string(buffer, end);
}
}  // namespace

std::string format_fixed(double value, int precision, int width) {
    std::string text = format(value, std::chars_format::fixed, precision);
    if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

std::string format_general(double value, int precision) {
    return format(value, std::chars_format::general, precision);
}

}  // namespace quorvat
