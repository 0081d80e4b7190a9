// The plotter's tables (settings, curves, responses) and the evaluation of magnitude,
// phase and group delay of every curve on the frequency grid. Pure arithmetic, no Qt.
#pragma once

#include <cstdint>

#include "engine/limits.h"
#include "engine/polynomial.h"

namespace quorvat {

constexpr int max_curves = 20;                 // numerator/denominator pairs of one plot
constexpr int max_segments = 600;              // straight segments of each curve
constexpr int max_points = max_segments + 1;   // grid points of each curve
constexpr double two_pi = 6.283185307179586;   // rad/s per Hz

/// The ranges of the plot, copied from Form4's edit boxes by Plotar and changed in place
/// by the keys. Frequencies are in Hz when CBhz is checked, else in rad/s.
struct PlotSettings {
    double wmin = 0.0, wmax = 0.0;   // left and right edge
    double gmin = 0.0, gmax = 0.0;   // magnitude at the bottom and top edge, dB
    double fmin = 0.0, fmax = 0.0;   // phase at the bottom and top edge, degrees
    double amin = 0.0, amax = 0.0;   // group delay at the bottom and top edge, seconds
    int32_t segments = 0;            // 1..600 after a Plotar
};

/// A curve beyond the design's files (a degree above 30 or a frequency scale): its two
/// files whole, evaluated at true frequencies. In double precision a polynomial of degree
/// 100 can lose every digit near its roots; these are evaluated in double-double with a
/// bound of the rounding error, and where the bound is not small, in arb's balls.
struct WideCurve {
    bool used = false;  // false: the fixed slots hold the curve
    WidePolynomial num, den;
    double num_scale = 1.0, den_scale = 1.0;  // each file holds a function of s/scale
};

/// Curve j (1..curve_count) is curve_num[j].Cte * N_j(s) / (curve_den[j].Cte * D_j(s)),
/// or wide[j] when that is used. Slot 0 is unused. Slots keep their content until a
/// file is read into them; at start every slot is all zero.
struct CurveTable {
    ResultPolynomial curve_num[max_curves + 1]{};
    ResultPolynomial curve_den[max_curves + 1]{};
    WideCurve wide[max_curves + 1];
    int32_t curve_count = 0;
    int32_t awaiting_denominator = 0;   // 1 while the next file read is a denominator
};

/// The responses of the last evaluation: row j - 1 belongs to curve j, column k to grid
/// point k. A point whose evaluation divided by zero or gave a value that is not finite
/// holds NaN there, and the paint does not draw it.
struct ResponseTable {
    double gain[max_curves][max_points];    // dB
    double phase[max_curves][max_points];   // degrees, -180..180, not unwrapped
    double delay[max_curves][max_points];   // seconds
    double frequency[max_points];           // w(k) in the axis unit, as accumulated
};

/// The check boxes of Form4 that the evaluation, the paint and the keys read.
struct PlotChecks {
    bool hz = false;      // CBhz: frequencies in Hz
    bool log = true;      // CBlog: logarithmic frequency axis
    bool grid = true;     // CBgrade
    bool phase = true;    // CBfase
    bool delay = true;    // CBtg
};

/// Everything the plotter keeps between Plotar, the paints and the keys. One instance
/// lives for the whole program (Form4 owns it); it is large, so allocate it on the heap.
struct PlotterState {
    PlotSettings settings;
    CurveTable curves;
    int32_t plot_ready = 0;        // 1 after a complete, successful Plotar
    int32_t recompute_needed = 0;  // 1 when the next paint must evaluate again
    ResponseTable response{};
};

/// The real part of (a + jb) / (c + jd); the imaginary part goes to quotient_imag.
/// When c or d is 0 it divides by c*c + d*d; otherwise it uses the form scaled by 1/(c*d),
/// which forms no square of c or d. A zero divisor gives NaN.
double complex_divide(double a, double b, double c, double d, double& quotient_imag);

/// A complex value R + jI.
struct ComplexValue {
    double re = 0.0;
    double im = 0.0;
};

/// p(jw) by Horner's rule on complex values; a negative degree gives 0.
ComplexValue value_at(const ResultPolynomial& p, double w);

/// p'(jw), the derivative sum of i*c[i]*s^(i-1), by the same rule.
ComplexValue derivative_at(const ResultPolynomial& p, double w);

/// H(jω) of a wide curve, ω in rad/s: gain in dB, phase in degrees (-180..180) and group
/// delay in seconds, each to about 1e-12 relative (where it is defined) and NaN where it
/// is not finite (a pole or zero hit exactly).
void wide_response(const WideCurve& curve, double omega, double& gain, double& phase, double& delay);

/// Fills column k of the response table for curves 1..curves.curve_count at the grid
/// frequency w (Hz when hz, else rad/s). Never throws: the caller keeps the
/// floating-point flags (evaluate_pending does).
void evaluate_response(const CurveTable& curves, bool hz, int k, double w, ResponseTable& table);

/// Both frequency limits above 0 (a NaN limit counts as not positive).
inline bool frequency_limits_positive(const PlotSettings& settings) {
    return settings.wmin > 0.0 && settings.wmax > 0.0;
}

/// The paint's axis rule: a limit that is not positive unchecks checks.log for good.
/// Returns whether the axis is logarithmic.
bool resolve_log_axis(const PlotSettings& settings, PlotChecks& checks);

/// The grid's freq_step: the ratio (wmax/wmin)^(1/segments) on a logarithmic axis, the
/// difference (wmax - wmin)/segments on a linear one.
double frequency_step(const PlotSettings& settings, bool log_axis);

/// w(k+1) from w(k): accumulated point by point, not recomputed from k.
inline double next_frequency(double w, double step, bool log_axis) { return log_axis ? w * step : w + step; }

/// When recompute_needed is set, evaluates every grid point 0..segments into the response
/// table and clears the flag. Leaves the floating-point status flags as it found them.
void evaluate_pending(PlotterState& state, bool log_axis, bool hz);

}  // namespace quorvat
