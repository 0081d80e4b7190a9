#include "ui/quorvat6.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

#include "plot/command.h"
#include "ui/shell.h"

namespace {

// A label at its place, growing with its text.
QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top, int width) {
    auto* control = new QLabel(text, parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, 13);
    quorvat::fit_to_text(*control);
    return control;
}

}  // namespace

TForm6::TForm6() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Quorvat"));
    resize(quorvat::client_size(314, 121));

    Label2 = label(this, "Label2", QStringLiteral("Quorvat - por Equipe Quorvat"), 8, 16, 202);
    Label3 = label(this, "Label3", QStringLiteral("Laboratório de Circuitos"), 8, 32, 68);
    Label1 = label(this, "Label1", QStringLiteral("Label1"), 8, 56, 32);
    Button1 = new QPushButton(QStringLiteral("&Fechar"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(216, 48, 75, 25);
    quorvat::fit_to_text(*Button1);
    Button1->setFocus();
    connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
}

void TForm6::FormActivate() {
    Label1->setText(QStringLiteral("Versão 1.0d - 24/7/2015"));
    quorvat::fit_to_text(*Label1);
}

void TForm6::Button1Click() {
    quorvat::run_command([this] { hide(); });
}

bool TForm6::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) quorvat::run_command([this] { FormActivate(); });
    return QWidget::event(event);
}

// The window-system activation may come late or, offscreen, not at all; the version
// line must be right from the first showing.
void TForm6::showEvent(QShowEvent* event) {
    quorvat::run_command([this] { FormActivate(); });
    QWidget::showEvent(event);
}
