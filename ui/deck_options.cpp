#include "ui/deck_options.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "spice/import_report.h"

namespace {

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

TDeckOptions::TDeckOptions(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormDeck"));
    setWindowTitle(QStringLiteral("Importação SPICE"));

    auto* sources = named(new QGroupBox(QStringLiteral("Fontes independentes"), this), "GBfontes");
    RBescritas = named(new QRadioButton(QStringLiteral("Como &escritas (AC: impulso; só DC: degrau)")), "RBescritas");
    RBimpulsos = named(new QRadioButton(QStringLiteral("Todas im&pulsos")), "RBimpulsos");
    RBdegraus = named(new QRadioButton(QStringLiteral("Todas &degraus")), "RBdegraus");
    auto* source_column = new QVBoxLayout(sources);
    for (QRadioButton* button : {RBescritas, RBimpulsos, RBdegraus}) source_column->addWidget(button);
    RBescritas->setChecked(true);

    auto* caption = named(new QLabel(QStringLiteral("Subcircuitos que são amp. op. ideais (&NOME:+,-,saída):"), this),
                          "Label1");
    Eampop = named(new QLineEdit(this), "Eampop");
    Eampop->setPlaceholderText(QStringLiteral("por exemplo opamp:3,2,1"));
    caption->setBuddy(Eampop);
    Lerro = named(new QLabel(this), "Lerro");
    Lerro->setWordWrap(true);
    QPalette warning = Lerro->palette();
    warning.setColor(QPalette::WindowText, Qt::darkRed);
    Lerro->setPalette(warning);

    Button1 = named(new QPushButton(QStringLiteral("&Importar"), this), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("&Cancelar"), this), "Button2");
    Button1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(sources);
    layout->addWidget(caption);
    layout->addWidget(Eampop);
    layout->addWidget(Lerro);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TDeckOptions::accept);
    connect(Button2, &QPushButton::clicked, this, &TDeckOptions::reject);
    resize(360, 210);
}

void TDeckOptions::load(const quorvat::spice::ImportOptions& options) {
    using quorvat::spice::SourceMode;
    (options.sources == SourceMode::impulse ? RBimpulsos
     : options.sources == SourceMode::step  ? RBdegraus
                                            : RBescritas)
        ->setChecked(true);
    Eampop->setText(QString::fromStdString(quorvat::spice::op_amp_list_text(options.op_amps)));
    Lerro->clear();
}

bool TDeckOptions::read(quorvat::spice::ImportOptions& options) {
    using quorvat::spice::SourceMode;
    std::string error;
    std::vector<quorvat::spice::OpAmpSubcircuit> op_amps;
    if (!quorvat::spice::parse_op_amp_list(Eampop->text().toStdString(), op_amps, error)) {
        Lerro->setText(QString::fromStdString(error));
        Eampop->setFocus();
        return false;
    }
    Lerro->clear();
    options.op_amps = std::move(op_amps);
    options.sources = RBimpulsos->isChecked() ? SourceMode::impulse
                      : RBdegraus->isChecked() ? SourceMode::step
                                               : SourceMode::as_written;
    return true;
}

void TDeckOptions::accept() {
    quorvat::spice::ImportOptions checked;
    if (read(checked)) QDialog::accept();
}

namespace quorvat {

bool QtDeckOptionsQuestion::execute() {
    dialog_.load(options);
    if (dialog_.exec() != QDialog::Accepted) return false;
    return dialog_.read(options);
}

}  // namespace quorvat
