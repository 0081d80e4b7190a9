// The time window of Form4's "Resposta no tempo": the step response of the series RLC
// circuit painted on its curve, the keys, the formulas and the CSV table.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <memory>

#include <sys/stat.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "plot/plot_keys.h"
#include "plot/plot_transform.h"
#include "plot/quorvat4.h"
#include "plot/time_window.h"
#include "plot_test_support.h"
#include "support/test_files.h"

using quorvat::testing::RecordingLog;

namespace {

// V3(s) of examples/rlc_degrau.net: [(0.5 s + 0.8)/(s^2 + s + 1) + 0.2]/s, whose inverse
// is 1 + e^(-t/2) (-0.8 cos(wt) + 0.2/w sin(wt)) with w = sqrt(3)/2.
double rlc_step(double t) {
    const double w = std::sqrt(3.0) / 2.0;
    return 1.0 + std::exp(-0.5 * t) * (-0.8 * std::cos(w * t) + 0.1 / w * std::sin(w * t));
}

}  // namespace

class tst_TimeWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }

    void rlcStepOnItsCurve() {
        quorvat::testing::ScratchDir dir;
        using quorvat::testing::polynomial;
        using quorvat::testing::polynomial_file;
        const std::string n = dir.write("rlc.n3", polynomial_file(polynomial({1.0, 0.7, 0.2})));
        const std::string d = dir.write("rlc.d3", polynomial_file(polynomial({0.0, 1.0, 1.0, 1.0})));
        // A FIFO where the netlist of the same name would be is never opened: the unit
        // is left out instead of the window hanging on it.
        QCOMPARE(mkfifo(dir.file("rlc.net").c_str(), 0600), 0);
        RecordingLog log;
        TForm4 form4(log);
        form4.Memo1->setPlainText(QString::fromStdString("* comentário\n" + n + "\n" + d + "\n"));
        form4.Button3->click();
        TFormTempo& window = form4.time_window();
        QVERIFY(window.isVisible());
        QCOMPARE(log.lines.front(), std::string("Resposta no tempo:"));
        QCOMPARE(log.lines[1], n + " / " + d);
        QCOMPARE(log.lines[3], std::string("  x3(t) = 1 + e^(-0.5·t)·(-0.8·cos(0.8660254038·t) + "
                                           "0.1154700538·sin(0.8660254038·t)), para t ≥ 0"));
        QVERIFY(log.lines.back().rfind("Intervalo: t de 0 a 25 s (", 0) == 0);
        QCOMPARE(window.formulas_text(), log.lines[3].substr(2) + "\n");
        window.Button2->click();
        QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), window.formulas_latex());
        QVERIFY(window.formulas_latex().rfind("x_{3}(t) = 1", 0) == 0);

        // A few points of x(t) are white pixels of the painted curve.
        const int width = 680, height = 442;
        QImage image(width, height, QImage::Format_RGB32);
        {
            QPainter painter(&image);
            window.FormPaint(painter, width, height);
        }
        const quorvat::PlotRect rect = quorvat::plot_rect(width, height);
        const quorvat::ValueAxis axis = window.value_range();
        const double t1 = window.curves().times.back();
        QCOMPARE(t1, 25.0);
        for (double t : {0.7, 2.9, 4.4, 8.3, 13.1, 21.7}) {
            const double x = rect.left + t / t1 * (rect.right - 1 - rect.left);
            const double y = rect.bottom - (rlc_step(t) - axis.low) / (axis.high - axis.low) * (rect.bottom - rect.top);
            bool white = false;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    white |= image.pixel(static_cast<int>(std::lround(x)) + dx, static_cast<int>(std::lround(y)) + dy) ==
                             qRgb(255, 255, 255);
            QVERIFY2(white, qPrintable(QStringLiteral("t = %1").arg(t)));
        }

        // A halves the span and R doubles it back; Left stops at t = 0; the table follows.
        window.FormKeyDown(quorvat::key_a);
        QCOMPARE(window.curves().times.back(), 12.5);
        window.FormKeyDown(quorvat::key_left);
        QCOMPARE(window.curves().times.front(), 0.0);
        window.FormKeyDown(quorvat::key_r);
        window.FormKeyDown(quorvat::key_right);
        QCOMPARE(window.curves().times.front(), 6.25);
        QVERIFY(std::fabs(window.curves().values[0][250] - rlc_step(window.curves().times[250])) < 1e-9);
        const double span = axis.high - axis.low;
        window.FormKeyDown(quorvat::key_keypad_add);
        QVERIFY(window.value_range().high - window.value_range().low < span);

        // The table shown, as CSV, through the save dialog.
        auto scripted = std::make_unique<quorvat::ScriptedOpenDialog>();
        scripted->answer = dir.file("rlc_tempo.csv");
        window.set_save_dialog(std::move(scripted));
        window.Button3Click();
        const std::string csv = quorvat::testing::read_file(dir.file("rlc_tempo.csv"));
        QVERIFY(csv.rfind("t," + n + "\n6.25,", 0) == 0);
        QCOMPARE(std::count(csv.begin(), csv.end(), '\n'), 502L);
        QVERIFY(window.curves().unit.empty());
        // A file that cannot be written is named in the log, and nothing is left behind.
        auto unwritable = std::make_unique<quorvat::ScriptedOpenDialog>();
        unwritable->answer = dir.file("falta/rlc_tempo.csv");
        window.set_save_dialog(std::move(unwritable));
        window.Button3Click();
        QVERIFY2(log.lines.back().rfind("Erro ao gravar o arquivo " + dir.file("falta/rlc_tempo.csv"), 0) == 0,
                 log.lines.back().c_str());
    }

    void badListsAreRefused() {
        quorvat::testing::ScratchDir dir;
        const std::string n = dir.write("z.n1", "0\n1\n1\n"), zero = dir.write("z.d1", "0\n0\n1\n");
        struct Case {
            std::vector<std::string> lines;
            std::string message;
        };
        const Case cases[] = {
            {{"* só comentários"}, "Nenhum par de arquivos na lista."},
            {{n}, "Falta o denominador de " + n + " na lista."},
            {{n, dir.file("falta.d1")}, "Arquivo " + dir.file("falta.d1") + " não encontrado."},
            {{n, zero}, n + ": "},
        };
        for (const Case& c : cases) {
            RecordingLog log;
            TFormTempo window(log);
            QVERIFY(!window.load(c.lines));
            QVERIFY(!window.isVisible());
            QVERIFY2(!log.lines.empty() && log.lines.back().rfind(c.message, 0) == 0,
                     log.lines.empty() ? "" : log.lines.back().c_str());
        }
    }
};

QTEST_MAIN(tst_TimeWindow)
#include "tst_time_window.moc"
