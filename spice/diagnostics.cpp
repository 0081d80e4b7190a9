#include "spice/diagnostics.h"

#include <algorithm>

#include "engine/text.h"

namespace quorvat::spice {

std::string describe(const Origin& origin) {
    std::string where = origin.file.empty() ? "" : to_utf8(origin.file) + ", ";
    return where + "linha " + std::to_string(origin.line) + ": " + to_utf8(origin.text);
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
