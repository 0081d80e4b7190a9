#include "plot/plot_keys.h"

#include <cmath>

namespace quorvat {

namespace {

// Left, right, A and R on the frequency limits.
void frequency_key(int key, PlotSettings& s, bool log_axis) {
    if (log_axis) {
        double q = std::sqrt(std::sqrt(s.wmax / s.wmin));
        switch (key) {
            case key_left: s.wmin = s.wmin / q; s.wmax = s.wmax / q; break;
            case key_right: s.wmin = s.wmin * q; s.wmax = s.wmax * q; break;
            case key_a: s.wmax = std::sqrt(s.wmax / s.wmin) * s.wmin; break;
            case key_r: s.wmax = (s.wmax * s.wmax) / (s.wmin * s.wmin) * s.wmin; break;
        }
        return;
    }
    double d = (s.wmax - s.wmin) * 0.25;
    switch (key) {
        case key_left: s.wmin = s.wmin - d; s.wmax = s.wmax - d; break;
        case key_right: s.wmin = s.wmin + d; s.wmax = s.wmax + d; break;
        case key_a: s.wmax = (s.wmax - s.wmin) * 0.5 + s.wmin; break;
        case key_r: s.wmax = (s.wmax - s.wmin) * 2 + s.wmin; break;
    }
}

}  // namespace

bool usable_range(double low, double high, bool ratio) {
    if (!std::isfinite(low) || !std::isfinite(high) || low == high) return false;
    if (!ratio) return true;
    double quotient = high / low;
    return std::isfinite(quotient) && quotient > 1.0;
}

bool apply_plot_key(int key, PlotSettings& settings, bool log_axis, int32_t& recompute_needed) {
    // The key works on a copy, kept only when the ranges it gives stay usable.
    PlotSettings s = settings;
    switch (key) {
        case key_left:
        case key_right:
        case key_a:
        case key_r:
            // The ratios need two positive limits; until a paint has made the axis linear
            // the key is ignored.
            if (log_axis && !frequency_limits_positive(s)) return true;
            frequency_key(key, s, log_axis);
            if (!usable_range(s.wmin, s.wmax, log_axis)) return true;
            settings = s;
            recompute_needed = 1;
            return true;
        case key_up: {
            double d = (s.gmax - s.gmin) * 0.5;
            s.gmin = s.gmin + d;
            s.gmax = s.gmax + d;
            break;
        }
        case key_down: {
            double d = (s.gmax - s.gmin) * 0.5;
            s.gmin = s.gmin - d;
            s.gmax = s.gmax - d;
            break;
        }
        case key_keypad_add: s.gmax = (s.gmax + s.gmin) * 0.5; break;
        case key_keypad_subtract: s.gmax = 2 * s.gmax - s.gmin; break;
        default: return false;
    }
    if (usable_range(s.gmin, s.gmax, false)) settings = s;
    return true;
}

}  // namespace quorvat
