// "Fórmulas": the network functions of the analysed circuit in the element names, as
// quorvat-cli simbolico writes them: the elements kept symbolic (all, only a list, or all
// but a list), an optional approximation, the check against the exact solution, and the
// text, LaTeX and Python forms for the clipboard. For circuits whose functions are too
// long to expand, the gain and the dominant pole alone as short formulas (--ganho-polo).
#pragma once

#include <string>
#include <vector>

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace quorvat {
class Shell;
namespace symbolic {
struct SymbolChoice;
}
}  // namespace quorvat

class TFormulas : public QWidget {
    Q_OBJECT
public:
    explicit TFormulas(quorvat::Shell& shell);

    /// Whether the engine's tables hold a circuit analysed with success. A new run makes
    /// them stale: the shown result is cleared and Calcular refuses until it succeeds.
    void set_circuit_ready(bool ready);

    /// Calcular: the functions of the variables selected in the variables list (all when
    /// none is) with the choices of the window; the result, or why there is none, shows.
    void Button1Click();

    QRadioButton* RBtodos;
    QRadioButton* RBsomente;
    QRadioButton* RBexceto;
    QLineEdit* Eelementos;
    QCheckBox* CBaproximar;
    QLineEdit* Etolerancia;
    QCheckBox* CBganhopolo;  // "Só ganho e polo dominante"
    QPushButton* Button1;    // "Calcular"
    QPlainTextEdit* Memo1;
    QLabel* Lsituacao;     // "verificado", or what went wrong
    QPushButton* Button2;  // "Copiar texto"
    QPushButton* Button3;  // "Copiar LaTeX"
    QPushButton* Button4;  // "Copiar Python"

    /// The forms of the last result (empty when there is none).
    const std::string& text_form() const { return text_; }
    const std::string& latex_form() const { return latex_; }
    const std::string& python_form() const { return python_; }

private:
    void show_outcome(const QString& situation);
    void gain_and_pole(const quorvat::symbolic::SymbolChoice& choice, const std::vector<int>& wanted, double tolerance);
    void copy(const std::string& form);

    quorvat::Shell& shell_;
    bool ready_ = false;
    std::string text_, latex_, python_;
};
