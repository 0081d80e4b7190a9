// "Resposta no tempo": x(t) of the pairs of Form4's list, as quorvat-cli tempo computes
// them, painted in the frequency plot's style. The arrows pan, A and R halve and double
// the time span, the keypad's + and − halve and double the value span; the formulas go
// to the clipboard as text or LaTeX and the table to a CSV file.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "engine/log.h"
#include "plot/open_dialog.h"
#include "plot/time_painter.h"

class QPainter;
class QPushButton;

namespace quorvat {
class InverseLaplace;
}

class TFormTempo : public QWidget {
    Q_OBJECT
public:
    /// log is the main window's log, where the pairs are described.
    explicit TFormTempo(quorvat::LogSink& log, QWidget* parent = nullptr);
    ~TFormTempo() override;

    /// Reads the pairs of the file list (its comment lines skipped), expands each, chooses
    /// the span from the poles and tabulates; logs what it found. False (the cause logged,
    /// the window hidden) when a file is missing or invalid or a pair has no inverse.
    bool load(const std::vector<std::string>& list_lines);

    /// The paint handler of the paint box.
    void FormPaint(QPainter& painter, int width, int height);
    /// The keys of the plot window with their virtual-key codes; others do nothing.
    void FormKeyDown(int virtual_key);

    /// The formulas of every curve, one line each.
    std::string formulas_text() const;
    std::string formulas_latex() const;
    /// Asks for a file and writes the table shown (t and each curve) as CSV.
    void Button3Click();

    /// The save dialog of the table; tests replace it.
    quorvat::OpenDialog& SaveDialog1() { return *save_dialog_; }
    void set_save_dialog(std::unique_ptr<quorvat::OpenDialog> dialog);

    const quorvat::TimeCurves& curves() const { return curves_; }
    /// The value range painted.
    quorvat::ValueAxis value_range() const;

    QWidget* PaintBox1;
    QPushButton* Button1;  // "Copiar fórmulas (texto)"
    QPushButton* Button2;  // "Copiar fórmulas (LaTeX)"
    QPushButton* Button3;  // "Salvar tabela CSV..."

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Pair;
    void tabulate();

    quorvat::LogSink& log_;
    std::unique_ptr<quorvat::OpenDialog> save_dialog_;
    std::vector<Pair> pairs_;
    double t0_ = 0.0, t1_ = 1.0;  // the time range shown, s
    double first_span_ = 1.0;     // the span chosen from the poles
    std::optional<quorvat::ValueAxis> values_;  // set by the keys; else from the curves
    quorvat::TimeCurves curves_;
};
