// printf-style number formats that do not depend on the locale: the plot's labels and the
// response table's text always use the full stop as the decimal separator.
#pragma once

#include <string>

namespace quorvat {

/// As "%<width>.<precision>f": fixed notation, right-aligned in at least width characters.
std::string format_fixed(double value, int precision, int width = 0);

/// As "%.<precision>g" (and "%g" with precision 6).
std::string format_general(double value, int precision = 6);

}  // namespace quorvat
