// Form2, "Análise": the options of an analysis run. The engine reads the check boxes at
// the moment of use; "Aplicar" stores the two numbers and ends the run's pause.
#pragma once

#include <QWidget>

#include "engine/analysis_host.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvat {
class Shell;
}

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(quorvat::Shell& shell);

    QCheckBox* CBestampas;
    QCheckBox* CBcondensar;
    QCheckBox* CBnorm;
    QCheckBox* CBdetalhes;
    QCheckBox* CBpassos;
    QCheckBox* CBfinal;
    QCheckBox* CBexato;
    QLabel* Label1;
    QLineEdit* Edisp;
    QLabel* Label2;
    QLineEdit* Ezero;
    QLabel* Label3;
    QLineEdit* Eescala;  // the frequency scale W of exact results, enabled with CBexato
    QPushButton* Button1;  // "Aplicar"

    /// The check box of an option.
    QCheckBox* check_box(quorvat::AnalysisOption option) const;

    /// Set by "Aplicar"; the run clears it before its pause.
    int options_applied = 0;
    /// Set when the user closes the window by its close box; the run clears it too.
    bool closed_by_user = false;
    /// The numbers that "Aplicar" parsed from Edisp and Ezero; 0 until the first one.
    double coefficient_dispersion = 0.0;
    double zero_threshold = 0.0;
    /// The frequency scale that "Aplicar" parsed from Eescala; 1 without "Cálculo exato".
    double frequency_scale = 1.0;

public slots:
    /// "Aplicar": hides Form2 and Form3, sets options_applied, stores the numbers;
    /// an invalid frequency scale is refused and the pause goes on.
    void Button1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    quorvat::Shell& shell_;
};
