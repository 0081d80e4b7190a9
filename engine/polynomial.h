// Polynomials in s with real coefficients and the arithmetic of the elimination:
// product with an order limit, subtraction in place, non-zero test, trimming, long
// division, normalisation, the listing and the polynomial file format.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/limits.h"
#include "engine/log.h"

namespace quorvat {

/// An entry of the solver's working matrix. Only c[0..degree] are meaningful; the
/// coefficients above may hold stale values. A negative degree (the quotient of a
/// division by a divisor of higher degree) has no coefficient and tests as zero.
struct Polynomial {
    int32_t degree;              // index of the highest coefficient in use
    double c[max_order + 1];     // c[i] multiplies s^i
};

/// A numerator or denominator of a result, and the content of a polynomial file:
/// the value is Cte * (c[0] + c[1] s + ... + c[degree] s^degree).
struct ResultPolynomial {
    double c[max_order + 1];     // c[i] multiplies s^i
    int32_t degree;              // index of the highest coefficient in use
    double Cte;                  // constant factor
};

/// A result polynomial of any degree: the exact path's results, which the fixed tables
/// cannot always hold, and the content of a polynomial file of any degree. The value is
/// Cte * (c[0] + c[1] s + ... + c[degree] s^degree); c is never empty.
struct WidePolynomial {
    std::vector<double> c{0.0};  // c[i] multiplies s^i
    double Cte = 1.0;            // constant factor
    int degree() const { return static_cast<int>(c.size()) - 1; }
};

/// Highest degree a polynomial file may hold: results of circuits of up to 20,000
/// variables; beyond it a file is refused rather than read into memory unbounded.
constexpr int max_file_degree = 40000;

/// p as a polynomial of any degree.
WidePolynomial widen(const ResultPolynomial& p);

/// w in a fixed record; false (p untouched) when its degree exceeds the maximum order.
bool narrow(const WidePolynomial& w, ResultPolynomial& p);

/// The thresholds that steer the arithmetic and its two operation counters.
struct PolyArithmetic {
    double coefficient_dispersion = 0.0;  // D: |c| < max|c| / D is negligible
    double zero_threshold = 0.0;          // Z: non-zero when some |c| > Z
    int32_t multiplication_count = 0;     // successful products
    int32_t division_count = 0;           // divisions, whatever their operands
};

/// out := a * b. Logs "Ordem maior que o máximo (30)." and returns false, leaving
/// out.degree at the sum and its coefficients untouched, when the order would exceed 30.
/// out must be distinct from a and b.
bool poly_multiply(PolyArithmetic& arithmetic, LogSink& log, const Polynomial& a,
                   const Polynomial& b, Polynomial& out);

/// b := b - a, in place; the degree becomes the larger of the two. Nothing is trimmed.
void poly_subtract(const Polynomial& a, Polynomial& b);

/// True when some |c[i]| is strictly above Z; false for a negative degree.
bool poly_is_nonzero(const PolyArithmetic& arithmetic, const Polynomial& p);

/// Lowers the degree past leading coefficients below max|c| / D; never below 0.
/// The coefficients themselves are not changed.
void poly_trim(const PolyArithmetic& arithmetic, Polynomial& p);

/// Long division from the top, a = q*b + r. b's leading coefficient must be non-zero;
/// q and r must be distinct from a and b. Counts one division in every case.
void poly_divide(PolyArithmetic& arithmetic, const Polynomial& a, const Polynomial& b,
                 Polynomial& q, Polynomial& r);

/// Zeroes coefficients below max|c| / D, drops zero leading terms, makes p monic and
/// moves the leading coefficient into Cte (the constant 0 gets Cte 1).
void poly_normalise(const PolyArithmetic& arithmetic, ResultPolynomial& p);

/// A coefficient as the listing and the polynomial files write it: "%15.12f", or
/// "%.16e" for a non-zero magnitude below 1e-4, so that no small coefficient is lost.
std::string format_coefficient(double value);

/// Logs "a%d: <coefficient>" for every coefficient, then "Cte: <Cte>".
void print_result_polynomial(LogSink& log, const ResultPolynomial& p);
void print_result_polynomial(LogSink& log, const WidePolynomial& p);

/// Writes p in the polynomial file format: the degree, the coefficients in ascending
/// powers and Cte, one per line. Returns false when the stream reports a write error.
bool poly_write(const ResultPolynomial& p, std::FILE* file);

/// A coefficient of an exact result: "%.16e", the 17 significant digits that read back
/// as the same double.
std::string format_exact_coefficient(double value);

/// Writes an exact result in the polynomial file format, every number with
/// format_exact_coefficient. A result written as a function of s/W (scale W other
/// than 1) carries one more line after Cte, "escala W" ("%.17g"), which readers that
/// stop at Cte never see. Returns false when the stream reports a write error.
bool poly_write_exact(const WidePolynomial& p, std::FILE* file, double scale = 1.0);

/// The word that starts the frequency scale line of a polynomial file.
constexpr const char* frequency_scale_word = "escala";

}  // namespace quorvat
