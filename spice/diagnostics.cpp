#include "spice/diagnostics.h"

#include "engine/text.h"

namespace quorvat::spice {

std::string describe(const Origin& origin) {
    std::string where = origin.file.empty() ? "" : to_utf8(origin.file) + ", ";
    return where + "linha " + std::to_string(origin.line) + ": " + to_utf8(origin.text);
}

void Diagnostics::note(const Origin& origin, const std::string& message) {
    std::string line = describe(origin) + " (" + message + ")";
    if (refused_.insert("nota " + line).second) notes_.push_back(line);
}

void Diagnostics::refuse(const Origin& origin, const std::string& message) {
    refuse(describe(origin) + " (" + message + ")");
}

void Diagnostics::refuse(const std::string& message) {
    if (refused_.insert(message).second) refusals_.push_back(message);
}

}  // namespace quorvat::spice
