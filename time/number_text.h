// Numbers as text with a full stop, whatever the locale.
#pragma once

#include <string>

namespace quorvat {

/// As "%.<digits>g", without the locale: 0.5, 1e-07, 0.3333333333.
std::string number_text(double value, int digits);

}  // namespace quorvat
