// The lines of a deck as the importer reads them: the title, then logical lines with
// their continuations joined and comments removed, included files followed, the
// control blocks and everything after .end left out.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "spice/diagnostics.h"

namespace quorvat::spice {

/// Reads a whole file into text; false with a Portuguese error otherwise.
using FileReader = std::function<bool(const std::string& path, std::string& text, std::string& error)>;

/// Reads a regular file of at most 16 MiB.
bool read_text_file(const std::string& path, std::string& text, std::string& error);

struct DeckSource {
    std::string title;
    std::vector<Origin> lines;
};

/// Splits the deck's text (read from path, which locates its .include and .lib files)
/// into its title and logical lines.
void read_deck_lines(std::string_view text, const std::string& path, const FileReader& reader, DeckSource& deck,
                     Diagnostics& diagnostics);

/// The first word of a line, in lower case.
std::string first_word(std::string_view text);

}  // namespace quorvat::spice
