// Form5: its keys, through real key events, and its paint on the screen.
#include <clocale>
#include <cmath>
#include <memory>

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

#include "plot/quorvat4.h"
#include "plot/quorvat5.h"
#include "plot_test_support.h"

using quorvat::testing::RecordingLog;

class tst_Form5 : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<RecordingLog> log;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TForm5> form5;

    quorvat::PlotSettings& settings() { return form4->plotter().settings; }
    void set_frequencies(double wmin, double wmax) {
        settings().wmin = wmin;
        settings().wmax = wmax;
        form4->plotter().recompute_needed = 0;
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(form5.get(), key, modifiers);
    }

private slots:
    void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }

    void init() {
        log = std::make_unique<RecordingLog>();
        form4 = std::make_unique<TForm4>(*log);
        form5 = std::make_unique<TForm5>(*form4);
        form4->attach_plot_window(form5.get());
        form4->Memo1->clear();
        form4->Button2Click();  // no curves: the settings take the defaults
        QCOMPARE(form4->plotter().plot_ready, 1);
    }
    void cleanup() {
        form5.reset();
        form4.reset();
    }

    void logarithmicFrequencyKeys() {
        set_frequencies(0.1, 5);
        key(Qt::Key_A);
        QCOMPARE(form4->plotter().recompute_needed, 1);
        QVERIFY(std::fabs(settings().wmax - std::sqrt(50.0) * 0.1) < 1e-15);
        QCOMPARE(settings().wmin, 0.1);
        key(Qt::Key_R, Qt::ShiftModifier);
        QVERIFY(std::fabs(settings().wmax - 5) < 1e-14);
        const double q = std::pow(50.0, 0.25);
        key(Qt::Key_Right);
        QVERIFY(std::fabs(settings().wmin - 0.1 * q) < 1e-15 && std::fabs(settings().wmax - 5 * q) < 1e-14);
        key(Qt::Key_Left);
        QVERIFY(std::fabs(settings().wmin - 0.1) < 1e-15 && std::fabs(settings().wmax - 5) < 1e-14);
        QVERIFY(form5->isVisible());
    }

    void linearFrequencyKeys() {
        form4->CBlog->setChecked(false);
        struct Row {
            Qt::Key key;
            double wmin, wmax;
        };
        for (Row row : {Row{Qt::Key_Right, 1, 5}, Row{Qt::Key_Left, -1, 3}, Row{Qt::Key_A, 0, 2}, Row{Qt::Key_R, 0, 8}}) {
            set_frequencies(0, 4);
            key(row.key);
            QCOMPARE(settings().wmin, row.wmin);
            QCOMPARE(settings().wmax, row.wmax);
            QCOMPARE(form4->plotter().recompute_needed, 1);
        }
        set_frequencies(0, 4);
        key(Qt::Key_Right);
        key(Qt::Key_Left);
        QCOMPARE(settings().wmin, 0.0);
        QCOMPARE(settings().wmax, 4.0);
    }

    void magnitudeKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<double>("gmin");
        QTest::addColumn<double>("gmax");
        QTest::newRow("up") << int(Qt::Key_Up) << 0 << -20.0 << 60.0;
        QTest::newRow("down") << int(Qt::Key_Down) << 0 << -100.0 << -20.0;
        QTest::newRow("keypad add") << int(Qt::Key_Plus) << int(Qt::KeypadModifier) << -60.0 << -20.0;
        QTest::newRow("keypad subtract") << int(Qt::Key_Minus) << int(Qt::KeypadModifier) << -60.0 << 100.0;
        QTest::newRow("main plus") << int(Qt::Key_Plus) << 0 << -60.0 << 20.0;
        QTest::newRow("main minus") << int(Qt::Key_Minus) << 0 << -60.0 << 20.0;
        QTest::newRow("other key") << int(Qt::Key_B) << 0 << -60.0 << 20.0;
    }
    void magnitudeKeys() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(double, gmin);
        QFETCH(double, gmax);
        form4->plotter().recompute_needed = 0;
        const quorvat::PlotSettings before = settings();
        this->key(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(settings().gmin, gmin);
        QCOMPARE(settings().gmax, gmax);
        QCOMPARE(settings().wmin, before.wmin);
        QCOMPARE(settings().wmax, before.wmax);
        QCOMPARE(form4->plotter().recompute_needed, 0);
    }

    // A frequency key on a logarithmic axis with a limit not positive waits for the paint
    // that makes the axis linear.
    void frequencyKeyWaitsForTheLinearAxis() {
        set_frequencies(0, 4);
        key(Qt::Key_Right);
        QCOMPARE(settings().wmin, 0.0);
        QCOMPARE(settings().wmax, 4.0);
        QCOMPARE(form4->plotter().recompute_needed, 0);
        QTRY_VERIFY(!form4->CBlog->isChecked());  // the key's repaint switched the axis
        key(Qt::Key_Right);
        QCOMPARE(settings().wmin, 1.0);
        QCOMPARE(settings().wmax, 5.0);
    }

    void paintsTheDesignSizeAndRedrawsWithoutEvaluating() {
        quorvat::PlotterState& state = form4->plotter();
        state.curves.curve_count = 1;
        state.curves.curve_num[1] = quorvat::testing::polynomial({1}, std::sqrt(0.5));
        state.curves.curve_den[1] = quorvat::testing::polynomial({1});
        form4->CBfase->setChecked(false);
        form4->CBtg->setChecked(false);
        form5->show_plot();
        QVERIFY(QTest::qWaitForWindowExposed(form5.get()));
        QTRY_COMPARE(state.recompute_needed, 0);
        QCOMPARE(form5->PaintBox1->size(), QSize(680, 442));
        QImage image = form5->PaintBox1->grab().toImage();
        QCOMPARE(QColor(image.pixel(400, 129)), QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(400, 200)), QColor(Qt::black));

        state.response.gain[0][150] = -20;  // a stored value: only a new evaluation would undo it
        key(Qt::Key_Up);
        image = form5->PaintBox1->grab().toImage();
        QCOMPARE(state.response.gain[0][150], -20.0);
        QCOMPARE(QColor(image.pixel(400, 336)), QColor(Qt::white));  // -3 dB on -20..60
        key(Qt::Key_A);
        form5->PaintBox1->grab();
        QCOMPARE(state.recompute_needed, 0);
        QVERIFY(state.response.gain[0][150] != -20.0);
    }
};

QTEST_MAIN(tst_Form5)
#include "tst_form5.moc"
