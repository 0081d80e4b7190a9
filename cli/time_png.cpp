#include "cli/time_png.h"

#include <ostream>

#include <QImage>
#include <QPainter>

#include "cli/gui_application_scope.h"
#include "engine/fp_fault.h"

namespace quorvat::cli {

bool write_time_png(const std::string& path, int width, int height, const TimeCurves& curves, std::ostream& err) {
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
    if (!image.save(QString::fromStdString(path), "PNG")) {
        err << "quorvat-cli tempo: não foi possível gravar " << path << "\n";
        return false;
    }
    return true;
}

}  // namespace quorvat::cli
