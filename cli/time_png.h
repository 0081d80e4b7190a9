// The picture of quorvat-cli tempo, the only part of the command that needs Qt.
#pragma once

#include <iosfwd>
#include <string>

#include "plot/time_painter.h"

namespace quorvat::cli {

/// Paints the curves on a width x height image and saves it as PNG; false, with a
/// message on err, when the picture cannot be made or saved.
bool write_time_png(const std::string& path, int width, int height, const TimeCurves& curves, std::ostream& err);

}  // namespace quorvat::cli
