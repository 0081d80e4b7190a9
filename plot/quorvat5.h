// Form5, "Resposta em frequência": the plot window, its paint and its keys.
#pragma once

#include <QWidget>

class TForm4;

class TForm5 : public QWidget {
    Q_OBJECT
public:
    /// form4 holds the check boxes that the paint and the keys read.
    explicit TForm5(TForm4& form4, QWidget* parent = nullptr);

private:
    TForm4& form4_;
};
