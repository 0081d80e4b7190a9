// The plot's pixels, painted onto a QImage at the design size of the paint box.
#include <clocale>
#include <cmath>
#include <memory>

#include <QImage>
#include <QPainter>
#include <QtTest>

#include "plot/plot_painter.h"
#include "plot/plot_transform.h"
#include "plot_test_support.h"

using namespace quorvat;
using quorvat::testing::polynomial;

namespace {

const PlotSettings defaults{0.1, 5.0, -60, 20, -180, 180, -10, 40, 300};

QColor pixel(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

bool is(const QImage& image, int x, int y, const QColor& colour) { return pixel(image, x, y) == colour; }

// Pixels of a colour in a rectangle of the image.
int count(const QImage& image, const QColor& colour, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
    if (x1 < 0) x1 = image.width() - 1;
    if (y1 < 0) y1 = image.height() - 1;
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) n += is(image, x, y, colour);
    return n;
}

const QColor black(0, 0, 0), white(255, 255, 255), grey(128, 128, 128), yellow(255, 255, 0),
    green(0, 255, 0), red(255, 0, 0);

}  // namespace

class tst_PlotPaint : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PlotterState> state;
    PlotChecks checks;

    void add_curve(const ResultPolynomial& num, const ResultPolynomial& den) {
        int j = ++state->curves.curve_count;
        state->curves.curve_num[j] = num;
        state->curves.curve_den[j] = den;
    }
    QImage paint(int width = 680, int height = 442) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QPainter painter(&image);
        paint_plot(painter, width, height, *state, checks);
        return image;
    }

private slots:
    void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }

    void init() {
        state = std::make_unique<PlotterState>();
        state->settings = defaults;
        state->plot_ready = 1;
        state->recompute_needed = 1;
        checks = PlotChecks{};
    }

    void notReadyIsAllBlack() {
        add_curve(polynomial({1}), polynomial({1, 1}));
        state->plot_ready = 0;
        QImage image = paint();
        QCOMPARE(count(image, black), 680 * 442);
        QCOMPARE(state->recompute_needed, 1);
    }

    void magnitudeRowsAndTheEndPointLeftOut() {
        checks.phase = checks.delay = false;
        add_curve(polynomial({1}, std::sqrt(0.5)), polynomial({1}));  // -3.0103 dB
        add_curve(polynomial({1}, 0.1), polynomial({1}));             // -20 dB
        QImage image = paint();
        QCOMPARE(state->recompute_needed, 0);
        for (int x = 71; x < 669; ++x) {
            QVERIFY2(is(image, x, 129, white), qPrintable(QString::number(x)));
            QVERIFY(is(image, x, 217, white));
            QVERIFY(!is(image, x, 128, white) && !is(image, x, 130, white));
        }
        // The frame holds columns 70..669 and rows 10..424; the curves end before column 670.
        QVERIFY(is(image, 669, 300, white) && is(image, 70, 300, white) && is(image, 300, 424, white));
        QCOMPARE(count(image, white, 670, 10, 670, 424), 0);
    }

    void pointKOnColumn70Plus2K() {
        checks.phase = checks.delay = false;
        add_curve(polynomial({1}), polynomial({1, 1}));
        QImage image = paint();
        PlotTransform t = make_transform(defaults, plot_rect(680, 442), true);
        for (int k = 0; k < 300; ++k) {
            int row = value_to_row(plot_rect(680, 442), t.gain_scale, t.gain_offset, state->response.gain[0][k]);
            QVERIFY2(is(image, 70 + 2 * k, row, white), qPrintable(QString::number(k)));
        }
    }

    void gridDecadeLineAndFrequencyLines() {
        QImage image = paint();
        // Only column 423 (1 rad/s) holds yellow, dotted along the height of the rectangle.
        QVERIFY(count(image, yellow, 423, 11, 423, 423) > 150);
        QCOMPARE(count(image, yellow), count(image, yellow, 423, 0, 423, 441));
        int grey_columns = 0;
        for (int x = 71; x < 669; ++x) grey_columns += count(image, grey, x, 150, x, 200) > 10;
        QCOMPARE(grey_columns, 11);  // 0.2 .. 0.9, 2, 3, 4
        int grey_rows = 0;
        for (int y = 11; y < 424; ++y) grey_rows += count(image, grey, 80, y, 400, y) > 100;
        QCOMPARE(grey_rows, 7);  // -50 .. 10 dB
        checks.grid = false;
        image = paint();
        QCOMPARE(count(image, grey) + count(image, yellow), 0);
    }

    void linearAxisFromZero() {
        state->settings.wmin = 0;
        QImage image = paint();
        QVERIFY(!checks.log);
        QCOMPARE(count(image, yellow), 0);
        // Lines at 1, 2, 3, 4: step 1 for a width of 5.
        for (int w = 1; w <= 4; ++w) QVERIFY(count(image, grey, 70 + 120 * w, 11, 70 + 120 * w, 423) > 100);
    }

    void outOfRangeRunsAlongTheEdge() {
        checks.delay = false;
        state->settings.fmin = -20;
        state->settings.fmax = 20;
        add_curve(polynomial({1}), polynomial({1, 1}));  // phase from -5.7 to -78.7 degrees
        QImage image = paint();
        QVERIFY(is(image, 668, 424, green) && is(image, 600, 424, green));
        QCOMPARE(count(image, green, 70, 425, 679, 441), 0);
        QVERIFY(count(image, green, 71, 11, 120, 423) > 0);  // in range on the left
    }

    void labelsOnlyForTheQuantitiesShown() {
        add_curve(polynomial({1}), polynomial({1, 1}));
        QImage image = paint();
        QVERIFY(count(image, green) > 0 && count(image, red) > 0);
        QVERIFY(count(image, white, 0, 0, 67, 441) > 0);        // magnitude range and unit
        QVERIFY(count(image, white, 0, 425, 679, 441) > 0);     // frequency labels
        QVERIFY(count(image, green, 0, 0, 67, 441) > 0 && count(image, red, 0, 0, 67, 441) > 0);
        checks.phase = checks.delay = false;
        image = paint();
        QCOMPARE(count(image, green) + count(image, red), 0);
        QVERIFY(count(image, white, 0, 0, 67, 441) > 0);
    }

    // The first curve of the list is drawn last, on top: the white magnitude of curve 1
    // (0.1, row 217) covers the red delay of curve 2 where that crosses row 217 (0.5 s).
    void lastCurveOfTheListIsDrawnFirst() {
        checks.phase = checks.grid = false;
        state->settings.amin = 0;
        state->settings.amax = 1;
        add_curve(polynomial({1}, 0.1), polynomial({1}));
        add_curve(polynomial({1}), polynomial({1, 1}));
        QImage image = paint();
        QVERIFY(count(image, red, 410, 205, 436, 229) > 0);
        QCOMPARE(count(image, red, 410, 217, 436, 217), 0);
        QVERIFY(is(image, 423, 217, white));
    }

    void pointThatDividesByZeroBreaksTheCurve() {
        checks.phase = checks.delay = checks.grid = false;
        state->settings.wmin = 0;
        state->settings.wmax = 2;
        state->settings.segments = 4;
        add_curve(polynomial({1}), polynomial({1, 0, 1}));  // pole at 1 rad/s, grid point 2
        QImage image = paint();
        QVERIFY(count(image, white, 150, 11, 150, 423) > 0);
        QCOMPARE(count(image, white, 221, 11, 518, 423), 0);
        QVERIFY(count(image, white, 600, 11, 600, 423) > 0);
    }

    void degenerateRangesDrawNothingOfTheirOwn() {
        add_curve(polynomial({1}), polynomial({1, 1}));
        state->settings.gmin = state->settings.gmax = 0;
        state->settings.fmin = state->settings.fmax = 10;
        QImage image = paint();
        QCOMPARE(count(image, green), 0);
        QCOMPARE(count(image, white, 0, 0, 67, 424), 0);  // no magnitude labels
        QVERIFY(count(image, red) > 0);
        for (PlotSettings s : {PlotSettings{5, 0.1, 20, -60, 180, -180, 40, -10, 300},
                               PlotSettings{1, 1, 0, 0, 0, 0, 0, 0, 1},
                               PlotSettings{-1, INFINITY, -INFINITY, INFINITY, NAN, 1, 0, 1e308, 600},
                               PlotSettings{1e-300, 1e300, -1e308, 1e308, -1e308, 1e308, 0, 1, 600}}) {
            state->settings = s;
            state->recompute_needed = 1;
            checks = PlotChecks{};
            paint();
            paint(3, 2);
        }
    }

    void resizeRedrawsTheStoredPoints() {
        checks.phase = checks.delay = false;
        add_curve(polynomial({1}), polynomial({1, 1}));
        paint();
        double stored = state->response.gain[0][300];
        state->curves.curve_den[1] = polynomial({1, 5});  // would change the curve if evaluated
        QImage wide = paint(1280, 442);
        QCOMPARE(state->response.gain[0][300], stored);
        int row = value_to_row(plot_rect(1280, 442), -5.175, 113.5, state->response.gain[0][299]);
        QVERIFY(is(wide, 1266, row, white));
    }
};

QTEST_MAIN(tst_PlotPaint)
#include "tst_plot_paint.moc"
