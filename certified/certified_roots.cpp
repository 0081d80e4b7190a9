#include "certified/certified_roots.h"

#include <climits>
#include <cmath>

#include <arb_fmpz_poly.h>
#include <flint/fmpz_poly_factor.h>

namespace quorvat {

bool exact_integers(const double* c, std::size_t count, FmpzPoly& out, long& exponent) {
    fmpz_poly_zero(out.get());
    long lowest = LONG_MAX;
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(c[i])) return false;
        if (c[i] == 0.0) continue;
        int e;
        std::frexp(c[i], &e);
        lowest = std::min(lowest, static_cast<long>(e) - 53);
    }
    if (lowest == LONG_MAX) return false;
    fmpz_t coefficient;
    fmpz_init(coefficient);
    for (std::size_t i = 0; i < count; ++i) {
        if (c[i] == 0.0) continue;
        int e;
        double mantissa = std::ldexp(std::frexp(c[i], &e), 53);  // an integer below 2^53
        fmpz_set_d(coefficient, mantissa);
        fmpz_mul_2exp(coefficient, coefficient, static_cast<ulong>(e - 53 - lowest));
        fmpz_poly_set_coeff_fmpz(out.get(), static_cast<slong>(i), coefficient);
    }
    fmpz_clear(coefficient);
    exponent = lowest;
    return true;
}

bool exact_scaled_integers(const double* c, std::size_t count, double scale, FmpzPoly& out, long& exponent) {
    if (!exact_integers(c, count, out, exponent)) return false;
    if (scale == 1.0 || count < 2) return true;
    // scale = m 2^e with m odd: the term of s^i gains m^(d-i) 2^(e(d-i)).
    int e;
    double fraction = std::frexp(scale, &e);
    long shift = e - 53;
    fmpz_t m, power;
    fmpz_init(m);
    fmpz_init(power);
    fmpz_set_d(m, std::ldexp(fraction, 53));
    shift += static_cast<long>(fmpz_val2(m));
    fmpz_fdiv_q_2exp(m, m, fmpz_val2(m));
    const long d = static_cast<long>(count) - 1;
    const long lowest = shift >= 0 ? 0 : shift * d;
    fmpz_one(power);
    for (long i = d; i >= 0; --i) {
        fmpz* coefficient = fmpz_poly_length(out.get()) > i ? out.get()->coeffs + i : nullptr;
        if (coefficient && !fmpz_is_zero(coefficient)) {
            fmpz_mul(coefficient, coefficient, power);
            fmpz_mul_2exp(coefficient, coefficient, static_cast<ulong>(shift * (d - i) - lowest));
        }
        fmpz_mul(power, power, m);
    }
    fmpz_clear(m);
    fmpz_clear(power);
    exponent += lowest;
    return true;
}

namespace {

void roots_of_squarefree(const fmpz_poly_struct* f, slong prec, std::vector<AcbNumber>& out) {
    slong degree = fmpz_poly_degree(f);
    if (degree <= 0) return;
    acb_ptr found = _acb_vec_init(degree);
    arb_fmpz_poly_complex_roots(found, f, 0, prec);
    for (slong i = 0; i < degree; ++i) {
        AcbNumber z;
        acb_set(z.get(), found + i);
        out.push_back(z);
    }
    _acb_vec_clear(found, degree);
}

// The roots of a square-free f. Those of g = gcd(f(s), f(-s)) come as a set closed under
// z -> -conj(z); a ball of g whose mirror hull (the box from -|Re| to |Re|) meets no other
// ball of g holds a root equal to its own mirror image, so a root on the imaginary axis.
void roots_with_axis(const fmpz_poly_struct* f, slong prec, std::vector<AcbNumber>& out) {
    FmpzPoly reflected, g, rest;
    fmpz_poly_set(reflected.get(), f);
    for (slong i = 1; i < fmpz_poly_length(f); i += 2) fmpz_neg(reflected.get()->coeffs + i, reflected.get()->coeffs + i);
    fmpz_poly_gcd(g.get(), f, reflected.get());
    if (fmpz_poly_degree(g.get()) <= 0) {
        roots_of_squarefree(f, prec, out);
        return;
    }
    fmpz_poly_div(rest.get(), f, g.get());
    roots_of_squarefree(rest.get(), prec, out);
    std::vector<AcbNumber> symmetric;
    roots_of_squarefree(g.get(), prec, symmetric);
    for (std::size_t i = 0; i < symmetric.size(); ++i) {
        acb_ptr z = symmetric[i].get();
        if (!arb_contains_zero(acb_realref(z))) continue;
        AcbNumber hull;
        arf_t extent;
        arf_init(extent);
        arb_get_abs_ubound_arf(extent, acb_realref(z), prec);
        arb_zero(acb_realref(hull.get()));
        mag_set_ui(arb_radref(acb_realref(hull.get())), 0);
        arf_get_mag(arb_radref(acb_realref(hull.get())), extent);
        arf_clear(extent);
        arb_set(acb_imagref(hull.get()), acb_imagref(z));
        bool alone = true;
        for (std::size_t j = 0; j < symmetric.size() && alone; ++j)
            alone = j == i || !acb_overlaps(hull.get(), symmetric[j].get());
        if (alone) arb_zero(acb_realref(z));
    }
    for (const AcbNumber& z : symmetric) out.push_back(z);
}

}  // namespace

std::vector<CertifiedRoot> certified_roots(const fmpz_poly_struct* p, slong prec) {
    std::vector<CertifiedRoot> roots;
    fmpz_poly_factor_t factors;
    fmpz_poly_factor_init(factors);
    fmpz_poly_factor_squarefree(factors, p);
    for (slong f = 0; f < factors->num; ++f) {
        std::vector<AcbNumber> found;
        roots_with_axis(factors->p + f, prec, found);
        for (const AcbNumber& z : found) {
            CertifiedRoot item;
            item.value = z;
            item.multiplicity = static_cast<int>(factors->exp[f]);
            roots.push_back(item);
        }
    }
    fmpz_poly_factor_clear(factors);
    return roots;
}

CertifiedPolynomialRoots certified_polynomial_roots(const WidePolynomial& p, double scale, slong prec) {
    CertifiedPolynomialRoots r;
    int degree = p.degree();
    while (degree > 0 && p.c[static_cast<std::size_t>(degree)] == 0.0) --degree;
    r.degree = degree;
    FmpzPoly integers;
    long exponent = 0;
    if (p.Cte == 0.0 || !exact_integers(p.c.data(), static_cast<std::size_t>(degree) + 1, integers, exponent)) {
        r.identically_zero = true;
        return r;
    }
    ArbNumber w;
    arb_set_d(w.get(), scale);
    arb_set_d(r.leading.get(), p.Cte);
    arb_mul_2exp_si(r.leading.get(), r.leading.get(), exponent);
    {
        ArbNumber lead, power;
        arb_set_fmpz(lead.get(), fmpz_poly_lead(integers.get()));
        arb_mul(r.leading.get(), r.leading.get(), lead.get(), prec);
        arb_pow_ui(power.get(), w.get(), static_cast<ulong>(degree), prec);
        arb_div(r.leading.get(), r.leading.get(), power.get(), prec);
    }
    while (r.roots_at_origin < degree && p.c[static_cast<std::size_t>(r.roots_at_origin)] == 0.0) ++r.roots_at_origin;
    if (r.roots_at_origin > 0) fmpz_poly_shift_right(integers.get(), integers.get(), r.roots_at_origin);
    if (fmpz_poly_degree(integers.get()) < 1) return r;
    r.roots = certified_roots(integers.get(), prec);
    if (scale != 1.0)
        for (CertifiedRoot& root : r.roots) acb_mul_arb(root.value.get(), root.value.get(), w.get(), prec);
    return r;
}

}  // namespace quorvat
