// The plot window's keys: pan and zoom of the frequency and magnitude ranges. Pure
// arithmetic over the settings; Form5 maps Qt's keys to these codes.
#pragma once

#include "plot/response.h"

namespace quorvat {

/// The virtual-key codes of the design.
enum PlotKey : int {
    key_left = 37,
    key_up = 38,
    key_right = 39,
    key_down = 40,
    key_a = 65,
    key_r = 82,
    key_keypad_add = 107,
    key_keypad_subtract = 109,
};

/// Whether low..high can be drawn: both finite and distinct and, on a logarithmic axis
/// (ratio), high / low a finite number above 1.
bool usable_range(double low, double high, bool ratio);

/// Applies a key to the settings. log_axis is CBlog's state at the moment of the key.
/// The arrows left and right shift the frequency window by a quarter of its width, A
/// halves and R doubles it keeping wmin (on ratios when log_axis); these set
/// recompute_needed. Up and down shift the magnitude window by half its height, keypad
/// add halves and keypad subtract doubles it keeping gmin. On a logarithmic axis whose
/// limits are not both positive the frequency keys change nothing (the next paint makes
/// the axis linear). A key whose new limits would not be usable (see usable_range)
/// changes nothing. Returns false for a key that is not in the table.
bool apply_plot_key(int key, PlotSettings& settings, bool log_axis, int32_t& recompute_needed);

}  // namespace quorvat
