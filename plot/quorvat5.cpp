#include "plot/quorvat5.h"

#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "plot/command.h"
#include "plot/plot_keys.h"
#include "plot/plot_painter.h"

namespace {

// PaintBox1: covers the client area and hands its paint events to Form5's FormPaint.
class PaintBox : public QWidget {
public:
    PaintBox(TForm5& form5) : QWidget(&form5), form5_(form5) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        form5_.FormPaint(painter, width(), height());
    }

private:
    TForm5& form5_;
};

}  // namespace

TForm5::TForm5(quorvat::PlotSource& source, QWidget* parent) : QWidget(parent, Qt::Window), source_(source) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Resposta em frequência"));
    setFocusPolicy(Qt::StrongFocus);
    PaintBox1 = new PaintBox(*this);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PaintBox1);
    // The design's paint box is 680 x 442 and fills the client area (its outer size of
    // 696 x 480 is that client area plus the borders and caption of a Windows desktop).
    resize(680, 442);
}

void TForm5::FormPaint(QPainter& painter, int width, int height) {
    quorvat::run_command([&] {
        quorvat::PlotChecks checks = source_.checks();
        quorvat::paint_plot(painter, width, height, source_.plotter(), checks);
        if (!checks.log && source_.checks().log) source_.uncheck_log();
    });
}

void TForm5::FormKeyDown(int virtual_key) {
    quorvat::PlotterState& state = source_.plotter();
    if (!quorvat::apply_plot_key(virtual_key, state.settings, source_.checks().log, state.recompute_needed))
        return;
    show_plot();
}

void TForm5::show_plot() {
    show();
    raise();
    activateWindow();
    PaintBox1->update();
}

int TForm5::virtual_key(const QKeyEvent& event) {
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    switch (event.key()) {
        case Qt::Key_Left: return quorvat::key_left;
        case Qt::Key_Up: return quorvat::key_up;
        case Qt::Key_Right: return quorvat::key_right;
        case Qt::Key_Down: return quorvat::key_down;
        case Qt::Key_A: return quorvat::key_a;
        case Qt::Key_R: return quorvat::key_r;
        case Qt::Key_Plus: return keypad ? quorvat::key_keypad_add : 0;
        case Qt::Key_Minus: return keypad ? quorvat::key_keypad_subtract : 0;
        default: return 0;
    }
}

void TForm5::keyPressEvent(QKeyEvent* event) {
    int key = virtual_key(*event);
    if (key == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    quorvat::run_command([&] { FormKeyDown(key); });
}
