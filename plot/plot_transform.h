// From values to pixels: the plot rectangle, the linear maps of the three quantities and
// of the frequency axis, the clamped rows, the point columns and the grid positions.
// Pure arithmetic, no Qt, so that the painter and the tests share every rule.
#pragma once

#include <cstdint>
#include <vector>

#include "plot/response.h"

namespace quorvat {

/// The plot rectangle of a paint box width x height, in pixels.
struct PlotRect {
    int32_t left = 0;     // 70
    int32_t right = 0;    // width - 10
    int32_t top = 0;      // 10
    int32_t bottom = 0;   // height - 18
};

PlotRect plot_rect(int32_t width, int32_t height);

/// pixel = scale * value + offset for each quantity. On a logarithmic axis the frequency
/// map applies to ln w and freq_step is a ratio; on a linear one to w, and a difference.
struct PlotTransform {
    double freq_step = 0.0;
    double freq_scale = 0.0;
    double freq_offset = 0.0;
    double x_step = 0.0;        // columns per grid point
    double x_origin = 0.0;      // column of grid point 0
    double gain_scale = 0.0, gain_offset = 0.0;
    double phase_scale = 0.0, phase_offset = 0.0;
    double delay_scale = 0.0, delay_offset = 0.0;
};

/// wmin maps to rect.left and wmax to rect.right; gmin, fmin, amin to rect.bottom and
/// gmax, fmax, amax to rect.top. settings.segments must be at least 1.
PlotTransform make_transform(const PlotSettings& settings, const PlotRect& rect, bool log_axis);

/// The row of a value, clamped into rect.top..rect.bottom; a NaN row gives rect.bottom.
int32_t value_to_row(const PlotRect& rect, double scale, double offset, double value);

/// The column of grid point k: floor(k * x_step + x_origin + 0.5). Not clamped.
int32_t point_column(const PlotTransform& transform, int k);

/// A quantity whose range has no span (equal limits, or limits so large that the map is
/// not finite) gets no curve and no labels.
bool range_usable(double scale, double offset);

struct GridLine {
    int32_t position;   // column of a frequency line, row of a magnitude line
    bool decade;        // drawn yellow: a decade of a logarithmic axis
};

/// The columns of the frequency grid, left to right. Empty when the rounded step is not
/// positive and finite (a reversed or empty range); lines whose column is not a
/// representable pixel are left out.
std::vector<GridLine> frequency_grid(const PlotSettings& settings, const PlotTransform& transform, bool log_axis);

/// The rows of the magnitude grid, bottom to top, on the same conditions.
std::vector<GridLine> magnitude_grid(const PlotSettings& settings, const PlotRect& rect,
                                     const PlotTransform& transform);

}  // namespace quorvat
