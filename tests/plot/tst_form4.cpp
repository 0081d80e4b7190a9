// Form4: its controls and defaults, Adicionar through a scripted dialog, Plotar.
#include <clocale>
#include <memory>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "plot/quorvat4.h"
#include "plot/quorvat5.h"
#include "plot_test_support.h"
#include "support/test_files.h"

using quorvat::testing::RecordingLog;
using Lines = std::vector<std::string>;

class tst_Form4 : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<RecordingLog> log;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TForm5> form5;
    quorvat::ScriptedOpenDialog* dialog = nullptr;

    Lines memo_lines() const {
        Lines lines;
        for (const QString& line : form4->Memo1->toPlainText().split('\n')) lines.push_back(line.toStdString());
        return lines;
    }
    void choose(const std::string& file) {
        dialog->answer = file;
        form4->Button1Click();
    }

private slots:
    void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }

    void init() {
        log = std::make_unique<RecordingLog>();
        form4 = std::make_unique<TForm4>(*log);
        form5 = std::make_unique<TForm5>(*form4);
        form4->attach_plot_window(form5.get());
        form4->OpenDialog1().file_name = "/tmp/teste.n1";  // as the analysis run proposes
        auto scripted = std::make_unique<quorvat::ScriptedOpenDialog>();
        dialog = scripted.get();
        form4->set_open_dialog(std::move(scripted));
    }
    void cleanup() {
        form5.reset();
        form4.reset();
    }

    void controlsAndDefaults_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        QTest::newRow("wmin") << "Ewmin" << "Frequência mínima" << "0.1";
        QTest::newRow("wmax") << "Ewmax" << "Frequência máxima" << "5";
        QTest::newRow("gmin") << "Egmin" << "Módulo mínimo (dB)" << "-60";
        QTest::newRow("gmax") << "Egmax" << "Módulo máximo (dB)" << "20";
        QTest::newRow("fmin") << "Efmin" << "Fase mínima (graus)" << "-180";
        QTest::newRow("fmax") << "Efmax" << "Fase máxima (graus)" << "180";
        QTest::newRow("amin") << "Eamin" << "Atraso de grupo mínimo (s)" << "-10";
        QTest::newRow("amax") << "Eamax" << "Atraso de grupo máximo (s)" << "40";
        QTest::newRow("segmentos") << "Esegmentos" << "Segmentos" << "300";
    }
    void controlsAndDefaults() {
        QFETCH(QString, edit);
        QFETCH(QString, caption);
        QFETCH(QString, text);
        auto* box = form4->findChild<QLineEdit*>(edit);
        QVERIFY(box);
        QCOMPARE(box->text(), text);
        bool labelled = false;
        for (QLabel* label : form4->findChildren<QLabel*>()) labelled |= label->buddy() == box && label->text() == caption;
        QVERIFY(labelled);
    }

    void checkBoxesMemoAndWindow() {
        struct Check {
            const char* name;
            const char* caption;
            bool checked;
        };
        for (Check c : {Check{"CBhz", "Frequências em Hz", false},
                        Check{"CBlog", "Frequências em escala logarítmica", true}, Check{"CBgrade", "Grade", true},
                        Check{"CBfase", "Fase", true}, Check{"CBtg", "Atraso de grupo", true}}) {
            auto* box = form4->findChild<QCheckBox*>(c.name);
            QVERIFY2(box, c.name);
            QCOMPARE(box->text(), QString::fromUtf8(c.caption));
            QCOMPARE(box->isChecked(), c.checked);
        }
        QCOMPARE(form4->findChild<QLabel*>("Label10")->text(), QStringLiteral("Comandos diretos: Setas,a,r,+,-"));
        QCOMPARE(form4->findChild<QPushButton*>("Button1")->text(), QStringLiteral("&Adicionar"));
        QCOMPARE(form4->findChild<QPushButton*>("Button2")->text(), QStringLiteral("&Plotar"));
        QCOMPARE(form4->windowTitle(), QStringLiteral("Resposta em frequência - Arquivos"));
        QCOMPARE(form5->windowTitle(), QStringLiteral("Resposta em frequência"));
        QCOMPARE(form4->OpenDialog1().filter, std::string("Numeradores|*.n*|Denominadores|*.d"));
        QCOMPARE(memo_lines(), (Lines{
            "* Coloque aqui uma série de transformadas de Laplace a plotar, na forma:",
            "* <Arquivo com numerador>",
            "* <Arquivo com denominador>",
            "* No comando de adicionar selecione o numerador, que deve ter sufixo \".nxx\". ",
            "* É assumido que o denominador tem o mesmo nome com sufixo \".dxx\". ",
        }));
        // Ctrl+Z in the fresh list takes back nothing: the instructions are not an edit.
        const Lines fresh = memo_lines();
        QTest::keyClick(form4->Memo1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(memo_lines(), fresh);
        QTest::keyClicks(form4->Memo1, "x");
        QTest::keyClick(form4->Memo1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(memo_lines(), fresh);
    }

    void adicionar() {
        QCOMPARE(dialog->file_name, std::string("/tmp/teste.n1"));  // the proposal survives the swap
        form4->Memo1->clear();
        choose("/dados/proj.new/filtro.N2");
        choose("filtro.d2");
        dialog->cancel = true;
        choose("x.n1");
        QCOMPARE(dialog->executions, 3);
        QCOMPARE(memo_lines(), (Lines{"/dados/proj.new/filtro.N2", "/dados/proj.new/filtro.d2",
                                      "* Arquivo com nome inválido."}));
        // A memo ending with Enter gets the lines there, with no empty line between.
        form4->Memo1->setPlainText("* a\n");
        dialog->cancel = false;
        choose("b.n1");
        QCOMPARE(memo_lines(), (Lines{"* a", "b.n1", "b.d1"}));
    }

    void plotarShowsThePlotWindow() {
        quorvat::testing::ScratchDir dir;
        std::string n = dir.write("rc.n1", "0\n1\n1\n"), d = dir.write("rc.d1", "1\n1\n1\n1\n");
        form4->Memo1->appendPlainText(QString::fromStdString(n));
        form4->Memo1->appendPlainText(QString::fromStdString(d) + "\n");  // a last empty line does not count
        form4->Esegmentos->setText("12abc");
        form4->Ewmax->setText("8");
        form4->Button2->click();
        QCOMPARE(log->lines, (Lines{"Lendo arquivo " + n, "Lendo arquivo " + d, "Lidas 1 funções"}));
        QVERIFY(form5->isVisible());
        quorvat::PlotterState& state = form4->plotter();
        QCOMPARE(state.plot_ready, 1);
        QCOMPARE(state.settings.segments, 12);
        QCOMPARE(state.settings.wmax, 8.0);
        QTRY_COMPARE(state.recompute_needed, 0);  // Form5 painted and evaluated

        form4->Memo1->setPlainText(QString::fromStdString(n + "\n" + d + "\nnada.n1"));
        form4->Button2->click();
        QCOMPARE(log->lines.back(), std::string("Arquivo nada.n1 não encontrado."));
        QVERIFY(!form5->isVisible());
        QCOMPARE(state.plot_ready, 0);
    }
};

QTEST_MAIN(tst_Form4)
#include "tst_form4.moc"
