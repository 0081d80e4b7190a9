#include "plot/plot_painter.h"

#include <cmath>
#include <limits>

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QString>

#include "engine/fp_fault.h"
#include "plot/number_format.h"
#include "plot/plot_transform.h"

namespace quorvat {

namespace {

const QColor black(0x00, 0x00, 0x00);
const QColor grey(0x80, 0x80, 0x80);
const QColor yellow(0xFF, 0xFF, 0x00);
const QColor white(0xFF, 0xFF, 0xFF);
const QColor green(0x00, 0xFF, 0x00);
const QColor red(0xFF, 0x00, 0x00);

constexpr int32_t no_row = std::numeric_limits<int32_t>::min();  // the point is not drawn

// One-pixel pens. The flat cap leaves out the end point of every line, as the design's
// line-to does, so that consecutive segments do not paint their common point twice and
// the last point of a curve (on plot_right) stays outside the frame.
QPen solid_pen(const QColor& colour) {
    QPen pen(colour, 1, Qt::SolidLine, Qt::FlatCap);
    pen.setCosmetic(true);
    return pen;
}

// The dotted pen of the grid: three pixels on, three off, the dot pattern of a one-pixel
// pen on the Windows desktop the design was drawn for (Qt's own DotLine is 1 on, 2 off).
QPen dotted_pen(const QColor& colour) {
    QPen pen = solid_pen(colour);
    pen.setDashPattern({3.0, 3.0});
    return pen;
}


// Text output at its top-left corner, opaque on the black brush.
class TextOut {
public:
    TextOut(QPainter& painter) : painter_(painter), metrics_(painter.font()) {}
    int width(const QString& text) const { return metrics_.horizontalAdvance(text); }
    void draw(int x, int y, const QString& text, const QColor& colour) {
        painter_.fillRect(QRect(x, y, width(text), metrics_.height()), black);
        painter_.setPen(colour);
        painter_.drawText(x, y + metrics_.ascent(), text);
    }

private:
    QPainter& painter_;
    QFontMetrics metrics_;
};

// The curves of one quantity: its colour, its map and the previous row of every curve.
struct Trace {
    bool on;
    QPen pen;
    double scale, offset;
    const double (*values)[max_points];
    int32_t previous[max_curves + 1];
};

void draw_grid(QPainter& painter, const PlotSettings& s, const PlotRect& rect, const PlotTransform& t,
               bool log_axis) {
    const QPen grey_pen = dotted_pen(grey);
    const QPen yellow_pen = dotted_pen(yellow);
    for (const GridLine& line : frequency_grid(s, t, log_axis)) {
        painter.setPen(line.decade ? yellow_pen : grey_pen);
        painter.drawLine(line.position, rect.top, line.position, rect.bottom);
    }
    painter.setPen(grey_pen);
    for (const GridLine& line : magnitude_grid(s, rect, t))
        painter.drawLine(rect.left, line.position, rect.right, line.position);
}

// The design's frame rectangle (left, top)-(right, bottom + 1) excludes its right and
// bottom edges: the border runs on columns left and right - 1, rows top and bottom.
void draw_frame(QPainter& painter, const PlotRect& rect) {
    int width = rect.right - rect.left, height = rect.bottom + 1 - rect.top;
    if (width <= 0 || height <= 0) return;
    painter.fillRect(QRect(rect.left, rect.top, width, 1), white);
    painter.fillRect(QRect(rect.left, rect.bottom, width, 1), white);
    painter.fillRect(QRect(rect.left, rect.top, 1, height), white);
    painter.fillRect(QRect(rect.right - 1, rect.top, 1, height), white);
}

void draw_labels(QPainter& painter, const PlotSettings& s, const PlotRect& rect, const PlotTransform& t,
                 const PlotChecks& checks) {
    TextOut text(painter);
    const int unit_column = rect.left - text.width(QStringLiteral("xxx"));
    const int middle = (rect.top + rect.bottom) / 2 - 6;
    auto range_value = [&](double value, int row, const QColor& colour) {
        QString label = QString::fromStdString(format_fixed(value, 2, 7));  // "%7.2f"
        text.draw(rect.left - text.width(label) - 2, row, label, colour);
    };
    if (checks.delay && range_usable(t.delay_scale, t.delay_offset)) {
        range_value(s.amax, rect.top + 24, red);
        range_value(s.amin, rect.bottom - 36, red);
        text.draw(unit_column, middle - 12, QStringLiteral("s"), red);
    }
    if (checks.phase && range_usable(t.phase_scale, t.phase_offset)) {
        range_value(s.fmax, rect.top + 12, green);
        range_value(s.fmin, rect.bottom - 24, green);
        text.draw(unit_column, middle + 12, QStringLiteral("gr"), green);
    }
    if (range_usable(t.gain_scale, t.gain_offset)) {
        range_value(s.gmax, rect.top, white);
        range_value(s.gmin, rect.bottom - 12, white);
        text.draw(unit_column, middle, QStringLiteral("dB"), white);
    }
    QString wmin = QString::fromStdString(format_general(s.wmin));  // "%g"
    QString wmax = QString::fromStdString(format_general(s.wmax));
    QString unit = checks.hz ? QStringLiteral("Hz") : QStringLiteral("rad/s");
    text.draw(rect.left, rect.bottom + 1, wmin, white);
    text.draw(rect.right - text.width(wmax), rect.bottom + 1, wmax, white);
    text.draw((rect.right + rect.left - text.width(unit)) / 2, rect.bottom + 1, unit, white);
}

void draw_curves(QPainter& painter, const PlotterState& state, const PlotRect& rect, const PlotTransform& t,
                 const PlotChecks& checks) {
    const ResponseTable& table = state.response;
    Trace traces[3] = {
        {true, solid_pen(white), t.gain_scale, t.gain_offset, table.gain, {}},
        {checks.phase, solid_pen(green), t.phase_scale, t.phase_offset, table.phase, {}},
        {checks.delay, solid_pen(red), t.delay_scale, t.delay_offset, table.delay, {}},
    };
    for (Trace& trace : traces) trace.on = trace.on && range_usable(trace.scale, trace.offset);

    // A pen change costs about as much as a segment: change it only when the colour does.
    const Trace* pen_in_use = nullptr;
    int32_t previous_column = 0;
    for (int k = 0; k <= state.settings.segments; ++k) {
        const int32_t column = point_column(t, k);
        for (int j = state.curves.curve_count; j >= 1; --j) {
            for (Trace& trace : traces) {
                if (!trace.on) continue;
                double value = trace.values[j - 1][k];
                int32_t row = !std::isnan(value) ? value_to_row(rect, trace.scale, trace.offset, value) : no_row;
                if (k >= 1 && row != no_row && trace.previous[j] != no_row) {
                    if (pen_in_use != &trace) painter.setPen(trace.pen);
                    pen_in_use = &trace;
                    painter.drawLine(previous_column, trace.previous[j], column, row);
                }
                trace.previous[j] = row;
            }
        }
        previous_column = column;
    }
}

}  // namespace

QFont plot_font() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

void paint_plot(QPainter& painter, int width, int height, PlotterState& state, PlotChecks& checks) {
    FpFlagsGuard keep_flags;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(plot_font());
    painter.fillRect(QRect(0, 0, width, height), black);
    if (state.plot_ready) {
        const PlotRect rect = plot_rect(width, height);
        const bool log_axis = resolve_log_axis(state.settings, checks);
        const PlotTransform transform = make_transform(state.settings, rect, log_axis);
        if (checks.grid) draw_grid(painter, state.settings, rect, transform, log_axis);
        draw_frame(painter, rect);
        draw_labels(painter, state.settings, rect, transform, checks);
        // The design evaluates each point just before drawing the segments that end at
        // it; evaluating every point first gives the same table and the same picture.
        evaluate_pending(state, log_axis, checks.hz);
        draw_curves(painter, state, rect, transform, checks);
    }
    painter.restore();
}

}  // namespace quorvat
