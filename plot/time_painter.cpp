#include "plot/time_painter.h"

#include <algorithm>
#include <cmath>

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QString>

#include "plot/number_format.h"
#include "plot/plot_painter.h"
#include "plot/plot_transform.h"

namespace quorvat {

namespace {

const QColor curve_colours[] = {QColor(0xFF, 0xFF, 0xFF), QColor(0x00, 0xFF, 0x00), QColor(0xFF, 0x00, 0x00),
                                QColor(0x00, 0xFF, 0xFF), QColor(0xFF, 0x00, 0xFF), QColor(0xFF, 0xFF, 0x00)};

QPen grid_pen(const QColor& colour) {
    QPen pen(colour, 1, Qt::SolidLine, Qt::FlatCap);
    pen.setCosmetic(true);
    pen.setDashPattern({3.0, 3.0});
    return pen;
}

void draw_text(QPainter& painter, int x, int y, const QString& text, const QColor& colour) {
    QFontMetrics metrics(painter.font());
    painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), Qt::black);
    painter.setPen(colour);
    painter.drawText(x, y + metrics.ascent(), text);
}

}  // namespace

// A step near a tenth of the span gives about ten lines; the bound keeps a span at the
// edge of the doubles (or a step below the times' resolution) from looping for ever.
constexpr int max_grid_lines = 100;

double grid_step(double span) {
    if (!(span > 0.0) || !std::isfinite(span)) return 1.0;
    double rough = span / 10.0;
    double decade = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * decade >= rough) return m * decade;
    return 10.0 * decade;
}

ValueAxis value_axis(const TimeCurves& curves) {
    double low = 0.0, high = 0.0;
    for (const std::vector<double>& row : curves.values)
        for (double v : row)
            if (std::isfinite(v)) low = std::min(low, v), high = std::max(high, v);
    if (high == low) high = low + 1.0;
    double margin = 0.05 * (high - low);
    ValueAxis axis;
    axis.step = grid_step(high - low + 2.0 * margin);
    axis.low = std::floor((low - (low < 0.0 ? margin : 0.0)) / axis.step) * axis.step;
    axis.high = std::ceil((high + (high > 0.0 ? margin : 0.0)) / axis.step) * axis.step;
    return axis;
}

void paint_time_plot(QPainter& painter, int width, int height, const TimeCurves& curves, const ValueAxis* values) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(plot_font());
    painter.fillRect(QRect(0, 0, width, height), Qt::black);
    const PlotRect rect = plot_rect(width, height);
    if (curves.times.size() < 2 || rect.right - rect.left < 2 || rect.bottom - rect.top < 2) {
        painter.restore();
        return;
    }
    const double t0 = curves.times.front(), t1 = curves.times.back();
    const ValueAxis axis = values && values->high > values->low && values->step > 0.0 ? *values : value_axis(curves);
    const double columns = rect.right - 1 - rect.left, rows = rect.bottom - rect.top;
    auto column = [&](double t) { return rect.left + (t - t0) / (t1 - t0) * columns; };
    auto row = [&](double v) { return rect.bottom - (v - axis.low) / (axis.high - axis.low) * rows; };

    // The grid: round times and values, zero in yellow.
    const double time_step = grid_step(t1 - t0);
    painter.setPen(grid_pen(QColor(0x80, 0x80, 0x80)));
    int lines = 0;
    for (double t = std::ceil(t0 / time_step) * time_step; t <= t1 + 1e-9 * time_step && lines++ < max_grid_lines;
         t += time_step) {
        int x = static_cast<int>(std::lround(column(t)));
        painter.drawLine(x, rect.top, x, rect.bottom);
    }
    for (int k = 0; axis.low + k * axis.step <= axis.high + 1e-9 * axis.step && k < max_grid_lines; ++k) {
        double v = axis.low + k * axis.step;
        bool zero = std::fabs(v) < 1e-9 * axis.step;
        painter.setPen(grid_pen(zero ? QColor(0xFF, 0xFF, 0x00) : QColor(0x80, 0x80, 0x80)));
        int y = static_cast<int>(std::lround(row(zero ? 0.0 : v)));
        painter.drawLine(rect.left, y, rect.right, y);
    }

    // The frame, as the frequency plot draws it.
    painter.fillRect(QRect(rect.left, rect.top, rect.right - rect.left, 1), Qt::white);
    painter.fillRect(QRect(rect.left, rect.bottom, rect.right - rect.left, 1), Qt::white);
    painter.fillRect(QRect(rect.left, rect.top, 1, rect.bottom + 1 - rect.top), Qt::white);
    painter.fillRect(QRect(rect.right - 1, rect.top, 1, rect.bottom + 1 - rect.top), Qt::white);

    // Labels: the limits of both axes, the units, and every grid line where it has room.
    QFontMetrics metrics(painter.font());
    const QColor white(0xFF, 0xFF, 0xFF);
    std::vector<QRect> taken;
    auto place = [&](int x, int y, const QString& text, bool force) {
        QRect box(x - 2, y, metrics.horizontalAdvance(text) + 4, metrics.height());
        if (!force)
            for (const QRect& other : taken)
                if (other.intersects(box)) return;
        taken.push_back(box);
        draw_text(painter, x, y, text, white);
    };
    auto value_label = [&](double v, int y, bool force) {
        QString text = QString::fromStdString(format_general(std::fabs(v) < 1e-9 * axis.step ? 0.0 : v));
        place(rect.left - metrics.horizontalAdvance(text) - 2, y, text, force);
    };
    auto time_label = [&](double t, int x, bool force) {
        QString text = QString::fromStdString(format_general(std::fabs(t) < 1e-9 * time_step ? 0.0 : t));
        place(x, rect.bottom + 1, text, force);
    };
    value_label(axis.high, rect.top, true);
    value_label(axis.low, rect.bottom - 12, true);
    if (!curves.unit.empty()) {
        QString unit = QString::fromStdString(curves.unit);
        place(rect.left - metrics.horizontalAdvance(QStringLiteral("xxxxxxxx")), (rect.top + rect.bottom) / 2 - 6, unit,
              true);
    }
    time_label(t0, rect.left, true);
    QString last = QString::fromStdString(format_general(t1));
    place(rect.right - metrics.horizontalAdvance(last), rect.bottom + 1, last, true);
    place((rect.left + rect.right - metrics.horizontalAdvance(QStringLiteral("s"))) / 2, rect.bottom + 1,
          QStringLiteral("s"), true);
    for (int k = 1; axis.low + k * axis.step < axis.high - 1e-9 * axis.step && k < max_grid_lines; ++k) {
        double v = axis.low + k * axis.step;
        value_label(v, static_cast<int>(std::lround(row(v))) - 6, false);
    }
    lines = 0;
    for (double t = std::ceil(t0 / time_step) * time_step; t < t1 - 1e-9 * time_step && lines++ < max_grid_lines;
         t += time_step) {
        QString text = QString::fromStdString(format_general(t));
        if (t > t0 + 1e-9 * time_step)
            time_label(t, static_cast<int>(std::lround(column(t))) - metrics.horizontalAdvance(text) / 2, false);
    }

    // The curves, the last first so that the first stays on top.
    painter.setClipRect(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom + 1 - rect.top));
    for (std::size_t j = curves.values.size(); j-- > 0;) {
        QPen pen(curve_colours[j % std::size(curve_colours)], 1, Qt::SolidLine, Qt::FlatCap);
        pen.setCosmetic(true);
        painter.setPen(pen);
        const std::vector<double>& row_values = curves.values[j];
        for (std::size_t i = 1; i < curves.times.size() && i < row_values.size(); ++i) {
            if (!std::isfinite(row_values[i - 1]) || !std::isfinite(row_values[i])) continue;
            painter.drawLine(QPointF(column(curves.times[i - 1]), row(row_values[i - 1])),
                             QPointF(column(curves.times[i]), row(row_values[i])));
        }
    }
    painter.restore();
}

}  // namespace quorvat
