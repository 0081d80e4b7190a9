// The picture of the plot window, painted by one function over a QPainter and a size:
// Form5 paints itself with it, the tests and quorvat-cli paint QImages with it.
#pragma once

#include <QFont>

#include "plot/response.h"

class QPainter;

namespace quorvat {

/// The font of the plot labels. The design's font is "MS Sans Serif" 8 pt, characters
/// 11 pixels high, which Linux does not have: a sans serif (DejaVu Sans) of pixel size
/// 11, without antialiasing, like the bitmap font it stands for.
QFont plot_font();

/// Paints a paint box of width x height: the black background and, when plot_ready,
/// the grid, the frame, the labels and the curves, the last curve of the list first.
/// Evaluates the responses first when recompute_needed is set (and clears it); unchecks
/// checks.log when a frequency limit is not positive. Lines leave out their end point,
/// like the line-to of the design. Never throws; the floating-point status flags are
/// left as they were.
void paint_plot(QPainter& painter, int width, int height, PlotterState& state, PlotChecks& checks);

}  // namespace quorvat
