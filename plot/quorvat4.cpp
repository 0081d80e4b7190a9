#include "plot/quorvat4.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "plot/command.h"
#include "plot/time_window.h"

namespace {

const char* const initial_list[] = {
    "* Coloque aqui uma série de transformadas de Laplace a plotar, na forma:",
    "* <Arquivo com numerador>",
    "* <Arquivo com denominador>",
    "* No comando de adicionar selecione o numerador, que deve ter sufixo \".nxx\". ",
    "* É assumido que o denominador tem o mesmo nome com sufixo \".dxx\". ",
};

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

std::string text_of(const QLineEdit* edit) { return edit->text().toStdString(); }

}  // namespace

TForm4::TForm4(quorvat::LogSink& log, QWidget* parent)
    : QWidget(parent, Qt::Window),
      log_(log),
      open_dialog_(std::make_unique<quorvat::QtOpenDialog>(this)),
      plotter_(std::make_unique<quorvat::PlotterState>()) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Resposta em frequência - Arquivos"));
    open_dialog_->filter = "Numeradores|*.n*|Denominadores|*.d";

    Memo1 = named(new QPlainTextEdit(this), "Memo1");
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The instructions are the memo's starting text, not an edit that Ctrl+Z takes back.
    Memo1->setUndoRedoEnabled(false);
    for (const char* line : initial_list) Memo1->appendPlainText(QString::fromUtf8(line));
    Memo1->setUndoRedoEnabled(true);

    const quorvat::PlotTexts defaults;
    auto* settings = new QGridLayout;
    settings->setHorizontalSpacing(8);
    settings->setVerticalSpacing(3);
    int row = 0;
    auto edit = [&](const char* name, const char* caption, const std::string& text) {
        auto* label = named(new QLabel(QString::fromUtf8(caption), this),
                            QStringLiteral("Label%1").arg(row + 1).toLatin1().constData());
        auto* box = named(new QLineEdit(QString::fromStdString(text), this), name);
        box->setFixedSize(72, 21);  // the design's edit height: the column fits the window
        label->setBuddy(box);
        settings->addWidget(label, row, 0);
        settings->addWidget(box, row, 1);
        ++row;
        return box;
    };
    Ewmin = edit("Ewmin", "Frequência mínima", defaults.wmin);
    Ewmax = edit("Ewmax", "Frequência máxima", defaults.wmax);
    Egmin = edit("Egmin", "Módulo mínimo (dB)", defaults.gmin);
    Egmax = edit("Egmax", "Módulo máximo (dB)", defaults.gmax);
    Efmin = edit("Efmin", "Fase mínima (graus)", defaults.fmin);
    Efmax = edit("Efmax", "Fase máxima (graus)", defaults.fmax);
    Eamin = edit("Eamin", "Atraso de grupo mínimo (s)", defaults.amin);
    Eamax = edit("Eamax", "Atraso de grupo máximo (s)", defaults.amax);
    Esegmentos = edit("Esegmentos", "Segmentos", defaults.segments);

    auto check = [&](const char* name, const char* caption, bool checked) {
        auto* box = named(new QCheckBox(QString::fromUtf8(caption), this), name);
        box->setChecked(checked);
        return box;
    };
    CBhz = check("CBhz", "Frequências em Hz", false);
    CBlog = check("CBlog", "Frequências em escala logarítmica", true);
    CBgrade = check("CBgrade", "Grade", true);
    CBfase = check("CBfase", "Fase", true);
    CBtg = check("CBtg", "Atraso de grupo", true);
    Label10 = named(new QLabel(QStringLiteral("Comandos diretos: Setas,a,r,+,-"), this), "Label10");
    Button1 = named(new QPushButton(QStringLiteral("&Adicionar"), this), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("&Plotar"), this), "Button2");
    Button3 = named(new QPushButton(QStringLiteral("Resposta no &tempo"), this), "Button3");
    time_window_ = std::make_unique<TFormTempo>(log_);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    column->addLayout(settings);
    column->addSpacing(6);
    for (QWidget* widget : {static_cast<QWidget*>(CBhz), static_cast<QWidget*>(CBlog),
                            static_cast<QWidget*>(CBgrade), static_cast<QWidget*>(CBfase),
                            static_cast<QWidget*>(CBtg)})
        column->addWidget(widget);
    column->addSpacing(6);
    column->addWidget(Label10);
    column->addStretch(1);
    column->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(10);
    layout->addWidget(Memo1, 1);
    layout->addLayout(column);

    connect(Button1, &QPushButton::clicked, this, [this] { quorvat::run_command([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { quorvat::run_command([this] { Button2Click(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { quorvat::run_command([this] { Button3Click(); }); });

    // The design's outer size is 720 x 445 on a Windows desktop: its client area, less
    // the borders and the caption, is about 704 x 406.
    resize(704, 406);
}

TForm4::~TForm4() = default;

void TForm4::attach_plot_window(quorvat::PlotDisplay* plot_window) { plot_window_ = plot_window; }

void TForm4::set_open_dialog(std::unique_ptr<quorvat::OpenDialog> dialog) {
    dialog->file_name = open_dialog_->file_name;
    dialog->filter = open_dialog_->filter;
    dialog->default_extension = open_dialog_->default_extension;
    open_dialog_ = std::move(dialog);
}

void TForm4::append_line(const std::string& line) {
    QString text = QString::fromStdString(line);
    // A memo that ends with an empty line (Enter after the last line) gets the new line
    // there, as its line list does not count that last empty line.
    if (Memo1->document()->lastBlock().text().isEmpty()) {
        QTextCursor cursor(Memo1->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text);
    } else {
        Memo1->appendPlainText(text);
    }
}

void TForm4::Button1Click() {
    if (!open_dialog_->execute()) return;
    for (const std::string& line : quorvat::adicionar_lines(open_dialog_->file_name)) append_line(line);
}

std::vector<std::string> TForm4::list_lines() const {
    std::vector<std::string> lines;
    const QTextDocument* document = Memo1->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toStdString());
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

quorvat::PlotTexts TForm4::texts() const {
    quorvat::PlotTexts texts;
    texts.wmin = text_of(Ewmin);
    texts.wmax = text_of(Ewmax);
    texts.gmin = text_of(Egmin);
    texts.gmax = text_of(Egmax);
    texts.fmin = text_of(Efmin);
    texts.fmax = text_of(Efmax);
    texts.amin = text_of(Eamin);
    texts.amax = text_of(Eamax);
    texts.segments = text_of(Esegmentos);
    return texts;
}

quorvat::PlotChecks TForm4::checks() const {
    return {CBhz->isChecked(), CBlog->isChecked(), CBgrade->isChecked(), CBfase->isChecked(), CBtg->isChecked()};
}

void TForm4::uncheck_log() { CBlog->setChecked(false); }

void TForm4::Button2Click() {
    if (plot_window_) plot_window_->hide_plot();
    if (!quorvat::plotar(*plotter_, list_lines(), texts(), log_)) return;
    if (plot_window_) plot_window_->show_plot();
}

void TForm4::Button3Click() { time_window_->load(list_lines()); }
