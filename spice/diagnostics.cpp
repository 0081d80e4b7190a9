#include "spice/diagnostics.h"

#include <algorithm>

#include "engine/text.h"

namespace quorvat::spice {

namespace {

// A long line is quoted by its start: every note and refusal quotes its line, and a line
// of a megabyte quoted once per note would make the notes quadratic.
constexpr std::size_t max_quoted_bytes = 160;

std::string quoted(const std::string& text) {
    if (text.size() <= max_quoted_bytes) return to_utf8(text);
    std::size_t cut = max_quoted_bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // whole UTF-8 characters
    return to_utf8(text.substr(0, cut)) + "… (" + std::to_string(text.size()) + " bytes)";
}

}  // namespace

std::string describe(const Origin& origin) {
    std::string where = origin.file.empty() ? "" : quoted(origin.file) + ", ";
    return where + "linha " + std::to_string(origin.line) + ": " + quoted(origin.text);
}

void Diagnostics::note(const Origin& origin, const std::string& message) {
    std::string line = describe(origin) + " (" + message + ")";
    if (seen_.insert("nota " + line).second) notes_.push_back(line);
}

void Diagnostics::refuse(const Origin& origin, const std::string& message) {
    std::string text = describe(origin) + " (" + message + ")";
    if (seen_.insert(text).second) refusals_.push_back(Refusal{origin.file, origin.line, text});
}

void Diagnostics::refuse(const std::string& message) {
    if (seen_.insert(message).second) refusals_.push_back(Refusal{"", 0, message});
}

std::vector<std::string> Diagnostics::refusals() const {
    std::vector<Refusal> sorted = refusals_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Refusal& a, const Refusal& b) {
        return a.file != b.file ? a.file < b.file : a.line < b.line;
    });
    std::vector<std::string> texts;
    for (const Refusal& refusal : sorted) texts.push_back(refusal.text);
    return texts;
}

}  // namespace quorvat::spice
