// Exports of a result pair for other tools: Python (scipy.signal), MATLAB/Octave, JSON.
#pragma once

#include <string>

#include "engine/polynomial.h"

namespace quorvat {

enum class ExportFormat { python, matlab, json };

/// Parses "python", "matlab" or "json"; false for anything else.
bool parse_export_format(const std::string& word, ExportFormat& format);

/// The pair H(s) = (num.Cte / den.Cte) * N(s) / D(s) in the given format. Python and
/// MATLAB get the coefficients in descending powers with the gain in the numerator; JSON
/// keeps each file's ascending coefficients, degree and Cte.
std::string export_pair(ExportFormat format, const ResultPolynomial& numerator, const ResultPolynomial& denominator,
                        const std::string& numerator_file, const std::string& denominator_file);

}  // namespace quorvat
