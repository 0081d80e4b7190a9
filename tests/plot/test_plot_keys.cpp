// The plot window's keys never leave a range that cannot be drawn.
#include <cmath>

#include <gtest/gtest.h>

#include "plot/plot_keys.h"

namespace quorvat {
namespace {

TEST(PlotKeys, RepeatedKeysStopBeforeAnUnusableRange) {
    struct Case {
        int key;
        bool log_axis;
        int presses;
    } cases[] = {
        {key_r, true, 20},                 // wmax would become infinite
        {key_right, true, 2000},           // both limits would overflow, then give NaN
        {key_left, true, 3000},            // both would underflow to zero
        {key_a, true, 200},                // wmax would reach wmin
        {key_r, false, 2000},              // linear: the span would overflow
        {key_right, false, 5000},
        {key_keypad_add, false, 200},      // gmax would reach gmin
        {key_keypad_subtract, false, 3000},
        {key_up, false, 3000},
        {key_down, false, 3000},
    };
    for (const Case& c : cases) {
        PlotSettings s;
        s.wmin = 0.1, s.wmax = 5, s.gmin = -60, s.gmax = 20;
        PlotSettings last_change = s;
        for (int i = 0; i < c.presses; ++i) {
            int32_t recompute = 0;
            ASSERT_TRUE(apply_plot_key(c.key, s, c.log_axis, recompute));
            EXPECT_TRUE(usable_range(s.wmin, s.wmax, c.log_axis)) << c.key << " press " << i;
            EXPECT_TRUE(usable_range(s.gmin, s.gmax, false)) << c.key << " press " << i;
            if (s.wmin != last_change.wmin || s.wmax != last_change.wmax) {
                EXPECT_EQ(recompute, 1);
            }
            last_change = s;
        }
    }
    // The refusal changes nothing at all, so the opposite key still works.
    PlotSettings s;
    s.wmin = 0.1, s.wmax = 5, s.gmin = -60, s.gmax = 20;
    int32_t recompute = 0;
    for (int i = 0; i < 50; ++i) apply_plot_key(key_r, s, true, recompute);
    double wmax = s.wmax;
    apply_plot_key(key_a, s, true, recompute);
    EXPECT_LT(s.wmax, wmax);
    EXPECT_EQ(s.wmin, 0.1);
}

TEST(PlotKeys, UsableRange) {
    EXPECT_TRUE(usable_range(-1, 1, false));
    EXPECT_TRUE(usable_range(1, -1, false));  // a reversed linear range is drawn as given
    EXPECT_FALSE(usable_range(2, 2, false));
    EXPECT_FALSE(usable_range(0, INFINITY, false));
    EXPECT_FALSE(usable_range(NAN, 1, false));
    EXPECT_FALSE(usable_range(1e-300, 1e300, true));  // the ratio overflows
    EXPECT_FALSE(usable_range(5, 1, true));
    EXPECT_TRUE(usable_range(1, std::nextafter(1.0, 2.0), true));
}

}  // namespace
}  // namespace quorvat
