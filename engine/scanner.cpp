#include "engine/scanner.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>

namespace quorvat {

bool is_white(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

namespace {

bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }

struct DecimalScan {
    std::size_t end;        // one past the last byte of the number, or where it failed
    bool ok;                // a number was formed
    double value;
    bool overflowed;        // beyond the double range
};

// Scans a decimal number at text[pos]: optional sign, digits with an optional full
// stop, optional exponent. An "e" not followed by digits is not part of the number.
DecimalScan scan_decimal(std::string_view text, std::size_t pos) {
    DecimalScan scan{pos, false, 0.0, false};
    std::size_t i = pos;
    auto at = [&](std::size_t k) { return k < text.size() ? text[k] : '\0'; };
    bool negative = false;
    if (at(i) == '+' || at(i) == '-') negative = at(i++) == '-';
    std::size_t mantissa = i;
    std::size_t digits = 0;
    while (is_digit(at(i))) ++i, ++digits;
    if (at(i) == '.') {
        ++i;
        while (is_digit(at(i))) ++i, ++digits;
    }
    if (digits == 0) {
        scan.end = i;  // the sign and the point are consumed; the failing byte is not
        return scan;
    }
    if (at(i) == 'e' || at(i) == 'E') {
        std::size_t k = i + 1;
        if (at(k) == '+' || at(k) == '-') ++k;
        if (is_digit(at(k))) {
            while (is_digit(at(k))) ++k;
            i = k;
        }
    }
    scan.end = i;
    scan.ok = true;
    std::string_view number = text.substr(mantissa, i - mantissa);
    double magnitude = 0.0;
    auto [ptr, error] = std::from_chars(number.data(), number.data() + number.size(), magnitude,
                                        std::chars_format::general);
    (void)ptr;
    if (error == std::errc::result_out_of_range) {
        // Out of range: tell overflow from underflow by the decimal exponent of the
        // first significant digit.
        long exponent = 0, first = -1, point = static_cast<long>(number.size());
        std::size_t k = 0;
        for (; k < number.size() && number[k] != 'e' && number[k] != 'E'; ++k) {
            if (number[k] == '.') point = static_cast<long>(k);
            else if (first < 0 && number[k] != '0') first = static_cast<long>(k);
        }
        if (point == static_cast<long>(number.size())) point = static_cast<long>(k);
        if (k < number.size()) {
            std::string_view e = number.substr(k + 1);
            bool e_negative = !e.empty() && e[0] == '-';
            if (!e.empty() && (e[0] == '+' || e[0] == '-')) e.remove_prefix(1);
            for (char ch : e) exponent = std::min(exponent * 10 + (ch - '0'), 100000L);
            if (e_negative) exponent = -exponent;
        }
        long magnitude_exponent = exponent + (point - first) - (first < point ? 1 : 0);
        if (first >= 0 && magnitude_exponent > 0) {
            magnitude = std::numeric_limits<double>::infinity();
            scan.overflowed = true;
        } else {
            magnitude = 0.0;
        }
    }
    scan.value = negative ? -magnitude : magnitude;
    return scan;
}

bool scan_integer(std::string_view text, std::size_t& pos, int32_t& value) {
    std::size_t i = pos;
    auto at = [&](std::size_t k) { return k < text.size() ? text[k] : '\0'; };
    bool negative = false;
    if (at(i) == '+' || at(i) == '-') negative = at(i++) == '-';
    if (!is_digit(at(i))) {
        pos = i;
        return false;
    }
    int64_t magnitude = 0;
    const int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    while (is_digit(at(i))) {
        magnitude = std::min(magnitude * 10 + (at(i) - '0'), limit);
        ++i;
    }
    int64_t signed_value = negative ? -magnitude : magnitude;
    signed_value = std::max<int64_t>(signed_value, std::numeric_limits<int32_t>::min());
    signed_value = std::min<int64_t>(signed_value, std::numeric_limits<int32_t>::max());
    value = static_cast<int32_t>(signed_value);
    pos = i;
    return true;
}

std::size_t skip_white_from(std::string_view text, std::size_t pos) {
    while (pos < text.size() && is_white(text[pos])) ++pos;
    return pos;
}

}  // namespace

void Scanner::skip_white() { pos_ = skip_white_from(text_, pos_); }

void Scanner::skip_blanks() {
    while (!at_end() && text_[pos_] != '\n' && is_white(text_[pos_])) ++pos_;
}

bool Scanner::read_word(std::string& word) {
    skip_white();
    if (at_end()) return false;
    std::size_t start = pos_;
    while (!at_end() && !is_white(text_[pos_])) ++pos_;
    word.assign(text_.substr(start, pos_ - start));
    return true;
}

bool Scanner::read_number(double& value) {
    skip_white();
    DecimalScan scan = scan_decimal(text_, pos_);
    pos_ = scan.end;
    if (!scan.ok) return false;
    value = scan.value;
    if (scan.overflowed) std::feraiseexcept(FE_OVERFLOW);
    return true;
}

bool Scanner::read_integer(int32_t& value) {
    skip_white();
    return scan_integer(text_, pos_, value);
}

std::string_view Scanner::read_run(std::string_view set, std::size_t max_length) {
    std::size_t start = pos_;
    while (!at_end() && pos_ - start < max_length && set.find(text_[pos_]) != std::string_view::npos)
        ++pos_;
    return text_.substr(start, pos_ - start);
}

void Scanner::skip_rest_of_line() {
    while (!at_end() && text_[pos_] != '\n') ++pos_;
}

double lenient_to_double(std::string_view text) {
    DecimalScan scan = scan_decimal(text, skip_white_from(text, 0));
    return scan.ok ? scan.value : 0.0;
}

int32_t lenient_to_int(std::string_view text) {
    std::size_t pos = skip_white_from(text, 0);
    int32_t value = 0;
    return scan_integer(text, pos, value) ? value : 0;
}

}  // namespace quorvat
