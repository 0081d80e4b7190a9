#include "ui/formulas_window.h"

#include <memory>
#include <sstream>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>

#include "engine/c_locale.h"
#include "engine/fp_fault.h"
#include "engine/scanner.h"
#include "numeric/verification.h"
#include "plot/command.h"
#include "symbolic/approximation.h"
#include "symbolic/formats.h"
#include "symbolic/gain_pole_report.h"
#include "symbolic/graph_values.h"
#include "symbolic/nested_solver.h"
#include "symbolic/symbolic_checks.h"
#include "symbolic/symbolic_solver.h"
#include "ui/log_sink.h"
#include "ui/shell.h"
#include "ui/window_host.h"

namespace {

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

bool parse_tolerance(const QString& text, double& tolerance) {
    const std::string bytes = text.toStdString();
    quorvat::Scanner scanner(bytes);
    if (!scanner.read_number(tolerance)) return false;
    scanner.skip_white();
    return scanner.at_end() && tolerance >= 0.0 && tolerance < 1.0;
}

std::string written(quorvat::symbolic::SymbolicFormat format, const quorvat::symbolic::SymbolicResult& result,
                    const std::vector<std::string>& names, int node_count) {
    std::ostringstream out;
    quorvat::symbolic::write_functions(out, format, result, names, node_count);
    return out.str();
}

// The check's verdict where it failed: difference < 0, det A vanishes at the values;
// else the first variable that differs from the exact solution.
QString failed_check(int difference) {
    return difference < 0 ? QStringLiteral("Não verificado: com os valores do netlist o sistema é singular.")
                          : QStringLiteral("Erro: a expressão simbólica da variável %1 difere da solução exata "
                                           "com os valores do netlist.")
                                .arg(difference);
}

// Text of several lines whose names are netlist bytes (UTF-8 or Windows-1252).
QString decoded_lines(const std::string& text) {
    QStringList lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines << quorvat::decode_bytes(std::string_view(text).substr(start, end - start));
        start = end + 1;
    }
    return lines.join(QLatin1Char('\n')) + (text.empty() || text.back() != '\n' ? QString() : QStringLiteral("\n"));
}

}  // namespace

TFormulas::TFormulas(quorvat::Shell& shell) : QWidget(nullptr, Qt::Window), shell_(shell) {
    setObjectName(QStringLiteral("FormFormulas"));
    setWindowTitle(QStringLiteral("Fórmulas"));

    auto* caption = named(new QLabel(QStringLiteral("Elementos simbólicos:"), this), "Label1");
    RBtodos = named(new QRadioButton(QStringLiteral("T&odos"), this), "RBtodos");
    RBsomente = named(new QRadioButton(QStringLiteral("&Só estes"), this), "RBsomente");
    RBexceto = named(new QRadioButton(QStringLiteral("Todos &menos estes"), this), "RBexceto");
    RBtodos->setChecked(true);
    auto* names_caption = named(new QLabel(QStringLiteral("&Elementos:"), this), "Label2");
    Eelementos = named(new QLineEdit(this), "Eelementos");
    Eelementos->setPlaceholderText(QStringLiteral("por exemplo R1,C2"));
    names_caption->setBuddy(Eelementos);
    CBaproximar = named(new QCheckBox(QStringLiteral("&Aproximar, tolerância:"), this), "CBaproximar");
    Etolerancia = named(new QLineEdit(QStringLiteral("0.01"), this), "Etolerancia");
    Etolerancia->setFixedWidth(72);
    CBganhopolo = named(new QCheckBox(QStringLiteral("Só &ganho e polo dominante"), this), "CBganhopolo");
    CBganhopolo->setToolTip(QStringLiteral("Fórmulas curtas do ganho em s -> 0 e do polo dominante, simplificadas "
                                           "elemento a elemento dentro da tolerância (0.1 sem Aproximar): "
                                           "alcançam circuitos grandes demais para a expansão completa"));
    Button1 = named(new QPushButton(QStringLiteral("&Calcular"), this), "Button1");

    Memo1 = named(new QPlainTextEdit(this), "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFont(quorvat::log_font());
    Lsituacao = named(new QLabel(this), "Lsituacao");
    Lsituacao->setWordWrap(true);
    Lsituacao->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Button2 = named(new QPushButton(QStringLiteral("Copiar &texto"), this), "Button2");
    Button3 = named(new QPushButton(QStringLiteral("Copiar &LaTeX"), this), "Button3");
    Button4 = named(new QPushButton(QStringLiteral("Copiar &Python"), this), "Button4");

    auto* choices = new QGridLayout;
    choices->setHorizontalSpacing(8);
    choices->addWidget(caption, 0, 0);
    choices->addWidget(RBtodos, 0, 1);
    choices->addWidget(RBsomente, 0, 2);
    choices->addWidget(RBexceto, 0, 3);
    choices->addWidget(names_caption, 1, 0);
    choices->addWidget(Eelementos, 1, 1, 1, 4);
    choices->setColumnStretch(4, 1);
    auto* approximation = new QHBoxLayout;
    approximation->addWidget(CBaproximar);
    approximation->addWidget(Etolerancia);
    approximation->addSpacing(12);
    approximation->addWidget(CBganhopolo);
    approximation->addStretch(1);
    approximation->addWidget(Button1);
    choices->addLayout(approximation, 2, 0, 1, 5);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Lsituacao, 1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    buttons->addWidget(Button4);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addLayout(choices);
    layout->addWidget(Memo1, 1);
    layout->addLayout(buttons);

    setTabOrder(Button1, RBtodos);
    setTabOrder(RBtodos, Eelementos);
    setTabOrder(Eelementos, CBaproximar);
    setTabOrder(CBaproximar, Etolerancia);
    setTabOrder(Etolerancia, CBganhopolo);
    setTabOrder(CBganhopolo, Memo1);
    setTabOrder(Memo1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, Button4);

    connect(Button1, &QPushButton::clicked, this, [this] { quorvat::run_command([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { copy(text_); });
    connect(Button3, &QPushButton::clicked, this, [this] { copy(latex_); });
    connect(Button4, &QPushButton::clicked, this, [this] { copy(python_); });
    set_circuit_ready(false);
    // The size of the plotter's file window, beside which it is used.
    resize(704, 406);
}

void TFormulas::set_circuit_ready(bool ready) {
    ready_ = ready;
    Button1->setEnabled(ready);
    show_outcome(ready ? QString() : QStringLiteral("Nenhum circuito analisado: abra um netlist e aplique a análise."));
}

void TFormulas::show_outcome(const QString& situation) {
    text_.clear();
    latex_.clear();
    python_.clear();
    Memo1->clear();
    Lsituacao->setText(situation);
    for (QPushButton* button : {Button2, Button3, Button4}) button->setEnabled(false);
}

void TFormulas::copy(const std::string& form) {
    if (!form.empty()) QGuiApplication::clipboard()->setText(decoded_lines(form));
}

void TFormulas::Button1Click() {
    namespace sym = quorvat::symbolic;
    if (!ready_) return;
    quorvat::CLocaleScope c_numbers;
    const quorvat::EngineTables& tables = shell_.tables();

    sym::SymbolChoice choice;
    if (!RBtodos->isChecked()) {
        choice.mode = RBsomente->isChecked() ? sym::SymbolChoice::Mode::only_listed
                                             : sym::SymbolChoice::Mode::all_but_listed;
        if (!sym::parse_element_names(Eelementos->text().toStdString(), choice.names)) {
            show_outcome(QStringLiteral("Escreva os elementos separados por vírgulas, por exemplo R1,C2."));
            return;
        }
        for (const std::string& name : sym::unknown_names(tables, choice)) {
            show_outcome(QStringLiteral("Elemento sem valor ou inexistente: ") + quorvat::decode_bytes(name));
            return;
        }
    }
    double tolerance = 0.0;
    if (CBaproximar->isChecked() && !parse_tolerance(Etolerancia->text(), tolerance)) {
        show_outcome(QStringLiteral("Tolerância inválida: use um número de 0 a menos de 1, por exemplo 0.01."));
        return;
    }
    std::vector<int> wanted;
    for (int k = 1; k <= tables.variable_count; ++k)
        if (shell_.host().selected(k)) wanted.push_back(k);
    if (wanted.empty())
        for (int k = 1; k <= tables.variable_count; ++k) wanted.push_back(k);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct RestoreCursor {
        ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
    } restore;
    if (CBganhopolo->isChecked()) {
        gain_and_pole(choice, wanted, CBaproximar->isChecked() ? tolerance : 0.1);
        return;
    }
    quorvat::fp_clear();
    sym::SymbolicResult result = sym::solve_symbolic(tables, choice, wanted);
    if (result.status == sym::SymbolicResult::Status::too_large) {
        show_outcome(QStringLiteral("O circuito é grande demais para um resultado totalmente simbólico (uma expressão "
                                    "passaria de %1 termos). Deixe elementos com os seus valores (\"Todos menos "
                                    "estes\"), escolha só alguns simbólicos (\"Só estes\") ou peça só o ganho e o "
                                    "polo dominante.")
                         .arg(result.term_limit));
        return;
    }
    if (result.status == sym::SymbolicResult::Status::singular) {
        show_outcome(QStringLiteral("O sistema é singular. Circuito sem solução."));
        return;
    }
    const int difference = sym::first_difference(result, tables);
    sym::ApproximationReport report;
    if (CBaproximar->isChecked()) report = sym::approximate(result, tolerance, quorvat::test_frequencies(tables));
    quorvat::fp_check();

    std::vector<std::string> names;
    for (int i = 0; i <= tables.variable_count; ++i) names.emplace_back(tables.variable_name(i));
    QString situation = difference == 0 ? QStringLiteral("verificado") : failed_check(difference);
    if (CBaproximar->isChecked())
        situation += QStringLiteral("\n") + QString::fromStdString(sym::approximation_summary(tolerance, report));
    show_outcome(situation);
    text_ = written(sym::SymbolicFormat::text, result, names, tables.node_count);
    latex_ = written(sym::SymbolicFormat::latex, result, names, tables.node_count);
    python_ = written(sym::SymbolicFormat::python, result, names, tables.node_count);
    Memo1->setPlainText(decoded_lines(text_));
    for (QPushButton* button : {Button2, Button3, Button4}) button->setEnabled(true);
}

// The graph of minors, never multiplied out, checked against the exact solution; then
// each function's gain and pole simplified within tolerance. Text only.
void TFormulas::gain_and_pole(const quorvat::symbolic::SymbolChoice& choice, const std::vector<int>& wanted,
                              double tolerance) {
    namespace sym = quorvat::symbolic;
    const quorvat::EngineTables& tables = shell_.tables();
    // Floating point only orders and sizes the search here (the results are exact and
    // checked), so its flags are no fault; a numeric resistor of 0 ohms still throws.
    quorvat::FpFlagsGuard keep_flags;
    sym::NestedResult result = sym::solve_nested(tables, choice, wanted, sym::NumeratorForm::chained);
    if (result.status == sym::NestedResult::Status::too_large) {
        show_outcome(QStringLiteral("O circuito é grande demais mesmo sem expandir (mais de %1 produtos de menores). "
                                    "Deixe elementos com os seus valores (\"Todos menos estes\").")
                         .arg(result.item_limit));
        return;
    }
    if (result.status == sym::NestedResult::Status::singular) {
        show_outcome(QStringLiteral("O sistema é singular. Circuito sem solução."));
        return;
    }
    const int difference = sym::first_nested_difference(result, tables);
    if (difference != 0) {
        show_outcome(failed_check(difference));
        return;
    }
    const std::vector<sym::GainAndPole> parts =
        sym::simplified_gains_and_pole(result, sym::symbol_values(result.symbols), result.variables, tolerance);
    std::vector<std::string> labels;
    for (int k : result.variables)
        labels.push_back(std::string(k > tables.node_count ? "I(" : "V(") + tables.variable_name(k) + ")");
    std::ostringstream out;
    sym::write_gains_and_pole(out, tolerance, labels, parts);
    show_outcome(QStringLiteral("verificado (a forma exata de que as fórmulas foram tiradas)"));
    text_ = out.str();
    Memo1->setPlainText(decoded_lines(text_));
    Button2->setEnabled(true);
}
