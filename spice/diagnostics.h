// Where a statement of a deck came from, and the notes and refusals of an import.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace quorvat::spice {

/// One logical line of a deck: continuation lines joined, comments removed.
struct Origin {
    std::string file;  // the included file's name as written; empty for the deck itself
    int line = 0;      // number of the line's first physical line in that file
    std::string text;
};

/// The notes (what was skipped or changed) and refusals (what cannot be imported) of
/// one import, each a line of Portuguese text naming its line.
class Diagnostics {
public:
    void note(const Origin& origin, const std::string& message);
    void note(const std::string& message) { notes_.push_back(message); }
    /// One refusal per line and message, however many instances repeat it.
    void refuse(const Origin& origin, const std::string& message);
    /// A refusal of the deck as a whole (an operating point that does not converge).
    void refuse(const std::string& message);

    const std::vector<std::string>& notes() const { return notes_; }
    /// The refusals in the order of the deck's lines (the deck's own lines first, then
    /// each included file's).
    std::vector<std::string> refusals() const;
    bool refused() const { return !refusals_.empty(); }

private:
    struct Refusal {
        std::string file;
        int line;
        std::string text;
    };
    std::vector<std::string> notes_;
    std::vector<Refusal> refusals_;
    std::set<std::string> seen_;
};

/// "linha 12: TEXT" or "modelos.lib, linha 3: TEXT", the text shown as UTF-8.
std::string describe(const Origin& origin);

}  // namespace quorvat::spice
