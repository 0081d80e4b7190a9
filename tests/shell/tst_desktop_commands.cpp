// What the desktop program does beyond the design's run: SPICE decks through Abrir, the
// formulas window, and the log's wrap of long lines.
#include <string>

#include <QAction>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QClipboard>
#include <QtTest>

#include "shell_testing.h"
#include "support/test_files.h"
#include "ui/deck_options.h"
#include "ui/formulas_window.h"

using namespace quorvat;
using namespace quorvat::testing;

namespace {

// Runs Abrir on path with the deck question answered by options; Aplicar at the pause.
QStringList open_and_apply(Shell& shell, const std::string& path, const spice::ImportOptions& options) {
    script_netlist_dialog(shell, path);
    shell.form1().set_deck_question(std::make_unique<ScriptedDeckOptionsQuestion>());
    shell.form1().DeckOptions1().options = options;
    const qsizetype first = shell.form1().log_lines().size();
    PauseAnswer answer(shell, press_aplicar);
    shell.form1().Abrir1Click();
    return log_since(shell, first);
}

}  // namespace

class TestDesktopCommands : public QObject {
    Q_OBJECT
private slots:
    void deck_opens_through_abrir();
    void deck_options_are_kept_and_checked();
    void formulas_of_the_sallen_key();
    void formulas_reach_the_op_amp_by_its_gain_and_pole();
    void long_lines_wrap_inside_the_window_data();
    void long_lines_wrap_inside_the_window();
};

void TestDesktopCommands::deck_opens_through_abrir() {
    ScratchDir dir;
    const std::string deck = dir.write("sallen_key.cir", read_file(source_path("examples/sallen_key.cir")));
    Shell shell;
    spice::ImportOptions options;
    options.op_amps.push_back({"opamp", "3", "2", "1"});
    QStringList log = open_and_apply(shell, deck, options);
    // The import's notes first, then the run on the imported netlist and its results.
    QVERIFY2(log.contains(QStringLiteral("Importação: Nomes trocados (deck -> netlist): XU1 -> OXU1")),
             qPrintable(log.join('\n')));
    QVERIFY(log.contains(QStringLiteral("Importação: linha 18: .ac dec 20 10 100k (ignorado: não descreve o circuito)")));
    QVERIFY(log.indexOf(QRegularExpression(QStringLiteral("^Importação: "))) <
            log.indexOf(QString::fromStdString("Lendo netlist " + deck + ":")));
    QVERIFY(log.contains(QStringLiteral("OXU1 out 0 b out")));
    QCOMPARE(log.last(), QStringLiteral("Análise terminada com sucesso."));
    QVERIFY(std::filesystem::exists(dir.file("sallen_key.n4")));
    QVERIFY(shell.form1().Frmulas1->isEnabled());

    // A refused deck: its refusals with their lines, no run, the formulas stale.
    const std::string refused = dir.write("nao_linear.cir", "t\nV1 a 0 AC 1\nB1 a 0 V=v(a)*v(a)\nR1 a 0 1k\n.end\n");
    log = open_and_apply(shell, refused, options);
    QVERIFY2(log.contains(QString::fromStdString("Deck SPICE " + refused + " recusado:")), qPrintable(log.join('\n')));
    QVERIFY(log.filter(QRegularExpression(QStringLiteral("^  .*B1"))).size() >= 1);
    QVERIFY(!log.join('\n').contains(QStringLiteral("Lendo netlist")));
    QVERIFY(!shell.host().waiting());

    // A cancelled question runs nothing; the plain netlist is never asked about.
    script_netlist_dialog(shell, refused);
    auto cancel = std::make_unique<ScriptedDeckOptionsQuestion>();
    ScriptedDeckOptionsQuestion& question = *cancel;
    question.cancel = true;
    shell.form1().set_deck_question(std::move(cancel));
    const QStringList before = shell.form1().log_lines();
    shell.form1().Abrir1Click();
    QCOMPARE(question.executions, 1);
    QCOMPARE(shell.form1().log_lines(), before);
    const std::string net = dir.write("rc.net", "t\nV1 1 0 1 IMPULSO\nR1 1 2 1\nC1 2 0 1\n");
    script_netlist_dialog(shell, net);
    PauseAnswer answer(shell, press_aplicar);
    shell.form1().Abrir1Click();
    QCOMPARE(question.executions, 1);
    QCOMPARE(shell.form1().log_lines().last(), QStringLiteral("Análise terminada com sucesso."));
}

void TestDesktopCommands::deck_options_are_kept_and_checked() {
    TDeckOptions dialog;
    dialog.RBdegraus->setChecked(true);
    dialog.Eampop->setText(QStringLiteral("  opamp:3,2,1;  amp2:inp,inn,out "));
    spice::ImportOptions options;
    QVERIFY(dialog.read(options));
    QCOMPARE(options.sources, spice::SourceMode::step);
    QCOMPARE(options.op_amps.size(), std::size_t(2));
    QCOMPARE(options.op_amps[1].minus, std::string("inn"));
    TDeckOptions again;
    again.load(options);
    QVERIFY(again.RBdegraus->isChecked());
    QCOMPARE(again.Eampop->text(), QStringLiteral("opamp:3,2,1 amp2:inp,inn,out"));

    // A list that does not read keeps the dialog open and says which item is wrong.
    again.Eampop->setText(QStringLiteral("opamp:3,2,1 amp2:1,2"));
    again.show();
    again.accept();
    QVERIFY(again.isVisible());
    QVERIFY(again.Lerro->text().startsWith(QStringLiteral("amp2:1,2: ")));
    QCOMPARE(again.result(), 0);
    for (const QString& text : {again.RBescritas->text(), again.RBimpulsos->text(), again.RBdegraus->text(),
                                again.Button1->text(), again.Button2->text()})
        QVERIFY2(!QKeySequence::mnemonic(text).isEmpty(), qPrintable(text));
}

void TestDesktopCommands::formulas_of_the_sallen_key() {
    ScratchDir dir;
    const std::string net = dir.write("sallen_key.net", read_file(source_path("examples/sallen_key.net")));
    Shell shell;
    TFormulas& formulas = shell.formulas();
    QVERIFY(!formulas.Button1->isEnabled());
    QVERIFY(!open_and_apply(shell, net, {}).isEmpty());
    QVERIFY(shell.form1().Frmulas1->isEnabled());
    ErrorRecorder errors;
    shell.form1().Frmulas1->trigger();
    QVERIFY2(errors.messages.isEmpty(), qPrintable(errors.messages.join('\n')));
    QVERIFY(formulas.isVisible());
    // Every variable at once, with the check's verdict.
    QVERIFY(formulas.text_form().find("V(out) = N(s)/D(s)   (variável 4)") != std::string::npos);
    QVERIFY(formulas.text_form().find("(variável 1)") != std::string::npos);
    QCOMPARE(formulas.Lsituacao->text(), QStringLiteral("verificado"));

    struct Case {
        QRadioButton* mode;
        const char* elements;
        const char* tolerance;  // nullptr: no approximation
        std::string text;
        const char* situation;
        bool gain_pole = false;
    };
    const Case cases[] = {
        {formulas.RBtodos, "", nullptr,
         "Símbolos: V1 R1 R2 C1 C2\n\nV(out) = N(s)/D(s)   (variável 4)\n  N(s) = V1\n"
         "  D(s) = R1*R2*C1*C2*s^2\n       + (R1*C2 + R2*C2)*s\n       + 1\n",
         "verificado"},
        {formulas.RBexceto, "R1, r2", nullptr,
         "Símbolos: V1 C1 C2\n\nV(out) = N(s)/D(s)   (variável 4)\n  N(s) = V1\n"
         "  D(s) = C1*C2*s^2\n       + 2*C2*s\n       + 1\n",
         "verificado"},
        {formulas.RBsomente, "R9", nullptr, "", "Elemento sem valor ou inexistente: R9"},
        {formulas.RBtodos, "", "1.5", "", "Tolerância inválida: use um número de 0 a menos de 1, por exemplo 0.01."},
        {formulas.RBtodos, "", nullptr,
         "Ganho e polo dominante com tolerância 0.1 (erro relativo nos valores do netlist, exato):\n  V(out):\n"
         "    Ganho em s -> 0, simplificado elemento a elemento: V1\n      = 1; 1 e 1 termos, erro 0.00e+00\n"
         "    Polo dominante -a0/a1, simplificado elemento a elemento: -1/(C2*(R1 + R2))\n"
         "      = -0.707107 rad/s; 1 e 2 termos, erro 0.00e+00\n",
         "verificado (a forma exata de que as fórmulas foram tiradas)", true},
    };
    QListWidget* variables = shell.form3().LBsel;
    variables->clearSelection();
    variables->item(3)->setSelected(true);  // V(out), variable 4
    for (const Case& c : cases) {
        c.mode->setChecked(true);
        formulas.Eelementos->setText(QString::fromUtf8(c.elements));
        formulas.CBaproximar->setChecked(c.tolerance != nullptr);
        if (c.tolerance) formulas.Etolerancia->setText(QString::fromLatin1(c.tolerance));
        formulas.CBganhopolo->setChecked(c.gain_pole);
        formulas.Button1->click();
        QCOMPARE(formulas.Lsituacao->text(), QString::fromUtf8(c.situation));
        QCOMPARE(formulas.text_form(), c.text);
        QCOMPARE(formulas.Memo1->toPlainText(), QString::fromStdString(c.text));
        QCOMPARE(formulas.Button2->isEnabled(), !c.text.empty());
        QCOMPARE(formulas.Button3->isEnabled(), !c.text.empty() && !c.gain_pole);
    }
    formulas.RBtodos->setChecked(true);
    formulas.CBaproximar->setChecked(false);
    formulas.CBganhopolo->setChecked(false);
    formulas.Button1->click();
    QVERIFY(formulas.latex_form().find("V_{\\mathrm{out}}(s) = \\frac{V_{1}}{R_{1} R_{2} C_{1} C_{2} s^{2} + "
                                       "\\left(R_{1} C_{2} + R_{2} C_{2}\\right) s + 1}") != std::string::npos);
    QVERIFY(formulas.python_form().find("sympy") != std::string::npos);
    formulas.Button3->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(formulas.latex_form()));

    // A new run makes the result stale until it succeeds.
    script_netlist_dialog(shell, dir.file("falta.net"));
    shell.form1().Abrir1Click();
    QVERIFY(!shell.form1().Frmulas1->isEnabled());
    QVERIFY(!formulas.Button1->isEnabled());
    QVERIFY(formulas.text_form().empty());
}

void TestDesktopCommands::formulas_reach_the_op_amp_by_its_gain_and_pole() {
    // Too long to expand, the 24-transistor model still gives its output's gain and pole.
    ScratchDir dir;
    const std::string net = dir.write("amp.net", read_file(source_path("examples/amp_op_bipolar24.net")));
    Shell shell;
    TFormulas& formulas = shell.formulas();
    QVERIFY(!open_and_apply(shell, net, {}).isEmpty());
    ErrorRecorder errors;  // an error box would wait for a click that never comes
    QListWidget* variables = shell.form3().LBsel;
    variables->clearSelection();
    variables->item(22)->setSelected(true);  // V(n20), variable 23
    formulas.Button1->click();
    QVERIFY2(formulas.Lsituacao->text().contains(QStringLiteral("peça só o ganho e o polo dominante")),
             qPrintable(formulas.Lsituacao->text()));
    formulas.CBganhopolo->setChecked(true);
    formulas.Button1->click();
    QCOMPARE(formulas.Lsituacao->text(), QStringLiteral("verificado (a forma exata de que as fórmulas foram tiradas)"));
    QVERIFY2(formulas.text_form().find("  V(n20):\n") != std::string::npos, formulas.text_form().c_str());
    QVERIFY2(formulas.text_form().find("= 225399; 2 e 28 termos, erro 9.57e-02\n") != std::string::npos,
             formulas.text_form().c_str());
    QVERIFY(!formulas.Button3->isEnabled());
    QVERIFY2(errors.messages.isEmpty(), qPrintable(errors.messages.join('\n')));
}

void TestDesktopCommands::long_lines_wrap_inside_the_window_data() {
    QTest::addColumn<int>("width");
    for (int width : {200, 337, 674, 1001}) QTest::newRow(qPrintable(QString::number(width))) << width;
}

void TestDesktopCommands::long_lines_wrap_inside_the_window() {
    // Every character of a long line is in some row, and no row passes the right edge in
    // the log's own font, whose advance is not a whole number of pixels.
    QFETCH(int, width);
    Shell shell;
    LogView& memo = *shell.form1().Memo1;
    shell.form1().resize(width, 300);
    shell.form1().show();
    QVERIFY(QTest::qWaitForWindowExposed(&shell.form1()));
    QString line;
    for (int i = 0; line.size() < 1500; ++i) line += QStringLiteral("C%1 = ação -1.25e-07 ").arg(i);
    shell.form1().log().log(line.toStdString());
    shell.form1().log().flush();
    const qsizetype index = memo.line_count() - 1;
    QCOMPARE(memo.line(index), line);
    const QStringList rows = memo.rows(index);
    QVERIFY(rows.size() > 1);
    QCOMPARE(rows.join(QString()), line);
    const QFontMetricsF metrics(memo.font());
    const qreal room = memo.viewport()->width() - 4;  // the view's margin on the left
    for (const QString& row : rows) QVERIFY2(metrics.horizontalAdvance(row) <= room, qPrintable(row));
    // The rows are as full as the width allows: one more character would not fit.
    QVERIFY(metrics.horizontalAdvance(rows.first() + QLatin1Char('M')) > room - 4);
}

QUORVAT_SHELL_TEST_MAIN(TestDesktopCommands)
#include "tst_desktop_commands.moc"
