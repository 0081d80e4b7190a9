#include "plot/response.h"

#include <cassert>
#include <cmath>
#include <limits>

#include "certified/arb_types.h"
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

namespace {

// Double-double numbers: hi + lo with |lo| <= ulp(hi)/2, about 104 bits.
struct DoubleDouble {
    double hi = 0.0, lo = 0.0;
};

DoubleDouble renormalised(double hi, double lo) {
    double s = hi + lo;
    return {s, lo - (s - hi)};
}

DoubleDouble times(DoubleDouble x, double d) {
    double p = x.hi * d;
    return renormalised(p, std::fma(x.hi, d, -p) + x.lo * d);
}

DoubleDouble plus(DoubleDouble x, double c) {
    double s = x.hi + c, b = s - x.hi;
    return renormalised(s, (x.hi - (s - b)) + (c - b) + x.lo);
}

DoubleDouble add(DoubleDouble x, DoubleDouble y) {
    double s = x.hi + y.hi, b = s - x.hi;
    return renormalised(s, (x.hi - (s - b)) + (y.hi - b) + x.lo + y.lo);
}

double value(DoubleDouble x) { return x.hi + x.lo; }

// ln|p(jx)|, arg p(jx) and Re(p'(jx) / p(jx)) of a real polynomial.
struct PointValue {
    double log_magnitude = 0.0, angle = 0.0, slope = 0.0;
};

// Horner at jx in double-double (a product by jx is a swap and a product by x), with the
// sums of |c[i]| x^i and i |c[i]| x^(i-1) that bound the rounding error. False when the
// bound is not within 1e-13 of the value or something overflowed.
bool double_double_value(const WidePolynomial& p, double x, PointValue& out) {
    DoubleDouble re, im, slope_re, slope_im;
    double bound = 0.0, slope_bound = 0.0;
    const double ax = std::fabs(x);
    for (std::size_t i = p.c.size(); i-- > 0;) {
        // slope := slope * jx + value; value := value * jx + c[i]
        DoubleDouble next_slope_re = add(times(slope_im, -x), re);
        slope_im = add(times(slope_re, x), im);
        slope_re = next_slope_re;
        DoubleDouble next_re = plus(times(im, -x), p.c[i]);
        im = times(re, x);
        re = next_re;
        slope_bound = slope_bound * ax + bound;
        bound = bound * ax + std::fabs(p.c[i]);
    }
    const double r = value(re), j = value(im), sr = value(slope_re), sj = value(slope_im);
    const double magnitude = std::hypot(r, j), slope_magnitude = std::hypot(sr, sj);
    // Horner's error is below 2n u times the bound; u = 2^-100 leaves a margin on the 104 bits.
    const double n = static_cast<double>(p.c.size());
    const double reach = 2 * n * std::ldexp(1.0, -100) / 1e-13;
    if (!std::isfinite(magnitude) || !std::isfinite(slope_magnitude) || !std::isfinite(bound) ||
        !std::isfinite(slope_bound) || magnitude == 0.0 || bound * reach > magnitude ||
        (slope_bound != 0.0 && slope_bound * reach > slope_magnitude))
        return false;
    out.log_magnitude = std::log(magnitude);
    out.angle = std::atan2(j, r);
    out.slope = sr / magnitude * (r / magnitude) + sj / magnitude * (j / magnitude);  // no square overflows
    return true;
}

// The same in arb's balls, the precision doubling until each is known to 50 bits; false
// where p(jx) is 0 or the precision would pass 16384 bits or 8e6 bits over all the
// coefficients (a file of degree 40,000 gets one try at 128 bits, about 4 ms a point).
bool arb_value(const WidePolynomial& p, double x, PointValue& out) {
    AcbPoly poly, derivative;
    AcbNumber s, v, d, t;
    for (std::size_t i = 0; i < p.c.size(); ++i) {
        acb_set_d(t.get(), p.c[i]);
        acb_poly_set_coeff_acb(poly.get(), static_cast<slong>(i), t.get());
    }
    acb_poly_derivative(derivative.get(), poly.get(), 64);  // exact: small integer multiples
    acb_zero(s.get());
    arb_set_d(acb_imagref(s.get()), x);
    const double coefficients = static_cast<double>(p.c.size());
    for (slong prec = 128; prec <= 16384 && (prec == 128 || coefficients * prec <= 8e6); prec *= 2) {
        acb_poly_evaluate(v.get(), poly.get(), s.get(), prec);
        acb_poly_evaluate(d.get(), derivative.get(), s.get(), prec);
        if (acb_rel_accuracy_bits(v.get()) < 50) continue;
        acb_div(d.get(), d.get(), v.get(), prec);
        if (!acb_is_zero(d.get()) && arb_rel_accuracy_bits(acb_realref(d.get())) < 50 &&
            !arb_is_zero(acb_realref(d.get())))
            continue;
        ArbNumber a;
        acb_abs(a.get(), v.get(), prec);
        arb_log(a.get(), a.get(), prec);
        out.log_magnitude = arf_get_d(arb_midref(a.get()), ARF_RND_NEAR);
        acb_arg(a.get(), v.get(), prec);
        out.angle = arf_get_d(arb_midref(a.get()), ARF_RND_NEAR);
        out.slope = arf_get_d(arb_midref(acb_realref(d.get())), ARF_RND_NEAR);
        return std::isfinite(out.log_magnitude);
    }
    return false;
}

bool point_value(const WidePolynomial& p, double x, PointValue& out) {
    return double_double_value(p, x, out) || arb_value(p, x, out);
}

}  // namespace

void wide_response(const WideCurve& curve, double omega, double& gain, double& phase, double& delay) {
    gain = phase = delay = not_drawn;
    if (curve.num.Cte == 0.0 || curve.den.Cte == 0.0) return;
    PointValue n, d;
    if (!point_value(curve.num, omega / curve.num_scale, n) || !point_value(curve.den, omega / curve.den_scale, d))
        return;
    double log_magnitude = std::log(std::fabs(curve.num.Cte)) - std::log(std::fabs(curve.den.Cte)) +
                           n.log_magnitude - d.log_magnitude;
    double angle = n.angle - d.angle + ((curve.num.Cte < 0.0) != (curve.den.Cte < 0.0) ? two_pi / 2 : 0.0);
    double g = 20 * log_magnitude / std::log(10.0);
    double f = std::remainder(angle, two_pi) * 180 * static_cast<double>(inverse_pi);
    double a = d.slope / curve.den_scale - n.slope / curve.num_scale;
    if (std::isfinite(g) && std::isfinite(f)) {
        gain = g;
        phase = f;
        if (std::isfinite(a)) delay = a;
    }
}

void evaluate_response(const CurveTable& curves, bool hz, int k, double w, ResponseTable& table) {
    assert(k >= 0 && k < max_points);
    for (int j = 1; j <= curves.curve_count; ++j) {
        if (curves.wide[j].used) {
            wide_response(curves.wide[j], hz ? two_pi * w : w, table.gain[j - 1][k], table.phase[j - 1][k],
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
