// The main window at start-up, its menu, the log sink and the about box.
#include <cfenv>
#include <string>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include "engine/log.h"
#include "plot/quorvat4.h"
#include "plot/quorvat5.h"
#include "shell_testing.h"
#include "ui/log_sink.h"
#include "ui/quorvat6.h"

using namespace quorvat;
using namespace quorvat::testing;

namespace {

const char* const expected_help[] = {
    "Quorvat - Análise Nodal Modificada em Transformada de Laplace",
    "usando o algorítmo da eliminação.",
    nullptr,  // the author line is ours: checked for being non-empty
    "",
    "Elementos aceitos e linhas do netlist:",
    "Resistor:  R<nome> <no+> <no-> <resistência>",
    "VCCS:      G<nome> <io+> <io-> <vi+> <vi-> <transcondutância>",
    "VCVC:      E<nome> <vo+> <vo-> <vi+> <vi-> <ganho de tensão>",
    "CCCS:      F<nome> <io+> <io-> <ii+> <ii-> <ganho de corrente>",
    "CCVS:      H<nome> <vo+> <vo-> <ii+> <ii-> <transresistência>",
    "Fonte I:   I<nome> <io+> <io-> <valor> <tipo de fonte>",
    "Fonte V:   V<nome> <vo+> <vo-> <valor> <tipo de fonte>",
    "Capacitor: C<nome> <no+> <no-> <capacitância> [IC=<tensão inicial>]",
    "Indutor:   L<nome> <no+> <no-> <indutância> [IC=<corrente inicial>]",
    "Amplificador operacional:  O<nome> <vo1> <vo2> <vi1> <vi2>",
    "Ind. mútua:K<nome> <L1> <L2> <coeficiente de acoplamento>",
    "Comentário: *<comentário>",
    "Comando: .(reservado, não usado)",
    "",
    "As fontes F e H tem o ramo de entrada em curto.",
    "O amplificador operacional ideal tem a saída suspensa.",
    "Os nós podem ser nomes.",
    "O acoplamento entre indutores (K) deve ser entre indutores já declarados.",
    "Tipos de fonte: IMPULSO ou DEGRAU.",
    "",
    "O programa pode plotar gráficos de resposta em frequência, a partir dos arquivos gerados.",
    "",
};

// The keyboard focus order of a window from its first control, skipping what takes no focus.
QStringList focus_order(QWidget* first, int count) {
    QStringList names;
    QWidget* widget = first;
    while (names.size() < count) {
        if (widget->focusPolicy() & Qt::TabFocus) names << widget->objectName();
        widget = widget->nextInFocusChain();
        if (widget == first) break;
    }
    return names;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startup_windows();
    void startup_log_holds_the_help_text();
    void startup_menu();
    void startup_controls_data();
    void startup_controls();
    void startup_options_and_variables();
    void abrir_then_cancel_changes_nothing();
    void log_lines_data();
    void log_lines();
    void log_keeps_order_and_floating_point_flags();
    void about_box_sets_version_at_every_activation();
};

void TestMainWindow::startup_windows() {
    Shell shell;
    QWidget* windows[] = {&shell.form1(), &shell.form2(), &shell.form3(),
                          &shell.form4(), &shell.form5(), &shell.form6()};
    const char* captions[] = {"Quorvat MNA com eliminação", "Análise", "Variáveis",
                              "Resposta em frequência - Arquivos", "Resposta em frequência", "Quorvat"};
    const QSize outer[] = {{690, 449}, {333, 219}, {194, 398}, {720, 445}, {696, 480}, {314, 121}};
    // The plot window's client area is its paint box, which the design gives: 680 x 442.
    const QSize client[] = {client_size(690, 449), client_size(333, 219), client_size(194, 398),
                            client_size(720, 445), QSize(680, 442), client_size(314, 121)};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(windows[i]->windowTitle(), QString::fromUtf8(captions[i]));
        QCOMPARE(windows[i]->size(), client[i]);
        QVERIFY(windows[i]->width() < outer[i].width() && windows[i]->height() < outer[i].height());
        QCOMPARE(windows[i]->isVisible(), i == 0);
        QVERIFY(windows[i]->isWindow());
    }
    QCOMPARE(QApplication::applicationName(), QStringLiteral("Quorvat MNA"));
}

void TestMainWindow::startup_log_holds_the_help_text() {
    Shell shell;
    QStringList lines = shell.form1().log_lines();
    QCOMPARE(lines.size(), 27);
    for (int i = 0; i < 27; ++i) {
        if (expected_help[i])
            QCOMPARE(lines[i], QString::fromUtf8(expected_help[i]));
        else
            QVERIFY(!lines[i].trimmed().isEmpty());
    }
    LogView* memo = shell.form1().Memo1;
    QFontMetrics metrics(memo->font());
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
    QCOMPARE(memo->font().pixelSize(), 11);
    QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(shell.form1().centralWidget(), memo);
}

void TestMainWindow::startup_menu() {
    Shell shell;
    TForm1& form1 = shell.form1();
    QList<QAction*> bar = form1.menuBar()->actions();
    QCOMPARE(bar.size(), 3);
    QCOMPARE(bar[0]->menu(), form1.Arquivo1);
    QCOMPARE(bar[1]->menu(), form1.Opes1);
    QCOMPARE(bar[2], form1.Sobre1);
    QVERIFY(!form1.Sobre1->menu());  // a command on the bar itself
    QCOMPARE(form1.Arquivo1->title(), QStringLiteral("&Arquivo"));
    QCOMPARE(form1.Opes1->title(), QStringLiteral("&Opções"));
    QCOMPARE(form1.Arquivo1->actions(), (QList<QAction*>{form1.Abrir1, form1.Sair1}));
    QCOMPARE(form1.Opes1->actions(), (QList<QAction*>{form1.Anlise1, form1.Grfico1, form1.Frmulas1}));

    struct Item { QAction* action; const char* name; const char* text; bool enabled; };
    Item items[] = {{form1.Abrir1, "Abrir1", "&Abrir", true},
                    {form1.Sair1, "Sair1", "&Sair", true},
                    {form1.Anlise1, "Anlise1", "&Variáveis", false},
                    {form1.Grfico1, "Grfico1", "&Gráficos", true},
                    {form1.Frmulas1, "Frmulas1", "&Fórmulas", false},
                    {form1.Sobre1, "Sobre1", "&Sobre", true}};
    for (const Item& item : items) {
        QCOMPARE(item.action->objectName(), QString::fromLatin1(item.name));
        QCOMPARE(item.action->text(), QString::fromUtf8(item.text));
        QCOMPARE(item.action->isEnabled(), item.enabled);
    }

    OpenDialog& dialog = form1.OpenDialog1();
    QCOMPARE(dialog.file_name, std::string("teste.net"));
    QCOMPARE(dialog.default_extension, std::string("net"));
    QCOMPARE(to_qt_filter(dialog.filter), std::string("netlists e decks SPICE (*.net *.cir *.sp *.spice *.ckt);;"
                                                      "netlists (*.net);;decks SPICE (*.cir *.sp *.spice *.ckt)"));

    // "Gráficos" and "Sobre" work before any analysis.
    form1.Grfico1->trigger();
    QVERIFY(shell.form4().isVisible());
    form1.Sobre1->trigger();
    QVERIFY(shell.form6().isVisible());
}

void TestMainWindow::startup_controls_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    auto row = [](const char* window, const char* control, QRect geometry, const char* text) {
        QTest::newRow((std::string(window) + "." + control).c_str())
            << QString(window) << QString(control) << geometry << QString::fromUtf8(text);
    };
    row("Form2", "CBestampas", {8, 8, 97, 17}, "Listar estampas");
    row("Form2", "CBcondensar", {145, 5, 160, 17}, "Usar condensação pivotal");
    row("Form2", "CBnorm", {8, 32, 129, 17}, "Normalizar polinômios");
    row("Form2", "CBdetalhes", {144, 32, 97, 17}, "Listar detalhes");
    row("Form2", "CBpassos", {8, 56, 97, 17}, "Listar passos");
    row("Form2", "CBfinal", {144, 56, 145, 17}, "Ver sistema resolvido");
    row("Form2", "Label1", {8, 88, 122, 13}, "Dispersão de coeficientes");
    row("Form2", "Edisp", {144, 80, 121, 21}, "1e12");
    row("Form2", "Label2", {8, 120, 100, 13}, "Menor valor não nulo");
    row("Form2", "Ezero", {144, 112, 121, 21}, "1e-12");
    row("Form2", "Button1", {224, 144, 75, 25}, "&Aplicar");
    row("Form3", "LBsel", {8, 8, 161, 313}, "");
    row("Form3", "Button1", {8, 328, 89, 25}, "&Listar resultados");
    row("Form6", "Button1", {216, 48, 75, 25}, "&Fechar");
}

void TestMainWindow::startup_controls() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    Shell shell;
    QWidget* form = window == "Form2"   ? static_cast<QWidget*>(&shell.form2())
                    : window == "Form3" ? static_cast<QWidget*>(&shell.form3())
                                        : static_cast<QWidget*>(&shell.form6());
    QWidget* widget = form->findChild<QWidget*>(control);
    QVERIFY(widget);
    // The design's place and size; a text that the font at hand makes wider than the
    // design's font widens its control to the right instead of being cut.
    QCOMPARE(widget->pos(), geometry.topLeft());
    QVERIFY(widget->width() >= geometry.width());
    if (!qobject_cast<QLabel*>(widget)) QCOMPARE(widget->height(), geometry.height());
    if (widget->width() > geometry.width()) QVERIFY(widget->sizeHint().width() > geometry.width());
    QString shown;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) shown = button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) shown = label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) shown = edit->text();
    QCOMPARE(shown, text);
    if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QLabel*>(widget))
        QVERIFY(widget->sizeHint().width() <= widget->width());
    if (auto* button = qobject_cast<QPushButton*>(widget))
        QVERIFY(button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&')) < button->width());
    // No control covers another.
    for (QWidget* other : form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (other != widget && !other->objectName().isEmpty())
            QVERIFY2(!other->geometry().intersects(widget->geometry()), qPrintable(other->objectName()));
}

void TestMainWindow::startup_options_and_variables() {
    Shell shell;
    TForm2& form2 = shell.form2();
    for (QCheckBox* box : {form2.CBestampas, form2.CBcondensar, form2.CBdetalhes, form2.CBpassos, form2.CBfinal})
        QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));
    QVERIFY(form2.CBnorm->isChecked());
    QCOMPARE(form2.options_applied, 0);
    QCOMPARE(form2.coefficient_dispersion, 0.0);
    QCOMPARE(form2.zero_threshold, 0.0);
    QCOMPARE(focus_order(form2.Button1, 9),
             QStringList({"Button1", "CBestampas", "CBnorm", "Edisp", "CBdetalhes", "CBpassos", "Ezero",
                          "CBcondensar", "CBfinal"}));
    // The engine reads each option from its own check box.
    form2.CBpassos->setChecked(true);
    QVERIFY(shell.host().checked(AnalysisOption::steps));
    QVERIFY(!shell.host().checked(AnalysisOption::final_system));

    TForm3& form3 = shell.form3();
    QCOMPARE(form3.LBsel->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(form3.LBsel->count(), 0);
    QVERIFY(!form3.Button1->isEnabled());
    QCOMPARE(focus_order(form3.LBsel, 2), QStringList({"LBsel", "Button1"}));
    form3.fill({"1", "jV1"});
    QCOMPARE(form3.LBsel->sizeHintForRow(0), 13);
    form3.LBsel->item(1)->setSelected(true);
    QVERIFY(!shell.host().selected(1));
    QVERIFY(shell.host().selected(2));
    QVERIFY(!shell.host().selected(3));  // beyond the list: not selected
}

void TestMainWindow::abrir_then_cancel_changes_nothing() {
    Shell shell;
    ScriptedOpenDialog& dialog = script_netlist_dialog(shell, "");
    dialog.cancel = true;
    QStringList before = shell.form1().log_lines();
    shell.form1().Abrir1Click();
    QCOMPARE(dialog.executions, 1);
    QCOMPARE(shell.form1().log_lines(), before);
    QVERIFY(!shell.form2().isVisible());
    QVERIFY(!shell.form1().Anlise1->isEnabled());
    QCOMPARE(dialog.file_name, std::string("teste.net"));  // a cancel keeps the proposal
}

void TestMainWindow::log_lines_data() {
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QString>("shown");
    QTest::newRow("percent signs stay") << QByteArray("100% de %d %s") << QString("[100% de %d %s]");
    QTest::newRow("Windows-1252 byte") << QByteArray("n\xf3") << QString::fromUtf8("[nó]");
    QTest::newRow("Windows-1252 high range") << QByteArray("\x80\x93x\x94") << QString::fromUtf8("[€“x”]");
    QTest::newRow("UTF-8 and Windows-1252 mixed")
        << QByteArray("a\xc3\xa7\xe3o") << QString::fromUtf8("[ação]");
    QTest::newRow("truncated UTF-8 sequence") << QByteArray("\xe2\x82") << QString::fromUtf8("[â‚]");
    QTest::newRow("line break inside") << QByteArray("a\nb\r") << QString("[a b ]");
}

void TestMainWindow::log_lines() {
    QFETCH(QByteArray, argument);
    QFETCH(QString, shown);
    Shell shell;
    MemoLog& log = shell.form1().log();
    log_message(log, "[%s]", argument.constData());
    QStringList lines = shell.form1().log_lines();
    QCOMPARE(lines.size(), 28);
    QCOMPARE(lines.last(), shown);
}

void TestMainWindow::log_keeps_order_and_floating_point_flags() {
    Shell shell;
    TForm1& form1 = shell.form1();
    MemoLog& log = form1.log();

    // An empty format adds an empty line; lines arrive in order across batches.
    log_message(log, "%s", "");
    for (int i = 0; i < 3; ++i) log_message(log, "linha %d", i);
    QVERIFY(log.pending_lines() > 0);
    QCOMPARE(form1.log_lines().mid(27), QStringList({"", "linha 0", "linha 1", "linha 2"}));
    log_message(log, "linha %d", 3);
    QTRY_COMPARE(log.pending_lines(), 0);  // the event loop flushes what nobody else did
    QCOMPARE(form1.Memo1->line(form1.Memo1->line_count() - 1), QStringLiteral("linha 3"));

    // A text over 1999 bytes is cut before a character it would split.
    std::string long_text(1998, 'a');
    long_text += "\xc3\xa9tudo";
    log_message(log, "%s", long_text.c_str());
    QString cut = form1.log_lines().last();
    QCOMPARE(cut, QString(1998, QLatin1Char('a')));

    // Logging leaves the engine's fault flags as they were: neither raised nor cleared.
    std::feclearexcept(FE_ALL_EXCEPT);
    log_message(log, "%g", 1.5);
    log.flush();
    QCOMPARE(std::fetestexcept(FE_ALL_EXCEPT & ~FE_INEXACT), 0);
    std::feraiseexcept(FE_DIVBYZERO);
    log_message(log, "%g", 2.5);
    log.flush();
    QVERIFY(std::fetestexcept(FE_DIVBYZERO));
    std::feclearexcept(FE_ALL_EXCEPT);
}

void TestMainWindow::about_box_sets_version_at_every_activation() {
    Shell shell;
    TForm6& form6 = shell.form6();
    const QString version = QString::fromUtf8("Versão 1.0d - 24/7/2015");
    QCOMPARE(form6.Label1->text(), QStringLiteral("Label1"));  // the design text until shown
    QVERIFY(!form6.Label2->text().isEmpty());
    QVERIFY(form6.Label2->text().startsWith(QStringLiteral("Quorvat")));
    QVERIFY(!form6.Label3->text().isEmpty());

    shell.form1().Sobre1Click();
    QVERIFY(form6.isVisible());
    QCOMPARE(form6.Label1->text(), version);
    QVERIFY(form6.Label1->width() >= form6.Label1->sizeHint().width());
    QVERIFY(QTest::qWaitForWindowActive(&form6));

    // Another window takes the focus, then the about box is activated again.
    form6.Label1->setText(QStringLiteral("Label1"));
    shell.form1().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&shell.form1()));
    shell.form1().Sobre1Click();
    QVERIFY(QTest::qWaitForWindowActive(&form6));
    QCOMPARE(form6.Label1->text(), version);

    // Fechar hides it; the next Sobre shows it again with the same texts.
    QTest::mouseClick(form6.Button1, Qt::LeftButton);
    QVERIFY(!form6.isVisible());
    form6.Label1->setText(QStringLiteral("Label1"));
    shell.form1().Sobre1Click();
    QVERIFY(form6.isVisible());
    QCOMPARE(form6.Label1->text(), version);
}

QUORVAT_SHELL_TEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
