// The table of x(t) of several pairs as CSV.
#pragma once

#include <string>
#include <vector>

namespace quorvat {

/// "t,<column 1>,<column 2>,..." then one line per time with the time and each column's
/// value, comma-separated, full stop as the decimal point, 17 significant digits. A name
/// holding a comma or a quote is quoted.
std::string time_csv_text(const std::vector<std::string>& names, const std::vector<double>& times,
                          const std::vector<std::vector<double>>& columns);

}  // namespace quorvat
