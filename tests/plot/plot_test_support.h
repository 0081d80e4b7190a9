// Helpers of the plotter's tests: a log that records its lines, polynomial records and
// polynomial files written as the engine writes them.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "engine/log.h"
#include "engine/polynomial.h"

namespace quorvat::testing {

class RecordingLog : public LogSink {
public:
    void log(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

/// Cte * (c[0] + c[1] s + ...), coefficients in ascending powers.
inline ResultPolynomial polynomial(std::initializer_list<double> coefficients, double cte = 1.0) {
    ResultPolynomial p{};
    int i = 0;
    for (double c : coefficients) p.c[i++] = c;
    p.degree = i - 1;
    p.Cte = cte;
    return p;
}

/// The text of a polynomial file of p, in the engine's format.
inline std::string polynomial_file(const ResultPolynomial& p) {
    std::string text = std::to_string(p.degree) + "\n";
    for (int i = 0; i <= p.degree; ++i) text += format_coefficient(p.c[i]) + "\n";
    return text + format_coefficient(p.Cte) + "\n";
}

}  // namespace quorvat::testing
