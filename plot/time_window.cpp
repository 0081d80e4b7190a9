#include "plot/time_window.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/analysis_run.h"
#include "engine/file_read.h"
#include "engine/fp_fault.h"
#include "engine/scanner.h"
#include "plot/command.h"
#include "plot/plot_files.h"
#include "plot/plot_keys.h"
#include "plot/quorvat5.h"
#include "time/formula.h"
#include "time/inverse_laplace.h"
#include "time/number_text.h"
#include "time/time_csv.h"
#include "time/time_report.h"

namespace {

constexpr int table_points = 501;  // as quorvat-cli tempo tabulates by default
constexpr int max_pairs = 20;      // the curves of the frequency plot

// PaintBox1 of the time window: hands its paint events to FormPaint.
class PaintBox : public QWidget {
public:
    explicit PaintBox(TFormTempo& form) : QWidget(&form), form_(form) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        form_.FormPaint(painter, width(), height());
    }

private:
    TFormTempo& form_;
};

bool read_polynomial(const std::string& path, quorvat::ResultPolynomial& p, quorvat::LogSink& log) {
    std::string text;
    quorvat::FileRead read = quorvat::read_text_file(log, path, quorvat::max_polynomial_file_bytes, text);
    if (read != quorvat::FileRead::ok) {
        if (read == quorvat::FileRead::missing) quorvat::log_message(log, "Arquivo %s não encontrado.", path.c_str());
        return false;
    }
    quorvat::Scanner scanner(text);
    p = quorvat::ResultPolynomial{};
    if (!quorvat::poly_read(scanner, p, log)) {
        quorvat::log_message(log, "Arquivo %s inválido.", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

struct TFormTempo::Pair {
    std::string numerator, denominator, name, unit;
    std::unique_ptr<quorvat::InverseLaplace> transform;
};

TFormTempo::TFormTempo(quorvat::LogSink& log, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log), save_dialog_(std::make_unique<quorvat::QtSaveDialog>(this)) {
    setObjectName(QStringLiteral("FormTempo"));
    setWindowTitle(QStringLiteral("Resposta no tempo"));
    setFocusPolicy(Qt::StrongFocus);
    save_dialog_->filter = "tabelas CSV (*.csv)|*.csv";
    save_dialog_->default_extension = "csv";
    PaintBox1 = new PaintBox(*this);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    Button1 = new QPushButton(QStringLiteral("Copiar fórmulas (&texto)"), this);
    Button2 = new QPushButton(QStringLiteral("Copiar fórmulas (&LaTeX)"), this);
    Button3 = new QPushButton(QStringLiteral("Salvar tabela &CSV..."), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3->setObjectName(QStringLiteral("Button3"));
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(6, 4, 6, 4);
    buttons->addStretch(1);
    for (QPushButton* button : {Button1, Button2, Button3}) {
        // The window keeps the arrows: the buttons answer their mnemonics, not the Tab key.
        button->setFocusPolicy(Qt::NoFocus);
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PaintBox1, 1);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(QString::fromStdString(formulas_text())); });
    connect(Button2, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(QString::fromStdString(formulas_latex())); });
    connect(Button3, &QPushButton::clicked, this, [this] { quorvat::run_command([this] { Button3Click(); }); });
    // The plot window's paint box, 680 x 442, with the row of buttons under it.
    resize(680, 442 + Button1->sizeHint().height() + 8);
}

TFormTempo::~TFormTempo() = default;

void TFormTempo::set_save_dialog(std::unique_ptr<quorvat::OpenDialog> dialog) {
    dialog->file_name = save_dialog_->file_name;
    dialog->filter = save_dialog_->filter;
    dialog->default_extension = save_dialog_->default_extension;
    save_dialog_ = std::move(dialog);
}

bool TFormTempo::load(const std::vector<std::string>& list_lines) {
    hide();
    pairs_.clear();
    curves_ = {};
    quorvat::fp_clear();
    std::vector<std::string> files;
    for (const std::string& line : list_lines)
        if (line.empty() || line[0] != '*') files.push_back(line);
    if (files.empty()) {
        quorvat::log_message(log_, "Nenhum par de arquivos na lista.");
        return false;
    }
    if (files.size() % 2 != 0) {
        quorvat::log_message(log_, "Falta o denominador de %s na lista.", files.back().c_str());
        return false;
    }
    if (files.size() > 2 * static_cast<std::size_t>(max_pairs)) {
        quorvat::log_message(log_, "Número excessivo de curvas");
        return false;
    }
    std::vector<Pair> pairs;
    for (std::size_t i = 0; i < files.size(); i += 2) {
        Pair pair;
        pair.numerator = files[i];
        pair.denominator = files[i + 1];
        const std::string number = quorvat::variable_number(pair.numerator);
        pair.name = "x" + (number.empty() ? std::to_string(i / 2 + 1) : number);
        pair.unit = quorvat::variable_unit(pair.numerator, number);
        quorvat::ResultPolynomial n, d;
        if (!read_polynomial(pair.numerator, n, log_) || !read_polynomial(pair.denominator, d, log_)) return false;
        std::string error;
        pair.transform = quorvat::InverseLaplace::create(n, d, error);
        if (!pair.transform) {
            quorvat::log_message(log_, "%s: %s", pair.numerator.c_str(), error.c_str());
            return false;
        }
        pairs.push_back(std::move(pair));
    }

    quorvat::log_message(log_, "Resposta no tempo:");
    std::vector<const quorvat::Expansion*> expansions;
    for (const Pair& pair : pairs) {
        for (const std::string& line : quorvat::describe_lines(pair.numerator, pair.denominator,
                                                               pair.transform->expansion(), pair.name, true, false))
            log_.log(line);
        expansions.push_back(&pair.transform->expansion());
    }
    std::string reason;
    t0_ = 0.0;
    t1_ = quorvat::choose_span(expansions, reason);
    first_span_ = t1_;
    quorvat::log_message(log_, "Intervalo: t de 0 a %s s (%s)", quorvat::number_text(t1_, 6).c_str(), reason.c_str());
    pairs_ = std::move(pairs);
    values_.reset();
    tabulate();
    show();
    raise();
    activateWindow();
    PaintBox1->update();
    return true;
}

void TFormTempo::tabulate() {
    curves_ = {};
    std::vector<double>& times = curves_.times;
    times.resize(table_points);
    for (int i = 0; i < table_points; ++i) times[static_cast<std::size_t>(i)] = t0_ + (t1_ - t0_) * i / (table_points - 1);
    curves_.unit = pairs_.empty() ? std::string() : pairs_.front().unit;
    for (const Pair& pair : pairs_) {
        curves_.values.push_back(pair.transform->tabulate(times).values);
        if (pair.unit != curves_.unit) curves_.unit.clear();
    }
}

quorvat::ValueAxis TFormTempo::value_range() const { return values_ ? *values_ : quorvat::value_axis(curves_); }

void TFormTempo::FormPaint(QPainter& painter, int width, int height) {
    quorvat::run_command([&] {
        quorvat::FpFlagsGuard keep_flags;
        quorvat::ValueAxis axis = value_range();
        quorvat::paint_time_plot(painter, width, height, curves_, &axis);
    });
}

void TFormTempo::FormKeyDown(int virtual_key) {
    if (pairs_.empty()) return;
    const double span = t1_ - t0_, old_t0 = t0_;
    quorvat::ValueAxis axis = value_range();
    const double value_span = axis.high - axis.low;
    // A value range stays on whole grid steps, so that its grid and labels stay round.
    auto set_values = [&](double low, double high) {
        double step = quorvat::grid_step(high - low);
        values_ = quorvat::ValueAxis{std::floor(low / step) * step, std::ceil(high / step) * step, step};
    };
    switch (virtual_key) {
        case quorvat::key_left: {
            double shift = std::min(span / 4.0, t0_);  // x(t) is defined for t >= 0 only
            t0_ -= shift, t1_ -= shift;
            break;
        }
        case quorvat::key_right: t0_ += span / 4.0, t1_ += span / 4.0; break;
        case quorvat::key_a: t1_ = t0_ + span / 2.0; break;
        case quorvat::key_r: t1_ = t0_ + span * 2.0; break;
        case quorvat::key_up:
        case quorvat::key_down: {
            double shift = std::max(axis.step, std::round(value_span / 4.0 / axis.step) * axis.step);
            if (virtual_key == quorvat::key_down) shift = -shift;
            values_ = quorvat::ValueAxis{axis.low + shift, axis.high + shift, axis.step};
            PaintBox1->update();
            return;
        }
        case quorvat::key_keypad_add:
        case quorvat::key_keypad_subtract: {
            const double middle = (axis.low + axis.high) / 2.0;
            const double half = virtual_key == quorvat::key_keypad_add ? value_span / 4.0 : value_span;
            set_values(middle - half, middle + half);
            PaintBox1->update();
            return;
        }
        default: return;
    }
    // Within a million times the first span either way: far beyond, the terms of x(t)
    // under- or overflow and the table would take ever more precision.
    constexpr double reach = 1e6;
    if (!(t1_ - t0_ >= first_span_ / reach) || !(t1_ <= first_span_ * reach)) {
        t0_ = old_t0, t1_ = old_t0 + span;
        return;
    }
    tabulate();
    PaintBox1->update();
}

void TFormTempo::keyPressEvent(QKeyEvent* event) {
    int key = TForm5::virtual_key(*event);
    if (key == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    quorvat::run_command([&] { FormKeyDown(key); });
}

std::string TFormTempo::formulas_text() const {
    std::string text;
    for (const Pair& pair : pairs_) text += quorvat::formula_text(pair.transform->expansion(), pair.name) + "\n";
    return text;
}

std::string TFormTempo::formulas_latex() const {
    std::string text;
    for (const Pair& pair : pairs_) text += quorvat::formula_latex(pair.transform->expansion(), pair.name) + "\n";
    return text;
}

void TFormTempo::Button3Click() {
    if (pairs_.empty()) return;
    if (save_dialog_->file_name.empty())
        save_dialog_->file_name = quorvat::base_name_for(pairs_.front().numerator) + "_tempo.csv";
    if (!save_dialog_->execute()) return;
    std::vector<std::string> names;
    for (const Pair& pair : pairs_) names.push_back(pair.numerator);
    if (quorvat::write_time_csv(save_dialog_->file_name, names, curves_.times, curves_.values, log_))
        quorvat::log_message(log_, "Tabela gravada em %s", save_dialog_->file_name.c_str());
}
