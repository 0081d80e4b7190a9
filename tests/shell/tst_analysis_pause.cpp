// An analysis run driven through the windows: the options pause and its ways out, the
// error box, the results listing and the proposed plot file, and a log that shows every
// line the run writes, in order.
#include <cfenv>
#include <filesystem>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextBlock>
#include <QtTest>

#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "engine/results.h"
#include "plot/quorvat4.h"
#include "shell_testing.h"
#include "ui/quorvat6.h"
#include "support/fake_host.h"
#include "support/test_files.h"

using namespace quorvat;
using namespace quorvat::testing;

namespace {

// The worked example: a step of current into two RC cells.
const char* const example_netlist =
    "Exemplo\nI1 0 1 1 DEGRAU\nR1 1 2 1\nC1 1 0 1\nC2 2 0 1\n";

QStringList to_qt(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& line : lines) out << QString::fromStdString(line);
    return out;
}

// The same run through the fake host, with the options of the windows.
QStringList fake_run(const std::string& path, std::set<AnalysisOption> options, std::set<int> selection = {}) {
    EngineTables tables{};
    FakeHost host;
    host.file_name = path;
    host.options = std::move(options);
    host.selection = std::move(selection);
    run_analysis(tables, host);
    return to_qt(host.lines);
}

// Compares whole logs; the elapsed seconds are the one line that may differ.
bool same_log(const QStringList& actual, const QStringList& expected, QString& why) {
    static const QRegularExpression elapsed(QStringLiteral("^Tempo usado: \\d+ s$"));
    for (qsizetype i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        QString got = i < actual.size() ? actual[i] : QStringLiteral("<end>");
        QString want = i < expected.size() ? expected[i] : QStringLiteral("<end>");
        if (got == want || (elapsed.match(got).hasMatch() && elapsed.match(want).hasMatch())) continue;
        why = QStringLiteral("line %1: \"%2\" instead of \"%3\"").arg(i).arg(got, want);
        return false;
    }
    return true;
}

}  // namespace

class TestAnalysisPause : public QObject {
    Q_OBJECT
private slots:
    void pause_shows_the_variables_and_applies_the_options();
    void second_run_shows_the_first_runs_settings();
    void close_box_cancels_the_run();
    void empty_dispersion_stops_with_the_error_box();
    void zero_resistor_abandons_the_run_with_the_error_box();
    void run_ending_before_the_pause_disables_the_listing();
    void results_listing_and_proposed_plot_file();
    void smaller_second_run_offers_only_its_own_variables();
    void log_shows_every_line_of_a_run_with_every_listing();
    void windows_1252_and_utf8_names_show_as_their_characters();
    void exact_mode_takes_a_circuit_beyond_the_tables();
};

void TestAnalysisPause::pause_shows_the_variables_and_applies_the_options() {
    ScratchDir dir;
    std::string path = dir.write("teste.net", example_netlist);
    Shell shell;
    ScriptedOpenDialog& dialog = script_netlist_dialog(shell, path);
    TForm1& form1 = shell.form1();
    qsizetype first = form1.log_lines().size();

    QStringList at_pause;
    PauseAnswer answer(shell, [&](TForm2& form2, TForm3& form3) {
        at_pause = log_since(shell, first);  // everything before the pause is on screen
        QVERIFY(form3.isVisible());
        QCOMPARE(form3.LBsel->count(), 2);
        QCOMPARE(form3.LBsel->item(0)->text(), QStringLiteral("1"));
        QCOMPARE(form3.LBsel->item(1)->text(), QStringLiteral("2"));
        QVERIFY(!form3.Button1->isEnabled());
        QVERIFY(form1.Anlise1->isEnabled());
        QVERIFY(!form1.Abrir1->isEnabled());
        // One run at a time: Abrir during the pause starts nothing.
        form1.Abrir1Click();
        QCOMPARE(dialog.executions, 1);
        form2.Edisp->setText(QStringLiteral("1e12x"));
        form2.Ezero->setText(QStringLiteral(" 2.5e-9"));
        QTest::mouseClick(form2.Button1, Qt::LeftButton);
        QVERIFY(!form2.isVisible());
        QVERIFY(!form3.isVisible());
        QCOMPARE(form2.options_applied, 1);
    });
    form1.Abrir1Click();
    QVERIFY(answer.answered());
    QCOMPARE(shell.form2().coefficient_dispersion, 1e12);
    QCOMPARE(shell.form2().zero_threshold, 2.5e-9);
    QCOMPARE(shell.tables().arithmetic.zero_threshold, 2.5e-9);
    QVERIFY(form1.Abrir1->isEnabled());

    QStringList lines = log_since(shell, first);
    QCOMPARE(at_pause.last(), QStringLiteral("O circuito tem 2 nós, 2 variáveis e 4 elementos"));
    QCOMPARE(lines.mid(0, at_pause.size()), at_pause);
    QCOMPARE(lines[at_pause.size()], QStringLiteral("Calculando..."));
    QCOMPARE(lines.last(), QStringLiteral("Análise terminada com sucesso."));
    QString why;
    QVERIFY2(same_log(lines, fake_run(path, {AnalysisOption::normalise}), why), qPrintable(why));
}

void TestAnalysisPause::second_run_shows_the_first_runs_settings() {
    ScratchDir dir;
    std::string path = dir.write("teste.net", example_netlist);
    Shell shell;
    script_netlist_dialog(shell, path);
    {
        PauseAnswer answer(shell, [](TForm2& form2, TForm3& form3) {
            form2.CBdetalhes->setChecked(true);
            form2.CBnorm->setChecked(false);
            form2.Ezero->setText(QStringLiteral("1e-10"));
            press_aplicar(form2, form3);
        });
        shell.form1().Abrir1Click();
        QVERIFY(answer.answered());
    }
    QCOMPARE(shell.form2().zero_threshold, 1e-10);
    qsizetype first = shell.form1().log_lines().size();
    bool seen = false;
    PauseAnswer answer(shell, [&](TForm2& form2, TForm3& form3) {
        seen = true;
        QVERIFY(form2.CBdetalhes->isChecked());
        QVERIFY(!form2.CBnorm->isChecked());
        QCOMPARE(form2.Ezero->text(), QStringLiteral("1e-10"));
        QCOMPARE(form2.Edisp->text(), QStringLiteral("1e12"));
        QCOMPARE(form2.options_applied, 0);  // cleared by the run before its pause
        QVERIFY(!form3.Button1->isEnabled());  // the first run's results are not this run's
        press_aplicar(form2, form3);
    });
    shell.form1().Abrir1Click();
    QVERIFY(seen);
    QString why;
    QVERIFY2(same_log(log_since(shell, first), fake_run(path, {AnalysisOption::details}), why), qPrintable(why));
}

void TestAnalysisPause::close_box_cancels_the_run() {
    ScratchDir dir;
    std::string path = dir.write("teste.net", example_netlist);
    Shell shell;
    TForm1& form1 = shell.form1();
    script_netlist_dialog(shell, path);
    qsizetype first = form1.log_lines().size();
    {
        PauseAnswer answer(shell, [](TForm2& form2, TForm3&) { form2.close(); });
        form1.Abrir1Click();
        QVERIFY(answer.answered());
    }
    QStringList lines = log_since(shell, first);
    QCOMPARE(lines.last(), QStringLiteral("Análise cancelada."));
    QVERIFY(!lines.contains(QStringLiteral("Calculando...")));
    QVERIFY(!shell.form2().isVisible());
    QVERIFY(!shell.form3().isVisible());
    QVERIFY(form1.Abrir1->isEnabled());
    QVERIFY(!shell.form3().Button1->isEnabled());
    QVERIFY(!QFile::exists(QString::fromStdString(dir.file("teste.n1"))));

    // The program goes on: the next run reaches its pause and ends normally.
    PauseAnswer answer(shell, press_aplicar);
    form1.Abrir1Click();
    QVERIFY(answer.answered());
    QCOMPARE(form1.log_lines().last(), QStringLiteral("Análise terminada com sucesso."));
    // Closing Form2 outside a run only hides it.
    show_window(shell.form2());
    shell.form2().close();
    QVERIFY(!shell.form2().isVisible());
}

void TestAnalysisPause::empty_dispersion_stops_with_the_error_box() {
    ScratchDir dir;
    std::string path = dir.write("teste.net", example_netlist);
    Shell shell;
    script_netlist_dialog(shell, path);
    ErrorRecorder errors;
    PauseAnswer answer(shell, [](TForm2& form2, TForm3& form3) {
        form2.Edisp->clear();
        press_aplicar(form2, form3);
    });
    shell.form1().Abrir1Click();
    QVERIFY(answer.answered());
    QCOMPARE(shell.form2().coefficient_dispersion, 0.0);
    // The first trimming divides by the dispersion: x/0, or 0/0 for an entry that is zero.
    QCOMPARE(errors.messages.size(), 1);
    QVERIFY2(errors.messages[0] == QString::fromUtf8(FloatingPointFault(FE_DIVBYZERO).what()) ||
                 errors.messages[0] == QString::fromUtf8(FloatingPointFault(FE_INVALID).what()),
             qPrintable(errors.messages[0]));
    QCOMPARE(shell.form1().log_lines().last(), QStringLiteral("Calculando..."));
    QVERIFY(!shell.form1().log_lines().contains(QStringLiteral("Análise terminada com sucesso.")));
}

void TestAnalysisPause::zero_resistor_abandons_the_run_with_the_error_box() {
    ScratchDir dir;
    std::string path = dir.write("zero.net", "Resistor nulo\nV1 1 0 1 DEGRAU\nR1 1 2 1\nR2 2 0 0\n");
    Shell shell;
    script_netlist_dialog(shell, path);
    ErrorRecorder errors;
    TForm1& form1 = shell.form1();
    qsizetype first = form1.log_lines().size();
    QStringList at_error;
    set_error_display([&](const QString& message) {
        errors.messages << message;
        // The box shows over a log that already holds every line written before.
        at_error = form1.Memo1->lines();
    });
    PauseAnswer answer(shell, press_aplicar);
    form1.Abrir1Click();
    QVERIFY(answer.answered());
    QCOMPARE(errors.messages.size(), 1);
    QCOMPARE(errors.messages[0], QString::fromUtf8(FloatingPointFault(FE_DIVBYZERO).what()));

    QStringList lines = log_since(shell, first);
    QCOMPARE(at_error.mid(first), lines);
    QCOMPARE(lines.last(), QStringLiteral("Calculando..."));
    QVERIFY(lines.contains(QStringLiteral("R2 2 0 0")));
    QVERIFY(!shell.form3().Button1->isEnabled());
    QVERIFY(form1.Abrir1->isEnabled());
    QCOMPARE(std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW), 0);

    // The event loop goes on: the next command works.
    form1.Sobre1Click();
    QVERIFY(shell.form6().isVisible());
}

void TestAnalysisPause::run_ending_before_the_pause_disables_the_listing() {
    ScratchDir dir;
    std::string good = dir.write("teste.net", example_netlist);
    Shell shell;
    ScriptedOpenDialog& dialog = script_netlist_dialog(shell, good);
    {
        PauseAnswer answer(shell, press_aplicar);
        shell.form1().Abrir1Click();
    }
    QVERIFY(shell.form3().Button1->isEnabled());
    dialog.answer = dir.file("falta.net");
    shell.form1().Abrir1Click();
    QCOMPARE(shell.form1().log_lines().last(),
             QString::fromStdString("Arquivo " + dir.file("falta.net") + " inexistente"));
    QVERIFY(!shell.form2().isVisible());
    QVERIFY(!shell.form3().Button1->isEnabled());
    QVERIFY(shell.form1().Anlise1->isEnabled());  // stays enabled once a run reached the pause
}

void TestAnalysisPause::results_listing_and_proposed_plot_file() {
    ScratchDir dir;
    std::string path = dir.write("teste.net", example_netlist);
    Shell shell;
    script_netlist_dialog(shell, path);
    PauseAnswer answer(shell, [](TForm2& form2, TForm3& form3) {
        form3.LBsel->item(1)->setSelected(true);  // listed automatically after the solution
        press_aplicar(form2, form3);
    });
    shell.form1().Abrir1Click();
    QVERIFY(answer.answered());
    QString why;
    QStringList run = fake_run(path, {AnalysisOption::normalise}, {2});
    QVERIFY(run.contains(QStringLiteral("Denominador 2 (2):")));
    qsizetype first = shell.form1().log_lines().size() - run.size();
    QVERIFY2(same_log(log_since(shell, first), run, why), qPrintable(why));

    TForm3& form3 = shell.form3();
    QVERIFY(form3.Button1->isEnabled());
    QCOMPARE(shell.form4().OpenDialog1().file_name, dir.file("teste.n1"));

    // The listing on demand: variables in index order, whatever the order of selection.
    EngineTables tables{};
    FakeHost host;
    host.file_name = path;
    run_analysis(tables, host);
    host.lines.clear();
    host.selection = {1, 2};
    list_selected_results(tables, host);
    QStringList expected = to_qt(host.lines);
    QVERIFY(expected.first() == QStringLiteral("Numerador 1 (1):"));

    form3.LBsel->clearSelection();
    form3.LBsel->item(1)->setSelected(true);
    form3.LBsel->item(0)->setSelected(true);
    show_window(form3);
    first = shell.form1().log_lines().size();
    QTest::mouseClick(form3.Button1, Qt::LeftButton);
    QVERIFY2(same_log(log_since(shell, first), expected, why), qPrintable(why));
    // Twice gives the block twice; nothing selected adds nothing.
    form3.Button1Click();
    QCOMPARE(log_since(shell, first), expected + expected);
    form3.LBsel->clearSelection();
    qsizetype count = shell.form1().log_lines().size();
    form3.Button1Click();
    QCOMPARE(shell.form1().log_lines().size(), count);
}

void TestAnalysisPause::smaller_second_run_offers_only_its_own_variables() {
    ScratchDir dir;
    std::string first = dir.write("teste.net", example_netlist);
    std::string second = dir.write("rc.net", "RC\nI1 0 a 1 DEGRAU\nR1 a 0 1\nC1 a 0 1\n");
    Shell shell;
    ScriptedOpenDialog& dialog = script_netlist_dialog(shell, first);
    {
        PauseAnswer answer(shell, [](TForm2& form2, TForm3& form3) {
            form3.LBsel->item(1)->setSelected(true);
            press_aplicar(form2, form3);
        });
        shell.form1().Abrir1Click();
    }
    dialog.answer = second;
    QStringList names;
    PauseAnswer answer(shell, [&](TForm2& form2, TForm3& form3) {
        for (int i = 0; i < form3.LBsel->count(); ++i) names << form3.LBsel->item(i)->text();
        QVERIFY(form3.LBsel->selectedItems().isEmpty());  // the new list starts unselected
        form3.LBsel->item(0)->setSelected(true);
        press_aplicar(form2, form3);
    });
    shell.form1().Abrir1Click();
    QVERIFY(answer.answered());
    QCOMPARE(names, QStringList({"a"}));
    QCOMPARE(shell.form4().OpenDialog1().file_name, dir.file("rc.n1"));
    qsizetype before = shell.form1().log_lines().size();
    shell.form3().Button1Click();
    QStringList listed = log_since(shell, before);
    QCOMPARE(listed.first(), QStringLiteral("Numerador 1 (a):"));
    QVERIFY(listed.filter(QRegularExpression("^(Numerador|Denominador) ")).size() == 2);
}

void TestAnalysisPause::log_shows_every_line_of_a_run_with_every_listing() {
    ScratchDir dir;
    std::string path = dir.write("escada.net",
                                 "Escada RC\nV1 1 0 1 DEGRAU\nR1 1 2 1\nC1 2 0 1\nR2 2 3 1\nC2 3 0 1\n"
                                 "R3 3 4 1\nC3 4 0 1\n");
    Shell shell;
    script_netlist_dialog(shell, path);
    qsizetype first = shell.form1().log_lines().size();
    PauseAnswer answer(shell, [](TForm2& form2, TForm3& form3) {
        for (QCheckBox* box : {form2.CBestampas, form2.CBdetalhes, form2.CBpassos, form2.CBcondensar, form2.CBfinal})
            box->setChecked(true);
        for (int i = 0; i < form3.LBsel->count(); ++i) form3.LBsel->item(i)->setSelected(true);
        press_aplicar(form2, form3);
    });
    shell.form1().Abrir1Click();
    QVERIFY(answer.answered());
    QStringList expected = fake_run(path,
                                    {AnalysisOption::list_stamps, AnalysisOption::normalise,
                                     AnalysisOption::details, AnalysisOption::steps,
                                     AnalysisOption::pivotal_condensation, AnalysisOption::final_system},
                                    {1, 2, 3, 4, 5});
    QVERIFY(expected.size() > 500);
    QString why;
    QVERIFY2(same_log(log_since(shell, first), expected, why), qPrintable(why));
}

void TestAnalysisPause::windows_1252_and_utf8_names_show_as_their_characters() {
    ScratchDir dir;
    // "nó" and "ação" in Windows-1252 bytes; "pé" in UTF-8 in a file of its own.
    std::string latin = dir.write("latin.net", "t\nI1 0 n\xF3 1 DEGRAU\nR1 n\xF3 a\xE7\xE3o 1\nC1 a\xE7\xE3o 0 1\n");
    std::string utf8 = dir.write("utf8.net", "t\nI1 0 pé 1 DEGRAU\nR1 pé 0 1\n");
    Shell shell;
    ScriptedOpenDialog& dialog = script_netlist_dialog(shell, latin);
    QStringList items;
    auto read_items = [&](TForm2& form2, TForm3& form3) {
        items.clear();
        for (int i = 0; i < form3.LBsel->count(); ++i) items << form3.LBsel->item(i)->text();
        press_aplicar(form2, form3);
    };
    {
        PauseAnswer answer(shell, read_items);
        shell.form1().Abrir1Click();
        QVERIFY(answer.answered());
    }
    QCOMPARE(items, QStringList({QString::fromUtf8("nó"), QString::fromUtf8("ação")}));
    QVERIFY(shell.form1().log_lines().contains(QString::fromUtf8("R1 nó ação 1")));
    QVERIFY(shell.form1().log_lines().contains(QString::fromUtf8("2: ação")));
    dialog.answer = utf8;
    PauseAnswer answer(shell, read_items);
    shell.form1().Abrir1Click();
    QVERIFY(answer.answered());
    QCOMPARE(items, QStringList({QString::fromUtf8("pé")}));
    QVERIFY(shell.form1().log_lines().contains(QString::fromUtf8("R1 pé 0 1")));
}

void TestAnalysisPause::exact_mode_takes_a_circuit_beyond_the_tables() {
    ScratchDir dir;
    std::string text = "Escada RC\nV1 1 0 1 D\n";
    for (int i = 1; i <= 29; ++i)
        text += "R" + std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(i + 1) + " 1\nC" +
                std::to_string(i) + " " + std::to_string(i + 1) + " 0 1\n";
    std::string path = dir.write("escada.net", text);  // 30 nodes and one source: 31 variables
    Shell shell;
    shell.form2().CBexato->setChecked(true);
    script_netlist_dialog(shell, path);
    int listed = 0;
    ErrorRecorder errors;
    PauseAnswer answer(shell, [&](TForm2& form2, TForm3& form3) {
        listed = form3.LBsel->count();
        // A scale that is not a positive number keeps the pause open.
        form2.Eescala->setText(QStringLiteral("-1"));
        press_aplicar(form2, form3);
        QCOMPARE(form2.options_applied, 0);
        form2.Eescala->setText(QStringLiteral("1e3"));
        press_aplicar(form2, form3);
    });
    shell.form1().Abrir1Click();
    QVERIFY(answer.answered());
    QCOMPARE(errors.messages.size(), 1);
    QVERIFY(errors.messages[0].startsWith(QStringLiteral("Escala de frequência inválida: -1")));
    QStringList log = shell.form1().log_lines();
    QVERIFY(log.contains(QStringLiteral("Resultados em função de s/W, com a escala de frequência W = 1000 rad/s.")));
    QVERIFY(log.contains(QStringLiteral("Análise terminada com sucesso.")));
    QCOMPARE(listed, 31);
    QVERIFY(std::filesystem::exists(dir.file("escada.n1")));
    QVERIFY(read_file(dir.file("escada.d31")).find("\nescala 1000\n") != std::string::npos);
}

QUORVAT_SHELL_TEST_MAIN(TestAnalysisPause)
#include "tst_analysis_pause.moc"
