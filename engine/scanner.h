// The conversions of the netlist and polynomial-file readers, over bytes and independent
// of the locale: words, decimal numbers (no inf, nan or hexadecimal forms), character
// sets, the rest of a line, integers; and the lenient conversions of the edit boxes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvat {

/// True for the bytes that scanf treats as white space: blank, \t, \n, \v, \f, \r.
bool is_white(char ch);

/// Reads fields from a text held in memory. Each conversion skips what the matching
/// scanf conversion skips and leaves the input where that conversion would.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    /// Like %s: skips white space, then reads the whole word of non-white bytes (the
    /// caller checks its length). Returns false at the end of the input.
    bool read_word(std::string& word);

    /// Like %lg: skips white space, then reads an optional sign, digits with an optional
    /// full stop and an optional exponent. On failure the byte that failed stays unread,
    /// while a sign or point read before it is consumed. A magnitude beyond the double
    /// range gives an infinity and raises the overflow flag.
    bool read_number(double& value);

    /// Like %d: skips white space, optional sign, decimal digits (saturating at the
    /// int32 range). On failure the byte that failed stays unread.
    bool read_integer(int32_t& value);

    /// Like %[set]: reads the longest run of bytes from set, skipping nothing first, at
    /// most max_length bytes. Returns the run (possibly empty).
    std::string_view read_run(std::string_view set, std::size_t max_length);

    /// Like %*[^\n]: discards everything up to, not including, the next line feed.
    void skip_rest_of_line();

    /// Skips white space but line feeds: blanks, tabs, carriage returns, vertical tabs and
    /// form feeds.
    void skip_blanks();

    /// Skips white space, line feeds included.
    void skip_white();

    bool at_end() const { return pos_ >= text_.size(); }
    /// The next byte, or '\0' at the end of the input.
    char peek() const { return at_end() ? '\0' : text_[pos_]; }
    std::size_t position() const { return pos_; }
    void set_position(std::size_t pos) { pos_ = pos; }
    std::string_view text() const { return text_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

/// The lenient decimal conversion of the edit boxes: leading white space, optional sign,
/// digits with an optional full stop, optional exponent; stops at the first byte that
/// does not fit. A text that starts with no number gives 0.
double lenient_to_double(std::string_view text);

/// The lenient integer conversion: leading white space, optional + or -, decimal digits
/// up to the first non-digit (saturating at the int32 range); no digits give 0.
int32_t lenient_to_int(std::string_view text);

}  // namespace quorvat
