#include "plot/plot_transform.h"

#include <cassert>
#include <cmath>

namespace quorvat {

namespace {

// Pixels further out than this are not drawn: QPainter's fixed-point rasteriser would
// overflow long before, and a line there is off any screen.
constexpr double pixel_limit = 1e6;

// More lines than a logarithmic axis over the whole double range can have (about 620
// decades of 9 lines): a bound that makes every grid loop finite whatever the limits.
constexpr std::size_t max_grid_lines = 10000;

bool to_pixel(double rounded, int32_t& pixel) {
    if (!(std::fabs(rounded) < pixel_limit)) return false;
    pixel = static_cast<int32_t>(rounded);
    return true;
}

// d rounded down to a power of ten; the logarithm as ln d / ln 10.
double power_of_ten_below(double d) { return std::pow(10.0, std::floor(std::log(d) / std::log(10.0))); }

bool usable_step(double d) { return d > 0.0 && std::isfinite(d); }

}  // namespace

PlotRect plot_rect(int32_t width, int32_t height) { return {70, width - 10, 10, height - 18}; }

PlotTransform make_transform(const PlotSettings& s, const PlotRect& rect, bool log_axis) {
    assert(s.segments >= 1);
    PlotTransform t;
    t.freq_step = frequency_step(s, log_axis);
    if (log_axis) {
        t.freq_scale = (rect.right - rect.left) / std::log(s.wmax / s.wmin);
        t.freq_offset = rect.right - std::log(s.wmax) * t.freq_scale;
    } else {
        t.freq_scale = (rect.right - rect.left) / (s.wmax - s.wmin);
        t.freq_offset = rect.right - t.freq_scale * s.wmax;
    }
    t.x_step = (rect.right - rect.left) * 1.0 / s.segments;
    t.x_origin = rect.left;
    t.gain_scale = (rect.bottom - rect.top) / (s.gmin - s.gmax);
    t.gain_offset = rect.bottom - t.gain_scale * s.gmin;
    t.phase_scale = (rect.bottom - rect.top) / (s.fmin - s.fmax);
    t.phase_offset = rect.bottom - t.phase_scale * s.fmin;
    t.delay_scale = (rect.bottom - rect.top) / (s.amin - s.amax);
    t.delay_offset = rect.bottom - t.delay_scale * s.amin;
    return t;
}

int32_t value_to_row(const PlotRect& rect, double scale, double offset, double value) {
    double y = value * scale + offset;
    if (y < rect.top) return rect.top;
    if (y <= rect.bottom) return static_cast<int32_t>(std::floor(y + 0.5));
    return rect.bottom;
}

int32_t point_column(const PlotTransform& transform, int k) {
    return static_cast<int32_t>(std::floor(k * transform.x_step + transform.x_origin + 0.5));
}

bool range_usable(double scale, double offset) {
    return std::isfinite(scale) && scale != 0.0 && std::isfinite(offset);
}

std::vector<GridLine> frequency_grid(const PlotSettings& s, const PlotTransform& t, bool log_axis) {
    std::vector<GridLine> lines;
    double d = (log_axis && s.wmax - s.wmin > s.wmin) ? s.wmin : s.wmax - s.wmin;
    // The offset 0.000001 before the floor keeps an exact power of ten whose logarithm
    // comes out just below the integer.
    d = std::pow(10.0, std::floor(std::log(d) / std::log(10.0) - 0.499999 + 0.5));
    if (!usable_step(d)) return lines;
    double x = std::floor(s.wmin / d + 1) * d;
    while (x < s.wmax && lines.size() < max_grid_lines) {
        bool decade = false;
        if (log_axis && std::floor(x / d + 0.5) == 10) {
            d *= 10;
            decade = true;
        }
        double column = log_axis ? std::floor(std::log(x) * t.freq_scale + t.freq_offset + 0.5)
                                 : std::floor(t.freq_scale * x + t.freq_offset + 0.5);
        int32_t pixel = 0;
        if (to_pixel(column, pixel)) lines.push_back({pixel, decade});
        double next = x + d;
        if (!(next > x)) break;  // a step below the resolution of x would never advance
        x = next;
    }
    return lines;
}

std::vector<GridLine> magnitude_grid(const PlotSettings& s, const PlotRect& rect, const PlotTransform& t) {
    std::vector<GridLine> lines;
    // No offset here: a width that is an exact power of ten may get a step ten times
    // smaller when its logarithm comes out just below the integer.
    double d = power_of_ten_below(s.gmax - s.gmin);
    if (!usable_step(d) || !range_usable(t.gain_scale, t.gain_offset)) return lines;
    double y = std::floor(s.gmin / d + 1) * d;
    while (y < s.gmax && lines.size() < max_grid_lines) {
        lines.push_back({value_to_row(rect, t.gain_scale, t.gain_offset, y), false});
        double next = y + d;
        if (!(next > y)) break;
        y = next;
    }
    return lines;
}

}  // namespace quorvat
