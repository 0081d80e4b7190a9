#include "plot/quorvat5.h"

TForm5::TForm5(TForm4& form4, QWidget* parent) : QWidget(parent, Qt::Window), form4_(form4) {
    setWindowTitle(QStringLiteral("Resposta em frequência"));
}
