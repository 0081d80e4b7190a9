#include "ui/quorvat2.h"

#include <cmath>

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "engine/scanner.h"
#include "plot/command.h"
#include "ui/quorvat3.h"
#include "ui/shell.h"

namespace {

template <class Control>
Control* place(QWidget* parent, Control* control, const char* name, int left, int top, int width,
               int height) {
    control->setParent(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

QCheckBox* new_check_box(QWidget* parent, const char* name, const QString& caption, int left, int top,
                     int width) {
    return place(parent, new QCheckBox(caption), name, left, top, width, 17);
}

}  // namespace

TForm2::TForm2(quorvat::Shell& shell) : QWidget(nullptr, Qt::Window), shell_(shell) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Análise"));
    resize(quorvat::client_size(333, 219));

    CBestampas = new_check_box(this, "CBestampas", QStringLiteral("Listar estampas"), 8, 8, 97);
    CBcondensar = new_check_box(this, "CBcondensar", QStringLiteral("Usar condensação pivotal"), 145, 5, 160);
    CBnorm = new_check_box(this, "CBnorm", QStringLiteral("Normalizar polinômios"), 8, 32, 129);
    CBdetalhes = new_check_box(this, "CBdetalhes", QStringLiteral("Listar detalhes"), 144, 32, 97);
    CBpassos = new_check_box(this, "CBpassos", QStringLiteral("Listar passos"), 8, 56, 97);
    CBfinal = new_check_box(this, "CBfinal", QStringLiteral("Ver sistema resolvido"), 144, 56, 145);
    Label1 = place(this, new QLabel(QStringLiteral("Dispersão de coeficientes")), "Label1", 8, 88, 122, 13);
    Edisp = place(this, new QLineEdit(QStringLiteral("1e12")), "Edisp", 144, 80, 121, 21);
    Label2 = place(this, new QLabel(QStringLiteral("Menor valor não nulo")), "Label2", 8, 120, 100, 13);
    Ezero = place(this, new QLineEdit(QStringLiteral("1e-12")), "Ezero", 144, 112, 121, 21);
    Button1 = place(this, new QPushButton(QStringLiteral("&Aplicar")), "Button1", 224, 144, 75, 25);
    CBexato = new_check_box(this, "CBexato", QStringLiteral("Cálculo exato"), 8, 150, 129);
    // The frequency scale W of exact results (written as functions of s/W when their
    // coefficients leave the range of a double at W = 1): beside its check box, in the
    // room the form's design leaves there.
    Label3 = place(this, new QLabel(QStringLiteral("&Escala")), "Label3", 114, 152, 36, 13);
    Eescala = place(this, new QLineEdit(QStringLiteral("1")), "Eescala", 154, 146, 62, 21);
    Label3->setBuddy(Eescala);
    const QString scale_tip = QStringLiteral("Escala de frequência W, em rad/s: com o cálculo exato, os resultados "
                                             "são gravados em função de s/W");
    Label3->setToolTip(scale_tip);
    Eescala->setToolTip(scale_tip);
    Eescala->setAccessibleName(QStringLiteral("Escala de frequência"));
    CBnorm->setChecked(true);
    for (QWidget* control : std::initializer_list<QWidget*>{CBestampas, CBcondensar, CBnorm, CBdetalhes, CBpassos,
                                                            CBfinal, CBexato, Label1, Label2, Label3, Button1})
        quorvat::fit_to_text(*control);

    // The focus order of the design: Aplicar first, then down the form.
    QWidget* order[] = {Button1, CBestampas, CBnorm, Edisp, CBdetalhes, CBpassos, Ezero, CBcondensar, CBfinal, CBexato,
                        Eescala};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
    for (QLabel* label : {Label1, Label2, Label3}) label->setFocusPolicy(Qt::NoFocus);
    Button1->setFocus();

    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    auto follow_exact = [this](bool exact) {
        Label3->setEnabled(exact);
        Eescala->setEnabled(exact);
    };
    connect(CBexato, &QCheckBox::toggled, this, follow_exact);
    follow_exact(false);
}

QCheckBox* TForm2::check_box(quorvat::AnalysisOption option) const {
    using quorvat::AnalysisOption;
    switch (option) {
    case AnalysisOption::list_stamps: return CBestampas;
    case AnalysisOption::normalise: return CBnorm;
    case AnalysisOption::details: return CBdetalhes;
    case AnalysisOption::steps: return CBpassos;
    case AnalysisOption::pivotal_condensation: return CBcondensar;
    case AnalysisOption::final_system: return CBfinal;
    case AnalysisOption::exact: return CBexato;
    }
    return CBnorm;
}

void TForm2::Button1Click() {
    quorvat::run_command([this] {
        double scale = 1.0;
        if (CBexato->isChecked()) {
            // A scale must be a positive finite number: a wrong one would write every
            // result in the wrong units, so the pause stays open.
            scale = quorvat::lenient_to_double(Eescala->text().toStdString());
            if (!(scale > 0.0) || !std::isfinite(scale)) {
                quorvat::show_error(QStringLiteral("Escala de frequência inválida: ") + Eescala->text() +
                                    QStringLiteral(" (use um número positivo, por exemplo 1e6)."));
                Eescala->setFocus();
                return;
            }
        }
        frequency_scale = scale;
        hide();
        shell_.form3().hide();
        options_applied = 1;
        coefficient_dispersion = quorvat::lenient_to_double(Edisp->text().toStdString());
        zero_threshold = quorvat::lenient_to_double(Ezero->text().toStdString());
    });
}

void TForm2::closeEvent(QCloseEvent* event) {
    closed_by_user = true;
    event->accept();  // only hides: the settings stay for the next run
}
