// Form3, "Variáveis": the variables list LBsel, whose selection chooses the results that
// are listed, and "Listar resultados".
#pragma once

#include <string>
#include <vector>

#include <QWidget>

class QListWidget;
class QPushButton;

namespace quorvat {
class Shell;
}

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(quorvat::Shell& shell);

    QListWidget* LBsel;    // item k-1 is variable k
    QPushButton* Button1;  // "Listar resultados"

    /// Replaces the items (and their selection) with the variable names, UTF-8 bytes.
    void fill(const std::vector<std::string>& variable_names);

public slots:
    /// "Listar resultados": the results of the selected variables, in variable order.
    void Button1Click();

private:
    quorvat::Shell& shell_;
};
