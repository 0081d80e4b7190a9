// The table of x(t) of several pairs as CSV.
#pragma once

#include <string>
#include <vector>

#include "engine/log.h"

namespace quorvat {

/// "t,<column 1>,<column 2>,..." then one line per time with the time and each column's
/// value, comma-separated, full stop as the decimal point, 17 significant digits. A name
/// holding a comma or a quote is quoted.
std::string time_csv_text(const std::vector<std::string>& names, const std::vector<double>& times,
                          const std::vector<std::vector<double>>& columns);

/// time_csv_text written to path whole or not at all (a temporary renamed into place);
/// returns false, the reason logged, when it cannot be.
bool write_time_csv(const std::string& path, const std::vector<std::string>& names, const std::vector<double>& times,
                    const std::vector<std::vector<double>>& columns, LogSink& log);

/// The same without the reason.
bool write_time_csv(const std::string& path, const std::vector<std::string>& names, const std::vector<double>& times,
                    const std::vector<std::vector<double>>& columns);

}  // namespace quorvat
