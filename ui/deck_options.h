// "Importação SPICE": the options of importing a SPICE deck, asked when Abrir chooses one
// (how the independent sources enter, which subcircuits are ideal op-amps). The answers
// stay for the next deck, as the options of the analysis do.
#pragma once

#include <string>

#include <QDialog>

#include "spice/importer.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quorvat {

/// The question behind a small wrapper, so that tests answer it without a person.
class DeckOptionsQuestion {
public:
    virtual ~DeckOptionsQuestion() = default;
    /// Asks, showing the kept answers; on confirmation keeps the new ones in options and
    /// returns true.
    virtual bool execute() = 0;
    spice::ImportOptions options;
};

/// Answers with the options as they are set (or a cancel), for tests and scripts.
class ScriptedDeckOptionsQuestion : public DeckOptionsQuestion {
public:
    bool execute() override {
        ++executions;
        return !cancel;
    }
    bool cancel = false;
    int executions = 0;
};

}  // namespace quorvat

/// The dialog itself: three choices for the sources, a line of op-amp subcircuits
/// ("opamp:3,2,1", several separated by blanks), "Importar" and "Cancelar". A list that
/// does not read keeps the dialog open with the reason under it.
class TDeckOptions : public QDialog {
    Q_OBJECT
public:
    explicit TDeckOptions(QWidget* parent = nullptr);

    /// Shows options in the controls.
    void load(const quorvat::spice::ImportOptions& options);
    /// Reads the controls; false with the reason shown when the op-amp list does not read.
    bool read(quorvat::spice::ImportOptions& options);

    QRadioButton* RBescritas;
    QRadioButton* RBimpulsos;
    QRadioButton* RBdegraus;
    QLineEdit* Eampop;
    QLabel* Lerro;
    QPushButton* Button1;  // "Importar"
    QPushButton* Button2;  // "Cancelar"

public slots:
    void accept() override;
};

namespace quorvat {

/// The real question: TDeckOptions, modal over parent.
class QtDeckOptionsQuestion : public DeckOptionsQuestion {
public:
    explicit QtDeckOptionsQuestion(QWidget* parent) : dialog_(parent) {}
    bool execute() override;
    TDeckOptions& dialog() { return dialog_; }

private:
    TDeckOptions dialog_;
};

}  // namespace quorvat
