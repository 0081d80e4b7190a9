#include "time/exact_transform.h"

#include "certified/certified_roots.h"

#include <climits>
#include <cmath>

namespace quorvat {

namespace {

// The coefficients of W^degree p(s/W) as integers times 2^exponent, exactly. False for a
// zero polynomial.
bool to_integers(const WidePolynomial& p, double frequency_scale, FmpzPoly& out, long& exponent) {
    return exact_scaled_integers(p.c.data(), p.c.size(), frequency_scale, out, exponent);
}

bool finite(const WidePolynomial& p) {
    if (!std::isfinite(p.Cte)) return false;
    for (double c : p.c)
        if (!std::isfinite(c)) return false;
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
    if (frequency_power != 0) {
        arb_set_d(d, frequency_scale);
        if (frequency_power > 0) arb_pow_ui(d, d, static_cast<ulong>(frequency_power), prec);
        else arb_pow_ui(d, d, static_cast<ulong>(-frequency_power), prec), arb_inv(d, d, prec);
        arb_mul(out, out, d, prec);
    }
    arb_clear(d);
}

bool make_exact_transform(const WidePolynomial& num, const WidePolynomial& den, double frequency_scale,
                          ExactTransform& out, std::string& error) {
    if (!finite(num) || !finite(den) || !std::isfinite(frequency_scale) || !(frequency_scale > 0.0)) {
        error = "coeficiente que não é um número finito";
        return false;
    }
    long num_exponent = 0;
    out.frequency_scale = frequency_scale;
    out.frequency_power = frequency_scale == 1.0 ? 0 : static_cast<long>(den.degree()) - num.degree();
    if (!to_integers(den, frequency_scale, out.den_file, out.den_exponent) || den.Cte == 0.0) {
        error = "denominador nulo";
        return false;
    }
    out.cte_num = num.Cte;
    out.cte_den = den.Cte;
    out.zero = !to_integers(num, frequency_scale, out.num, num_exponent) || num.Cte == 0.0;
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
