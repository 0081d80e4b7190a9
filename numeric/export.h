// Exports of a result pair for other tools: Python (scipy.signal), MATLAB/Octave, JSON.
#pragma once

#include <string>

#include "engine/polynomial.h"

namespace quorvat {

enum class ExportFormat { python, matlab, json };

/// Parses "python", "matlab" or "json"; false for anything else.
bool parse_export_format(const std::string& word, ExportFormat& format);

/// A polynomial file's content: a function of s/scale (scale 1 without a scale line).
struct ScaledPolynomial {
    WidePolynomial p;
    double scale = 1.0;
};

/// The pair H(s) = (num.Cte / den.Cte) * N(s) / D(s) in the given format. Python and
/// MATLAB get the coefficients in descending powers with the gain in the numerator; JSON
/// keeps each file's ascending coefficients, degree and Cte, and its "escala" when scaled.
/// Scaled files are exported in s (the scale undone, every coefficient correctly rounded)
/// when every coefficient fits a double; otherwise in powers of s/W, and the header says so.
std::string export_pair(ExportFormat format, const ScaledPolynomial& numerator, const ScaledPolynomial& denominator,
                        const std::string& numerator_file, const std::string& denominator_file);

}  // namespace quorvat
