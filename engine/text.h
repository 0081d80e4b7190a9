// Character-set helpers: netlist bytes are UTF-8 when they are valid UTF-8, and are
// taken as Windows-1252 (the character set of files brought from Windows) otherwise.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvat {

bool is_valid_utf8(std::string_view bytes);

/// The number of characters of a word: UTF-8 characters when the bytes are valid UTF-8,
/// else one per byte.
std::size_t character_count(std::string_view bytes);

/// Appends printf-style text to line, in the "C" locale and with no limit on its length
/// (fixed notation of a huge value runs to hundreds of characters).
void append_format(std::string& line, const char* format, ...) __attribute__((format(printf, 2, 3)));

/// The text as UTF-8: valid UTF-8 sequences unchanged, every other byte decoded as
/// Windows-1252.
std::string to_utf8(std::string_view bytes);

}  // namespace quorvat
