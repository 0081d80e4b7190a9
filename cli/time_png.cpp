#include "cli/time_png.h"

#include <ostream>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>

#include "cli/gui_application_scope.h"
#include "engine/fp_fault.h"

namespace quorvat::cli {

bool write_time_png(int width, int height, const TimeCurves& curves, std::string& png, std::ostream& err) {
    FpFlagsGuard keep_flags;
    GuiApplicationScope gui;
    if (!gui.ready()) {
        err << "quorvat-cli tempo: a figura precisa de uma QGuiApplication\n";
        return false;
    }
    QImage image(width, height, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        paint_time_plot(painter, width, height, curves);
    }
    // Encoded in memory: the image writer reports no failed write or close of a file.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        err << "quorvat-cli tempo: não foi possível codificar a figura\n";
        return false;
    }
    png.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

}  // namespace quorvat::cli
