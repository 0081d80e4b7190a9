#include "time/exact_transform.h"

#include <climits>
#include <cmath>

namespace quorvat {

namespace {

// The coefficients of p as integers times 2^exponent, exactly. False for a zero polynomial.
bool to_integers(const ResultPolynomial& p, FmpzPoly& out, long& exponent) {
    long lowest = LONG_MAX;
    for (int i = 0; i <= p.degree; ++i) {
        if (p.c[i] == 0.0) continue;
        int e;
        std::frexp(p.c[i], &e);
        lowest = std::min(lowest, static_cast<long>(e) - 53);
    }
    fmpz_poly_zero(out.get());
    if (lowest == LONG_MAX) return false;
    fmpz_t coefficient;
    fmpz_init(coefficient);
    for (int i = 0; i <= p.degree; ++i) {
        if (p.c[i] == 0.0) continue;
        int e;
        double mantissa = std::ldexp(std::frexp(p.c[i], &e), 53);  // an integer below 2^53
        fmpz_set_d(coefficient, mantissa);
        fmpz_mul_2exp(coefficient, coefficient, static_cast<ulong>(e - 53 - lowest));
        fmpz_poly_set_coeff_fmpz(out.get(), i, coefficient);
    }
    fmpz_clear(coefficient);
    exponent = lowest;
    return true;
}

bool finite(const ResultPolynomial& p) {
    if (!std::isfinite(p.Cte)) return false;
    for (int i = 0; i <= p.degree; ++i)
        if (!std::isfinite(p.c[i])) return false;
    return true;
}

}  // namespace

void ExactTransform::scale(arb_t out, slong prec) const {
    arb_t d;
    arb_init(d);
    arb_set_d(out, cte_num);
    arb_set_d(d, cte_den);
    arb_div(out, out, d, prec);
    arb_mul_2exp_si(out, out, scale_exponent);
    arb_clear(d);
}

bool make_exact_transform(const ResultPolynomial& num, const ResultPolynomial& den, ExactTransform& out,
                          std::string& error) {
    if (num.degree < 0 || num.degree > max_order || den.degree < 0 || den.degree > max_order) {
        error = "grau fora de 0 a 30";
        return false;
    }
    if (!finite(num) || !finite(den)) {
        error = "coeficiente que não é um número finito";
        return false;
    }
    long num_exponent = 0;
    if (!to_integers(den, out.den_file, out.den_exponent) || den.Cte == 0.0) {
        error = "denominador nulo";
        return false;
    }
    out.cte_num = num.Cte;
    out.cte_den = den.Cte;
    out.zero = !to_integers(num, out.num, num_exponent) || num.Cte == 0.0;
    out.scale_exponent = num_exponent - out.den_exponent;
    if (fmpz_sgn(fmpz_poly_lead(out.den_file.get())) < 0) {
        fmpz_poly_neg(out.den_file.get(), out.den_file.get());
        fmpz_poly_neg(out.num.get(), out.num.get());
    }
    if (out.zero) {
        fmpz_poly_zero(out.num.get());
        fmpz_poly_set(out.den.get(), out.den_file.get());
        fmpz_poly_one(out.common.get());
        return true;
    }
    fmpz_poly_gcd(out.common.get(), out.num.get(), out.den_file.get());
    fmpz_poly_div(out.num.get(), out.num.get(), out.common.get());
    fmpz_poly_div(out.den.get(), out.den_file.get(), out.common.get());
    // The gcd's sign is FLINT's choice; keep D's leading coefficient positive.
    if (fmpz_sgn(fmpz_poly_lead(out.den.get())) < 0) {
        fmpz_poly_neg(out.den.get(), out.den.get());
        fmpz_poly_neg(out.num.get(), out.num.get());
        fmpz_poly_neg(out.common.get(), out.common.get());
    }
    return true;
}

}  // namespace quorvat
