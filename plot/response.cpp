#include "plot/response.h"

#include <cassert>
#include <cmath>
#include <limits>

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

void evaluate_response(const CurveTable& curves, bool hz, int k, double w, ResponseTable& table) {
    assert(k >= 0 && k < max_points);
    for (int j = 1; j <= curves.curve_count; ++j) {
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
