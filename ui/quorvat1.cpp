#include "ui/quorvat1.h"

#include <cstdlib>

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>

#include "engine/analysis_run.h"
#include "plot/command.h"
#include "plot/quorvat4.h"
#include "spice/import_report.h"
#include "ui/formulas_window.h"
#include "ui/quorvat3.h"
#include "ui/quorvat6.h"
#include "ui/shell.h"
#include "ui/window_host.h"

namespace {

// The help text that the log starts with.
const char* const help_lines[] = {
    "Quorvat - Análise Nodal Modificada em Transformada de Laplace",
    "usando o algorítmo da eliminação.",
    "Equipe Quorvat - contato@quorvat.example",
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

QAction* add_item(QMenu* menu, const char* object_name, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(object_name));
    return action;
}

}  // namespace

TForm1::TForm1(quorvat::Shell& shell)
    : Memo1(new quorvat::LogView),
      shell_(shell),
      log_(*Memo1),
      open_dialog_(std::make_unique<quorvat::QtOpenDialog>(this)),
      deck_question_(std::make_unique<quorvat::QtDeckOptionsQuestion>(this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvat MNA com eliminação"));
    resize(quorvat::client_size(690, 449));

    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFont(quorvat::log_font());
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QStringList help;
    for (const char* line : help_lines) help << QString::fromUtf8(line);
    Memo1->setPlainText(help.join(QLatin1Char('\n')));
    setCentralWidget(Memo1);

    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    Arquivo1 = bar->addMenu(QStringLiteral("&Arquivo"));
    Arquivo1->setObjectName(QStringLiteral("Arquivo1"));
    Abrir1 = add_item(Arquivo1, "Abrir1", QStringLiteral("&Abrir"));
    Sair1 = add_item(Arquivo1, "Sair1", QStringLiteral("&Sair"));
    Opes1 = bar->addMenu(QStringLiteral("&Opções"));
    Opes1->setObjectName(QStringLiteral("Opes1"));
    Anlise1 = add_item(Opes1, "Anlise1", QStringLiteral("&Variáveis"));
    Anlise1->setEnabled(false);
    Grfico1 = add_item(Opes1, "Grfico1", QStringLiteral("&Gráficos"));
    Frmulas1 = add_item(Opes1, "Frmulas1", QStringLiteral("&Fórmulas"));
    Frmulas1->setEnabled(false);
    Sobre1 = bar->addAction(QStringLiteral("&Sobre"));
    Sobre1->setObjectName(QStringLiteral("Sobre1"));

    connect(Abrir1, &QAction::triggered, this, &TForm1::Abrir1Click);
    connect(Sair1, &QAction::triggered, this, &TForm1::Sair1Click);
    connect(Anlise1, &QAction::triggered, this, &TForm1::Anlise1Click);
    connect(Grfico1, &QAction::triggered, this, &TForm1::Grfico1Click);
    connect(Frmulas1, &QAction::triggered, this, &TForm1::Frmulas1Click);
    connect(Sobre1, &QAction::triggered, this, &TForm1::Sobre1Click);

    open_dialog_->file_name = "teste.net";
    open_dialog_->filter =
        "netlists e decks SPICE (*.net *.cir *.sp *.spice *.ckt)|*.net *.cir *.sp *.spice *.ckt|"
        "netlists (*.net)|*.net|decks SPICE (*.cir *.sp *.spice *.ckt)|*.cir *.sp *.spice *.ckt";
    open_dialog_->default_extension = "net";
}

TForm1::~TForm1() = default;

void TForm1::set_open_dialog(std::unique_ptr<quorvat::OpenDialog> dialog) {
    dialog->file_name = open_dialog_->file_name;
    dialog->filter = open_dialog_->filter;
    dialog->default_extension = open_dialog_->default_extension;
    open_dialog_ = std::move(dialog);
}

void TForm1::set_deck_question(std::unique_ptr<quorvat::DeckOptionsQuestion> question) {
    question->options = deck_question_->options;
    deck_question_ = std::move(question);
}

bool TForm1::import_if_deck(const std::string& path) {
    if (!quorvat::spice::has_deck_extension(path)) return true;
    if (!deck_question_->execute()) return false;
    quorvat::spice::ImportResult imported = quorvat::spice::import_deck_file(path, deck_question_->options);
    quorvat::WindowHost& host = shell_.host();
    if (!imported.ok) {
        host.log({});
        for (const std::string& line : quorvat::spice::import_refusal_lines(imported, path)) host.log(line);
        return false;
    }
    host.log({});
    for (const std::string& line : quorvat::spice::import_header_list_lines(imported)) host.log(line);
    for (const std::string& line : quorvat::spice::import_note_lines(imported)) host.log(line);
    host.supply_netlist(std::move(imported.netlist));
    return true;
}

void TForm1::Abrir1Click() {
    // Abrir is disabled during the pause; a shortcut or a script must not start a second
    // run inside the first either, over the same tables.
    if (shell_.host().waiting()) return;
    quorvat::run_command([this] {
        quorvat::LogFlushGuard flush(log_);
        if (!open_dialog_->execute()) return;
        quorvat::WindowHost& host = shell_.host();
        host.clear_supplied_netlist();
        if (!import_if_deck(open_dialog_->file_name)) return;
        // The formulas read the analysed circuit from the tables, which this run replaces.
        Frmulas1->setEnabled(false);
        shell_.formulas().set_circuit_ready(false);
        bool analysed = false;
        try {
            analysed = quorvat::run_analysis(shell_.tables(), host, &shell_.verification(), &shell_.exact_solver());
        } catch (...) {
            host.clear_supplied_netlist();
            throw;
        }
        host.clear_supplied_netlist();
        Frmulas1->setEnabled(analysed);
        shell_.formulas().set_circuit_ready(analysed);
    });
}

void TForm1::Sair1Click() { std::exit(0); }

void TForm1::Anlise1Click() {
    quorvat::run_command([this] { quorvat::show_window(shell_.form3()); });
}

void TForm1::Grfico1Click() {
    quorvat::run_command([this] { quorvat::show_window(shell_.form4()); });
}

void TForm1::Frmulas1Click() {
    quorvat::run_command([this] {
        if (!Frmulas1->isEnabled()) return;
        TFormulas& formulas = shell_.formulas();
        quorvat::show_window(formulas);
        // Opened on a fresh result, it shows the functions at once with its settings.
        if (formulas.text_form().empty()) formulas.Button1Click();
    });
}

void TForm1::Sobre1Click() {
    quorvat::run_command([this] { quorvat::show_window(shell_.form6()); });
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    // F10 opens the menu bar's first menu, as on the desktop the design comes from; the
    // arrows then reach the rest. The log passes on the keys it does not type.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::NoModifier) {
        menuBar()->setActiveAction(menuBar()->actions().first());
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    event->accept();
    shell_.host().application_ending();
    QCoreApplication::exit(0);
}
