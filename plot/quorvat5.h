// Form5, "Resposta em frequência": the plot window. Its paint box paints the plot of
// Form4's state; its keys pan and zoom the ranges.
#pragma once

#include <QWidget>

#include "plot/plot_windows.h"

class QKeyEvent;
class QPainter;

class TForm5 : public QWidget, public quorvat::PlotDisplay {
    Q_OBJECT
public:
    /// source (Form4) holds the plotter's state and the check boxes that the paint and the
    /// keys read.
    explicit TForm5(quorvat::PlotSource& source, QWidget* parent = nullptr);

    /// The paint handler: paints the paint box of width x height with the current state,
    /// and unchecks the source's CBlog when the paint found a frequency limit not positive.
    void FormPaint(QPainter& painter, int width, int height);

    /// The key handler, with the design's virtual-key code; keys not in the table do nothing.
    void FormKeyDown(int virtual_key);

    /// Repaints and brings the window to the front (after Plotar and after each key).
    void show_plot() override;
    void hide_plot() override { hide(); }

    /// The design's virtual-key code of a Qt key event, or 0 for the keys the plot does not
    /// use. Plus and minus count only on the numeric keypad.
    static int virtual_key(const QKeyEvent& event);

    QWidget* PaintBox1;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    quorvat::PlotSource& source_;
};
