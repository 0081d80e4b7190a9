#include "exact/exact_solver.h"

#include <cmath>

#include <flint/fmpz.h>
#include <mpfr.h>

#include "exact/exact_system.h"
#include "exact/multimodular.h"

namespace quorvat::exact {

namespace {

// Above this bound on the coefficients (bits), the multimodular solution is the faster.
constexpr long multimodular_threshold_bits = 2000;

// x_k / s in lowest terms, from A x = den b: x_k = column entry / den.
RationalFunction reduced(const fmpz_poly_struct* solution, const fmpz_poly_struct* den) {
    RationalFunction f;
    if (fmpz_poly_is_zero(solution)) {
        fmpz_poly_one(f.denominator.get());
        return f;
    }
    fmpz_poly_shift_left(f.denominator.get(), den, 1);
    IntPoly divisor, remainder;
    fmpz_poly_gcd(divisor.get(), solution, f.denominator.get());
    fmpz_poly_divrem(f.numerator.get(), remainder.get(), solution, divisor.get());
    fmpz_poly_divrem(f.denominator.get(), remainder.get(), f.denominator.get(), divisor.get());
    if (fmpz_sgn(fmpz_poly_lead(f.denominator.get())) < 0) {
        fmpz_poly_neg(f.numerator.get(), f.numerator.get());
        fmpz_poly_neg(f.denominator.get(), f.denominator.get());
    }
    return f;
}

// The double nearest to value / divisor (both exact integers).
double nearest_quotient(const fmpz_t value, const fmpz_t divisor) {
    mpfr_t top, bottom, quotient;
    mpfr_init2(top, std::max<mpfr_prec_t>(fmpz_bits(value), MPFR_PREC_MIN));
    mpfr_init2(bottom, std::max<mpfr_prec_t>(fmpz_bits(divisor), MPFR_PREC_MIN));
    mpfr_init2(quotient, 53);
    fmpz_get_mpfr(top, value, MPFR_RNDN);  // exact: the precision holds every bit
    fmpz_get_mpfr(bottom, divisor, MPFR_RNDN);
    mpfr_div(quotient, top, bottom, MPFR_RNDN);
    double result = mpfr_get_d(quotient, MPFR_RNDN);
    mpfr_clear(top);
    mpfr_clear(bottom);
    mpfr_clear(quotient);
    return result;
}

// A non-zero exact value must come out a normal double: infinite, zero or subnormal
// would write a wrong file.
bool representable(double value, bool exact_zero) {
    return exact_zero ? value == 0.0 : std::isnormal(value);
}

// Fills a result polynomial with p made monic: c[i] = p_i / lead(p).
bool monic_result(const IntPoly& p, WidePolynomial& out) {
    long degree = p.degree();
    out.Cte = 1.0;
    if (degree < 0) {
        out.c.assign(1, 0.0);
        return true;
    }
    const fmpz* lead = fmpz_poly_lead(p.get());
    out.c.assign(static_cast<std::size_t>(degree) + 1, 0.0);
    bool fits = true;
    for (long i = 0; i <= degree; ++i) {
        const fmpz* coefficient = p.get()->coeffs + i;
        out.c[i] = nearest_quotient(coefficient, lead);
        fits = fits && representable(out.c[i], fmpz_is_zero(coefficient));
    }
    return fits;
}

// p(w s) * b^deg p for w = a / b: the integer polynomial sum of p_i a^i b^(deg - i) s^i.
IntPoly scaled(const IntPoly& p, const fmpz_t a, const fmpz_t b) {
    IntPoly out;
    long degree = p.degree();
    fmpz_poly_set(out.get(), p.get());
    fmpz_t power;
    fmpz_init(power);
    fmpz_one(power);
    for (long i = 1; i <= degree; ++i) {  // a^i
        fmpz_mul(power, power, a);
        fmpz_mul(out.get()->coeffs + i, out.get()->coeffs + i, power);
    }
    fmpz_one(power);
    for (long i = degree - 1; i >= 0; --i) {  // b^(deg - i)
        fmpz_mul(power, power, b);
        fmpz_mul(out.get()->coeffs + i, out.get()->coeffs + i, power);
    }
    fmpz_clear(power);
    return out;
}

// log10 |x| of a non-zero integer.
double log10_of(const fmpz* x) {
    fmpz_t magnitude;
    fmpz_init(magnitude);
    fmpz_abs(magnitude, x);
    double result = fmpz_dlog(magnitude) / std::log(10.0);
    fmpz_clear(magnitude);
    return result;
}

// Decimal exponents that a double holds with room to spare for the rounding.
constexpr double lowest_exponent = -300.0;
constexpr double highest_exponent = 300.0;

// Narrows range to the k for which log10 |ratio| + power * k stays within the exponents
// a double holds.
void fit_exponent(double log_ratio, long power, ScaleRange& range) {
    if (power == 0) {
        if (log_ratio < lowest_exponent || log_ratio > highest_exponent) range = {1, 0};
        return;
    }
    double low = (lowest_exponent - log_ratio) / static_cast<double>(power);
    double high = (highest_exponent - log_ratio) / static_cast<double>(power);
    if (power < 0) std::swap(low, high);
    range.low = std::max(range.low, static_cast<int>(std::ceil(low)));
    range.high = std::min(range.high, static_cast<int>(std::floor(high)));
}

void narrow_monic(const IntPoly& p, ScaleRange& range) {
    long degree = p.degree();
    if (degree <= 0) return;
    double lead = log10_of(fmpz_poly_lead(p.get()));
    for (long i = 0; i < degree; ++i) {
        const fmpz* coefficient = p.get()->coeffs + i;
        if (!fmpz_is_zero(coefficient)) fit_exponent(log10_of(coefficient) - lead, i - degree, range);
    }
}

}  // namespace

void narrow_scale_range(const RationalFunction& f, ScaleRange& range) {
    narrow_monic(f.denominator, range);
    if (f.numerator.is_zero()) return;
    narrow_monic(f.numerator, range);
    fit_exponent(log10_of(fmpz_poly_lead(f.numerator.get())) - log10_of(fmpz_poly_lead(f.denominator.get())),
                 f.numerator.degree() - f.denominator.degree(), range);
}

ExactSolution solve_integer_system(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, Method method,
                                   const std::vector<int>& wanted) {
    ExactSolution result;
    const slong n = fmpz_poly_mat_nrows(a);
    if (n == 0) return result;
    if (method == Method::automatic)
        method = cramer_bound_bits(a, b) > multimodular_threshold_bits ? Method::multimodular : Method::fraction_free;
    IntPoly den;
    std::vector<IntPoly> numerators;
    if (method == Method::multimodular) {
        result.singular = !solve_multimodular(a, b, den, numerators);
    } else {
        fmpz_poly_mat_t x;
        fmpz_poly_mat_init(x, n, 1);
        result.singular = !fmpz_poly_mat_solve_fflu(x, den.get(), a, b);
        if (!result.singular)
            for (slong k = 0; k < n; ++k) {
                numerators.emplace_back();
                fmpz_poly_set(numerators.back().get(), fmpz_poly_mat_entry(x, k, 0));
            }
        fmpz_poly_mat_clear(x);
    }
    if (result.singular) return result;
    result.variables.resize(n);
    for (auto& f : result.variables) fmpz_poly_one(f.denominator.get());
    if (wanted.empty())
        for (slong k = 0; k < n; ++k) result.variables[k] = reduced(numerators[k].get(), den.get());
    else
        for (int k : wanted) result.variables[k - 1] = reduced(numerators[k - 1].get(), den.get());
    return result;
}

ExactSolution solve_exact(const EngineTables& tables, Method method) {
    const int n = tables.variable_count;
    RationalPencil pencil = assemble_exact(tables);
    fmpz_poly_mat_t a, b;
    fmpz_poly_mat_init(a, n, n);
    fmpz_poly_mat_init(b, n, 1);
    pencil.to_integers(a, b);
    std::vector<int> wanted(tables.wanted.begin(), tables.wanted.end());
    ExactSolution result = solve_integer_system(a, b, method, wanted);
    fmpz_poly_mat_clear(a);
    fmpz_poly_mat_clear(b);
    return result;
}

bool rounded_quotients(const IntPoly& p, const fmpz_t divisor, std::vector<double>& out) {
    out.clear();
    fmpz_t coefficient;
    fmpz_init(coefficient);
    bool finite = true;
    for (long i = 0; i <= p.degree(); ++i) {
        fmpz_poly_get_coeff_fmpz(coefficient, p.get(), i);
        out.push_back(nearest_quotient(coefficient, divisor));
        finite = finite && std::isfinite(out.back());
    }
    fmpz_clear(coefficient);
    return finite;
}

bool to_result_polynomials(const RationalFunction& f, WidePolynomial& num, WidePolynomial& den, double scale) {
    if (scale == 1.0) {
        if (!monic_result(f.numerator, num) || !monic_result(f.denominator, den)) return false;
        if (f.numerator.is_zero()) return true;
        num.Cte = nearest_quotient(fmpz_poly_lead(f.numerator.get()), fmpz_poly_lead(f.denominator.get()));
        return std::isnormal(num.Cte);
    }
    // f(w s) = N'(s) / D'(s) * b^(n - m), with N' = N(w s) b^m and D' = D(w s) b^n.
    Rational w;
    set_from_double(w.get(), scale);
    IntPoly n = scaled(f.numerator, fmpq_numref(w.get()), fmpq_denref(w.get()));
    IntPoly d = scaled(f.denominator, fmpq_numref(w.get()), fmpq_denref(w.get()));
    if (!monic_result(n, num) || !monic_result(d, den)) return false;
    if (n.is_zero()) return true;
    fmpz_t top, bottom;
    fmpz_init_set(top, fmpz_poly_lead(n.get()));
    fmpz_init_set(bottom, fmpz_poly_lead(d.get()));
    long excess = d.degree() - n.degree();
    fmpz_t factor;
    fmpz_init(factor);
    fmpz_pow_ui(factor, fmpq_denref(w.get()), static_cast<ulong>(excess >= 0 ? excess : -excess));
    fmpz_mul(excess >= 0 ? top : bottom, excess >= 0 ? top : bottom, factor);
    num.Cte = nearest_quotient(top, bottom);
    fmpz_clear(top);
    fmpz_clear(bottom);
    fmpz_clear(factor);
    return std::isnormal(num.Cte);
}

}  // namespace quorvat::exact
