#include "support/fake_host.h"

#include "engine/scanner.h"

namespace quorvat::testing {

void FakeHost::set(AnalysisOption option, bool on) {
    if (on)
        options.insert(option);
    else
        options.erase(option);
}

void FakeHost::log(std::string_view line) { lines.emplace_back(line); }

bool FakeHost::wait_for_options(const std::vector<std::string>& variable_names,
                                NumericOptions& numbers) {
    ++pauses;
    listed_variables = variable_names;
    if (cancel_pause) return false;
    numbers.coefficient_dispersion = lenient_to_double(dispersion_text);
    numbers.zero_threshold = lenient_to_double(zero_text);
    return true;
}

std::string FakeHost::text(std::size_t first) const {
    std::string all;
    for (std::size_t i = first; i < lines.size(); ++i) {
        all += lines[i];
        all += '\n';
    }
    return all;
}

}  // namespace quorvat::testing
