#include "plot/response.h"

#include <cassert>
#include <cmath>
#include <limits>

#include "certified/certified_roots.h"
#include "engine/fp_fault.h"

namespace quorvat {

namespace {

constexpr double not_drawn = std::numeric_limits<double>::quiet_NaN();
// 1/pi in extended precision: the phase is scaled to degrees with it.
constexpr long double inverse_pi = 0.318309886183790671537767526745028724L;

}  // namespace

double complex_divide(double a, double b, double c, double d, double& quotient_imag) {
    if (c == 0.0 || d == 0.0) {
        double t = 1.0 / (c * c + d * d);
        quotient_imag = (b * c - a * d) * t;
        return (a * c + b * d) * t;
    }
    double t = 1.0 / (c / d + d / c);
    quotient_imag = (b / d - a / c) * t;
    return (a / d + b / c) * t;
}

ComplexValue value_at(const ResultPolynomial& p, double w) {
    double re = 0.0, im = 0.0;
    for (int i = p.degree; i >= 0; --i) {
        double t = re * w;
        re = p.c[i] - w * im;
        im = t;
    }
    return {re, im};
}

ComplexValue derivative_at(const ResultPolynomial& p, double w) {
    double re = 0.0, im = 0.0;
    for (int i = p.degree; i >= 1; --i) {
        double t = re * w;
        re = i * p.c[i] - w * im;
        im = t;
    }
    return {re, im};
}

FactoredPolynomial factor_polynomial(const WidePolynomial& p, double scale) {
    FactoredPolynomial f;
    if (p.degree() > max_root_degree) return f;
    constexpr slong prec = 64;
    CertifiedPolynomialRoots r = certified_polynomial_roots(p, scale, prec);
    if (r.identically_zero) return f;
    ArbNumber magnitude;
    arb_abs(magnitude.get(), r.leading.get());
    arb_log(magnitude.get(), magnitude.get(), prec);
    f.log_leading = arf_get_d(arb_midref(magnitude.get()), ARF_RND_NEAR);
    f.negative = arb_is_negative(r.leading.get());
    f.zero = !std::isfinite(f.log_leading);
    f.roots_at_origin = r.roots_at_origin;
    for (const CertifiedRoot& root : r.roots) {
        std::complex<double> z(arf_get_d(arb_midref(acb_realref(root.value.get())), ARF_RND_NEAR),
                               arf_get_d(arb_midref(acb_imagref(root.value.get())), ARF_RND_NEAR));
        f.roots.insert(f.roots.end(), static_cast<std::size_t>(root.multiplicity), z);
    }
    return f;
}

namespace {

// Adds sign * (ln|jω - z|, arg(jω - z), Re 1/(jω - z)) to the sums.
void add_factor(double omega, std::complex<double> z, double sign, double& log_magnitude, double& angle, double& slope) {
    double re = -z.real(), im = omega - z.imag();
    double magnitude = std::hypot(re, im);
    log_magnitude += sign * std::log(magnitude);
    angle += sign * std::atan2(im, re);
    slope += sign * re / magnitude / magnitude;
}

}  // namespace

void factored_response(const FactoredCurve& curve, double omega, double& gain, double& phase, double& delay) {
    gain = phase = delay = not_drawn;
    if (curve.num.zero || curve.den.zero) return;
    double log_magnitude = curve.num.log_leading - curve.den.log_leading;
    double angle = curve.num.negative != curve.den.negative ? two_pi / 2 : 0.0;
    double slope = 0.0;  // Re(N'/N) - Re(D'/D) at jω
    int origin = curve.num.roots_at_origin - curve.den.roots_at_origin;
    if (origin != 0) {
        log_magnitude += origin * std::log(std::fabs(omega));
        angle += origin * (omega < 0.0 ? -two_pi / 4 : two_pi / 4);
    }
    for (const std::complex<double>& z : curve.num.roots) add_factor(omega, z, 1.0, log_magnitude, angle, slope);
    for (const std::complex<double>& p : curve.den.roots) add_factor(omega, p, -1.0, log_magnitude, angle, slope);
    double g = 20 * log_magnitude / std::log(10.0);
    double f = std::remainder(angle, two_pi) * 180 * static_cast<double>(inverse_pi);
    if (std::isfinite(g) && std::isfinite(f)) {
        gain = g;
        phase = f;
        if (std::isfinite(slope)) delay = -slope;
    }
}

void evaluate_response(const CurveTable& curves, bool hz, int k, double w, ResponseTable& table) {
    assert(k >= 0 && k < max_points);
    for (int j = 1; j <= curves.curve_count; ++j) {
        if (curves.factored[j].used) {
            factored_response(curves.factored[j], hz ? two_pi * w : w, table.gain[j - 1][k], table.phase[j - 1][k],
                              table.delay[j - 1][k]);
            continue;
        }
        const ResultPolynomial& num = curves.curve_num[j];
        const ResultPolynomial& den = curves.curve_den[j];
        double gain_factor = num.Cte / den.Cte;
        double omega = hz ? two_pi * w : w;
        ComplexValue d = value_at(den, omega);
        ComplexValue d1 = derivative_at(den, omega);
        ComplexValue n = value_at(num, omega);
        ComplexValue n1 = derivative_at(num, omega);

        double imag = 0.0;
        double re = gain_factor * complex_divide(n.re, n.im, d.re, d.im, imag);
        double im = gain_factor * imag;
        // A zero real part would give the logarithm and the arctangent (0, 0).
        if (re == 0.0) {
            if (im == 0.0) im = 1e-11;
            re = im * 1e-11;
        }
        double phase = std::atan2(im, re) * 180 * inverse_pi;
        double gain = 10 * std::log(re * re + im * im) / std::log(10.0);
        // K cancels in the delay: -d(arg H)/dw = Re(D'/D) - Re(N'/N).
        double delay = complex_divide(d1.re, d1.im, d.re, d.im, imag) - complex_divide(n1.re, n1.im, n.re, n.im, imag);

        // A point that divided by zero or overflowed is not drawn. Where H itself is not
        // finite (a pole hit exactly, a denominator Cte of 0) none of the three is; a
        // numerator that is 0 there takes only the delay away.
        bool h_finite = std::isfinite(re) && std::isfinite(im);
        table.gain[j - 1][k] = h_finite && std::isfinite(gain) ? gain : not_drawn;
        table.phase[j - 1][k] = h_finite && std::isfinite(phase) ? phase : not_drawn;
        table.delay[j - 1][k] = h_finite && std::isfinite(delay) ? delay : not_drawn;
    }
    table.frequency[k] = w;
}

bool resolve_log_axis(const PlotSettings& settings, PlotChecks& checks) {
    if (!frequency_limits_positive(settings)) checks.log = false;
    return checks.log;
}

double frequency_step(const PlotSettings& settings, bool log_axis) {
    if (log_axis) return std::pow(settings.wmax / settings.wmin, 1.0 / settings.segments);
    return (settings.wmax - settings.wmin) / settings.segments;
}

void evaluate_pending(PlotterState& state, bool log_axis, bool hz) {
    if (!state.recompute_needed) return;
    assert(state.settings.segments >= 1 && state.settings.segments <= max_segments);
    FpFlagsGuard keep_flags;
    fp_clear();
    double step = frequency_step(state.settings, log_axis);
    double w = state.settings.wmin;
    for (int k = 0; k <= state.settings.segments; ++k) {
        evaluate_response(state.curves, hz, k, w, state.response);
        w = next_frequency(w, step, log_axis);
    }
    state.recompute_needed = 0;
}

}  // namespace quorvat
