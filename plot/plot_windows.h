// What the two plot windows see of each other, so that neither includes the other: the
// file window (Form4) shows and hides the plot through PlotDisplay, and the plot window
// (Form5) paints and moves the plot of a PlotSource.
#pragma once

#include "plot/response.h"

namespace quorvat {

/// The plot window as Plotar uses it.
class PlotDisplay {
public:
    virtual ~PlotDisplay() = default;
    virtual void hide_plot() = 0;
    /// Repaints the plot and brings its window to the front.
    virtual void show_plot() = 0;
};

/// The plotter's state and its check boxes, read at each paint and each key.
class PlotSource {
public:
    virtual ~PlotSource() = default;
    virtual PlotterState& plotter() = 0;
    virtual PlotChecks checks() const = 0;
    /// Unchecks "Frequências em escala logarítmica" (the paint found a limit not positive).
    virtual void uncheck_log() = 0;
};

}  // namespace quorvat
