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

// Fills a result polynomial with p / divisor, made monic: c[i] = p_i / lead(p), Cte =
// lead(p) / divisor.
bool monic_result(const IntPoly& p, const fmpz_t divisor, ResultPolynomial& out) {
    long degree = p.degree();
    if (degree > max_order) return false;
    if (degree < 0) {
        out.degree = 0;
        out.c[0] = 0.0;
        out.Cte = 1.0;
        return true;
    }
    const fmpz* lead = fmpz_poly_lead(p.get());
    fmpz_t coefficient;
    fmpz_init(coefficient);
    bool finite = true;
    out.degree = static_cast<int32_t>(degree);
    for (long i = 0; i <= degree; ++i) {
        fmpz_poly_get_coeff_fmpz(coefficient, p.get(), i);
        out.c[i] = nearest_quotient(coefficient, lead);
        finite = finite && std::isfinite(out.c[i]);
    }
    out.Cte = nearest_quotient(lead, divisor);
    finite = finite && std::isfinite(out.Cte) && out.Cte != 0.0;
    fmpz_clear(coefficient);
    return finite;
}

}  // namespace

ExactSolution solve_integer_system(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, Method method) {
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
    result.variables.reserve(n);
    for (slong k = 0; k < n; ++k) result.variables.push_back(reduced(numerators[k].get(), den.get()));
    return result;
}

ExactSolution solve_exact(const EngineTables& tables, Method method) {
    const int n = tables.variable_count;
    RationalPencil pencil = assemble_exact(tables);
    fmpz_poly_mat_t a, b;
    fmpz_poly_mat_init(a, n, n);
    fmpz_poly_mat_init(b, n, 1);
    pencil.to_integers(a, b);
    ExactSolution result = solve_integer_system(a, b, method);
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

bool to_result_polynomials(const RationalFunction& f, ResultPolynomial& num, ResultPolynomial& den) {
    const fmpz* lead = fmpz_poly_lead(f.denominator.get());
    if (!monic_result(f.numerator, lead, num) || !monic_result(f.denominator, lead, den)) return false;
    den.Cte = 1.0;
    return true;
}

}  // namespace quorvat::exact
