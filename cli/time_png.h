// The picture of quorvat-cli tempo, the only part of the command that needs Qt.
#pragma once

#include <iosfwd>
#include <string>

#include "plot/time_painter.h"

namespace quorvat::cli {

/// Paints the curves on a width x height image and encodes it as PNG into png; false,
/// with a message on err, when the picture cannot be made. The command writes the bytes.
bool write_time_png(int width, int height, const TimeCurves& curves, std::string& png, std::ostream& err);

}  // namespace quorvat::cli
