#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "plot/plot_transform.h"

namespace quorvat {
namespace {

const PlotSettings defaults{0.1, 5.0, -60, 20, -180, 180, -10, 40, 300};
const PlotRect design_rect = plot_rect(680, 442);

std::vector<int32_t> positions(const std::vector<GridLine>& lines, bool decade) {
    std::vector<int32_t> out;
    for (const GridLine& line : lines)
        if (line.decade == decade) out.push_back(line.position);
    return out;
}

// The ideal column of w on the design rectangle, independent of the transform's fields.
int32_t ideal_column(double w, double wmin, double wmax, bool log_axis) {
    double fraction = log_axis ? std::log(w / wmin) / std::log(wmax / wmin) : (w - wmin) / (wmax - wmin);
    return static_cast<int32_t>(std::lround(70 + 600 * fraction));
}

TEST(PlotTransform, DesignFiguresAtTheDesignSize) {
    EXPECT_EQ(design_rect.left, 70);
    EXPECT_EQ(design_rect.right, 670);
    EXPECT_EQ(design_rect.top, 10);
    EXPECT_EQ(design_rect.bottom, 424);
    PlotTransform t = make_transform(defaults, design_rect, true);
    auto gain_row = [&](double v) { return value_to_row(design_rect, t.gain_scale, t.gain_offset, v); };
    auto phase_row = [&](double v) { return value_to_row(design_rect, t.phase_scale, t.phase_offset, v); };
    EXPECT_EQ(gain_row(-3.0103), 129);
    EXPECT_EQ(gain_row(-20), 217);
    EXPECT_EQ(gain_row(25), 10);
    EXPECT_EQ(gain_row(-80), 424);
    EXPECT_EQ(gain_row(20), 10);
    EXPECT_EQ(gain_row(-60), 424);
    EXPECT_EQ(gain_row(NAN), 424);
    EXPECT_EQ(phase_row(0), 217);
    EXPECT_EQ(phase_row(-45), 269);
    for (int k = 0; k <= 300; ++k) EXPECT_EQ(point_column(t, k), 70 + 2 * k);
    // The columns follow the width without a new evaluation.
    PlotTransform wide = make_transform(defaults, plot_rect(1280, 442), true);
    EXPECT_EQ(point_column(wide, 300), 1270);
    EXPECT_EQ(point_column(wide, 150), 670);
}

TEST(FrequencyGrid, DefaultLogarithmicAxis) {
    PlotTransform t = make_transform(defaults, design_rect, true);
    std::vector<GridLine> lines = frequency_grid(defaults, t, true);
    EXPECT_EQ(positions(lines, true), std::vector<int32_t>{423});
    std::vector<int32_t> expected;
    for (double w : {0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 2.0, 3.0, 4.0})
        expected.push_back(ideal_column(w, 0.1, 5, true));
    EXPECT_EQ(positions(lines, false), expected);
}

TEST(FrequencyGrid, LinearAxisAndAnotherLogarithmicOne) {
    PlotSettings s = defaults;
    PlotTransform t = make_transform(s, design_rect, false);
    std::vector<int32_t> expected;
    for (double w : {1.0, 2.0, 3.0, 4.0}) expected.push_back(ideal_column(w, 0.1, 5, false));
    EXPECT_EQ(positions(frequency_grid(s, t, false), false), expected);
    EXPECT_TRUE(positions(frequency_grid(s, t, false), true).empty());

    s.wmin = 1;
    s.wmax = 100;
    t = make_transform(s, design_rect, true);
    std::vector<GridLine> lines = frequency_grid(s, t, true);
    EXPECT_EQ(positions(lines, true), std::vector<int32_t>{ideal_column(10, 1, 100, true)});
    expected.clear();
    for (double w : {2, 3, 4, 5, 6, 7, 8, 9, 20, 30, 40, 50, 60, 70, 80, 90})
        expected.push_back(ideal_column(w, 1, 100, true));
    EXPECT_EQ(positions(lines, false), expected);
}

TEST(MagnitudeGrid, StepIsAPowerOfTenWithoutOffset) {
    PlotTransform t = make_transform(defaults, design_rect, true);
    std::vector<int32_t> expected;
    for (double g = -50; g <= 10; g += 10) expected.push_back(value_to_row(design_rect, t.gain_scale, t.gain_offset, g));
    EXPECT_EQ(positions(magnitude_grid(defaults, design_rect, t), false), expected);
    // ln 1000 / ln 10 comes out just below 3: the step is 100, not 1000.
    PlotSettings s = defaults;
    s.gmin = 0;
    s.gmax = 1000;
    t = make_transform(s, design_rect, true);
    EXPECT_EQ(magnitude_grid(s, design_rect, t).size(), 9u);
    // The frequency step has the offset: a width of 1000 keeps the step 1000, no line.
    s.wmin = 0;
    s.wmax = 1000;
    t = make_transform(s, design_rect, false);
    EXPECT_TRUE(frequency_grid(s, t, false).empty());
}

// Degenerate ranges never crash or hang; a range without span has no grid and is not usable.
TEST(DegenerateRanges, GridsAreSkippedAndLoopsEnd) {
    struct Case {
        double wmin, wmax, gmin, gmax;
        bool log_axis;
    };
    const double inf = INFINITY;
    for (Case c : {Case{1, 1, -60, -60, true}, Case{1, 1, 0, 0, false}, Case{5, 0.1, 20, -60, true},
                   Case{5, 0.1, 20, -60, false}, Case{1, std::nextafter(1.0, 2.0), 0, 1e-300, false},
                   Case{1e-300, 1e300, -1e308, 1e308, true}, Case{0.1, inf, -inf, inf, true},
                   Case{0, inf, 0, inf, false}, Case{NAN, 5, NAN, 1, false}, Case{4.9e-324, 1, 0, 1, true}}) {
        PlotSettings s = defaults;
        s.wmin = c.wmin;
        s.wmax = c.wmax;
        s.gmin = c.gmin;
        s.gmax = c.gmax;
        PlotTransform t = make_transform(s, design_rect, c.log_axis);
        EXPECT_LE(frequency_grid(s, t, c.log_axis).size(), 10000u);
        EXPECT_LE(magnitude_grid(s, design_rect, t).size(), 10000u);
    }
    PlotSettings s = defaults;
    s.wmax = s.wmin;
    s.gmax = s.gmin;
    PlotTransform t = make_transform(s, design_rect, true);
    EXPECT_TRUE(frequency_grid(s, t, true).empty());
    EXPECT_TRUE(magnitude_grid(s, design_rect, t).empty());
    EXPECT_FALSE(range_usable(t.gain_scale, t.gain_offset));
    EXPECT_TRUE(range_usable(t.phase_scale, t.phase_offset));
    s.gmax = -1e308;
    s.gmin = 1e308;
    t = make_transform(s, design_rect, true);
    EXPECT_FALSE(range_usable(t.gain_scale, t.gain_offset));
}

}  // namespace
}  // namespace quorvat
