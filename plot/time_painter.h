// The picture of responses in time, x(t) against t, in the plot window's style: black
// background, dotted grey grid, white frame, the plot's font, the first curve white.
#pragma once

#include <string>
#include <vector>

class QPainter;

namespace quorvat {

struct TimeCurves {
    std::vector<double> times;                 // increasing
    std::vector<std::vector<double>> values;   // one row per curve, one value per time
    std::string unit;                          // of the values ("V", "A"), may be empty
};

/// The value range of the picture: the curves' extremes and zero, widened by 5% and out to
/// the grid's step; step is that grid step.
struct ValueAxis {
    double low = 0.0, high = 0.0, step = 0.0;
};
ValueAxis value_axis(const TimeCurves& curves);

/// A round step (1, 2 or 5 times a power of ten) near span / 10.
double grid_step(double span);

/// Paints width x height: grid at round steps of t and x (the line of x = 0 yellow), the
/// frame, the limits of both axes with their units (s for t), and the curves in the
/// colours of the list (white, green, red, cyan, magenta, yellow, then again). The value
/// range is value_axis(curves) unless values gives one (the time window's zoom and pan).
void paint_time_plot(QPainter& painter, int width, int height, const TimeCurves& curves,
                     const ValueAxis* values = nullptr);

}  // namespace quorvat
