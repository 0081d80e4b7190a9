#include "numeric/roots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "certified/certified_roots.h"
#include "engine/c_locale.h"
#include "engine/fp_fault.h"

namespace quorvat {

namespace {

constexpr slong first_precision = 64;
constexpr slong last_precision = 4096;  // a number still undecided here sits on a rounding tie

std::string ten_digits(double v) {
    if (v == 0.0) v = 0.0;  // no "-0"
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

// x with 10 significant digits when every value of the ball prints the same; otherwise
// the midpoint's digits, and decided becomes false.
std::string number(const arb_t x, bool& decided) {
    if (arb_is_zero(x)) return "0";
    arf_t low, high;
    arf_init(low);
    arf_init(high);
    arb_get_lbound_arf(low, x, last_precision);
    arb_get_ubound_arf(high, x, last_precision);
    double lower = arf_get_d(low, ARF_RND_FLOOR), upper = arf_get_d(high, ARF_RND_CEIL);
    arf_clear(low);
    arf_clear(high);
    if (std::isnormal(lower) && std::isnormal(upper)) {
        std::string a = ten_digits(lower), b = ten_digits(upper);
        if (a == b) return a;
        decided = false;
        return ten_digits(arf_get_d(arb_midref(x), ARF_RND_NEAR));
    }
    // Beyond the double range: arb's own decimal form.
    if (arb_rel_accuracy_bits(x) < 40) decided = false;
    char* text = arb_get_str(x, 10, ARB_STR_NO_RADIUS);
    std::string out = text;
    flint_free(text);
    return out;
}

struct Side {
    CertifiedPolynomialRoots roots;
    bool searched = true;  // false: the degree is beyond max_root_degree
};

Side roots_of(const WidePolynomial& p, double scale, slong prec) {
    Side side;
    if (p.degree() > max_root_degree) {
        side.searched = false;
        return side;
    }
    side.roots = certified_polynomial_roots(p, scale, prec);
    // By modulus (to 10 digits, so that roots of one modulus sort by the rest), then the
    // upper root of a pair first, then from the left.
    auto key = [](const CertifiedRoot& r) {
        double re = arf_get_d(arb_midref(acb_realref(r.value.get())), ARF_RND_NEAR);
        double im = arf_get_d(arb_midref(acb_imagref(r.value.get())), ARF_RND_NEAR);
        double log_modulus = std::log(std::hypot(re, im));
        if (!std::isfinite(log_modulus)) log_modulus = log_modulus > 0 ? 1e5 : -1e5;  // beyond the doubles
        return std::make_tuple(std::llround(log_modulus * 1e10), -im, re);
    };
    std::stable_sort(side.roots.roots.begin(), side.roots.roots.end(),
                     [&](const CertifiedRoot& a, const CertifiedRoot& b) { return key(a) < key(b); });
    return side;
}

std::string multiplicity(int m) { return m > 1 ? "  (multiplicidade " + std::to_string(m) + ")" : ""; }

// Lines for one set of roots: real roots alone, complex pairs once with ω0 and Q.
void describe_roots(std::string& out, const char* title, const Side& side, const WidePolynomial& p, slong prec,
                    bool& decided) {
    const CertifiedPolynomialRoots& r = side.roots;
    if (!side.searched) {
        out += std::string(title) + ": " + std::to_string(p.degree()) + "\n  raízes não calculadas: grau acima de " +
               std::to_string(max_root_degree) + "\n";
        return;
    }
    if (r.identically_zero) {
        out += std::string(title) + ": polinômio identicamente nulo\n";
        return;
    }
    int count = r.roots_at_origin;
    for (const CertifiedRoot& z : r.roots) count += z.multiplicity;
    out += std::string(title) + ": " + std::to_string(count) + "\n";
    if (r.roots_at_origin > 0) out += "  0" + multiplicity(r.roots_at_origin) + "\n";
    ArbNumber w0, q;
    for (const CertifiedRoot& root : r.roots) {
        acb_srcptr z = root.value.get();
        if (arb_is_zero(acb_imagref(z))) {
            out += "  " + number(acb_realref(z), decided) + multiplicity(root.multiplicity) + "\n";
            continue;
        }
        if (arf_sgn(arb_midref(acb_imagref(z))) < 0) continue;  // printed with its conjugate
        acb_abs(w0.get(), z, prec);
        std::string quality = "infinito";
        if (!arb_is_zero(acb_realref(z))) {
            arb_mul_si(q.get(), acb_realref(z), -2, prec);
            arb_div(q.get(), w0.get(), q.get(), prec);
            quality = number(q.get(), decided);
        }
        out += "  " + number(acb_realref(z), decided) + " ± " + number(acb_imagref(z), decided) +
               "j  (ω0 = " + number(w0.get(), decided) + ", Q = " + quality + ")" + multiplicity(root.multiplicity) + "\n";
    }
}

std::string report(const WidePolynomial& numerator, const WidePolynomial& denominator, double numerator_scale,
                   double denominator_scale, slong prec, bool& decided, bool& complete) {
    Side zeros = roots_of(numerator, numerator_scale, prec), poles = roots_of(denominator, denominator_scale, prec);
    std::string out;
    if (numerator_scale != 1.0 || denominator_scale != 1.0) {
        char line[200];
        std::snprintf(line, sizeof line,
                      "Escala de frequência: arquivos em função de s/W (W = %.17g rad/s no numerador, %.17g no "
                      "denominador); ganho, zeros e polos em s, em rad/s.\n",
                      numerator_scale, denominator_scale);
        out += line;
    }
    if (!zeros.searched || !poles.searched || zeros.roots.identically_zero || poles.roots.identically_zero) {
        out += "Ganho: indefinido\n";
    } else {
        ArbNumber gain;
        arb_div(gain.get(), zeros.roots.leading.get(), poles.roots.leading.get(), prec);
        out += "Ganho: " + number(gain.get(), decided) + "\n";
    }
    describe_roots(out, "Zeros", zeros, numerator, prec, decided);
    describe_roots(out, "Polos", poles, denominator, prec, decided);
    complete = zeros.searched && poles.searched;
    return out;
}

}  // namespace

std::string describe_poles_and_zeros(const WidePolynomial& numerator, const WidePolynomial& denominator,
                                     double numerator_scale, double denominator_scale, bool* complete) {
    CLocaleScope c_numbers;
    FpFlagsGuard keep_flags;
    std::string out;
    bool all = true;
    for (slong prec = first_precision; prec <= last_precision; prec *= 2) {
        bool decided = true;
        out = report(numerator, denominator, numerator_scale, denominator_scale, prec, decided, all);
        if (decided) break;
    }
    if (complete) *complete = all;
    return out;
}

}  // namespace quorvat
