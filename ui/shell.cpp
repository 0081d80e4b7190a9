#include "ui/shell.h"

#include <algorithm>
#include <clocale>
#include <exception>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>
#include <QPushButton>
#include <QWidget>

#include "plot/command.h"
#include "plot/quorvat4.h"
#include "plot/quorvat5.h"
#include "ui/quorvat1.h"
#include "ui/quorvat2.h"
#include "ui/quorvat3.h"
#include "ui/quorvat6.h"
#include "ui/formulas_window.h"
#include "ui/window_host.h"

namespace quorvat {

void prepare_application(QApplication& app) {
    std::setlocale(LC_NUMERIC, "C");
    // The name is the task bar's text. No display name: Qt would append it to every
    // window's caption ("Análise — Quorvat MNA"), and the captions are the design's.
    app.setApplicationName(QStringLiteral("Quorvat MNA"));
    // Closing Form1 ends the program (its close handler says so); closing any other
    // window only hides it, even when it is the last one on the screen.
    app.setQuitOnLastWindowClosed(false);
    app.setFont(control_font());
    install_portuguese_translations(app);
}

bool install_portuguese_translations(QApplication& app) {
    // Every text the program shows is Portuguese, Qt's own too (file dialogs, message box
    // buttons, context menus), whatever the user's locale. Dates and sizes in the file
    // dialogs follow; printf's numbers keep their "C" locale.
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    QLocale::setDefault(brazil);
    auto* translator = new QTranslator(&app);
    if (!translator->load(brazil, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

// A fixed-pitch font of 11 pixels, so that the columns of the system listings line up.
// The families are named because the desktop's "monospace" may be a font that Qt does
// not take as fixed-pitch.
QFont log_font() {
    const QStringList installed = QFontDatabase::families();
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const char* family : {"Courier New", "DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono", "Nimbus Mono PS"}) {
        if (installed.contains(QLatin1String(family), Qt::CaseInsensitive)) {
            font = QFont(QLatin1String(family));
            break;
        }
    }
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(11);
    return font;
}

QFont control_font() {
    // The design's font is a narrow sans serif whose characters are 11 pixels high; the
    // controls' widths were made for it. The common fonts of its metrics come first.
    const QStringList installed = QFontDatabase::families();
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    for (const char* family : {"Microsoft Sans Serif", "Arial", "Liberation Sans", "Nimbus Sans", "Helvetica",
                               "DejaVu Sans Condensed"}) {
        if (installed.contains(QLatin1String(family), Qt::CaseInsensitive)) {
            font = QFont(QLatin1String(family));
            break;
        }
    }
    font.setPixelSize(11);
    return font;
}

void fit_to_text(QWidget& control) {
    QSize needed = control.sizeHint();
    if (auto* button = qobject_cast<QPushButton*>(&control)) {
        // The style's minimum button width is not text that needs room.
        QString shown = button->text();
        shown.remove(QRegularExpression(QStringLiteral("&(?!&)")));  // a mnemonic's marker takes no room
        needed = QSize(button->fontMetrics().horizontalAdvance(shown) + 8, control.height());
    } else if (!qobject_cast<QLabel*>(&control)) {
        needed.setHeight(control.height());  // only labels grow with their text in height
    }
    control.resize(std::max(control.width(), needed.width()), std::max(control.height(), needed.height()));
}

void show_window(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

Shell::Shell() : tables_(std::make_unique<EngineTables>()) {
    form1_ = std::make_unique<TForm1>(*this);
    form2_ = std::make_unique<TForm2>(*this);
    form3_ = std::make_unique<TForm3>(*this);
    form4_ = std::make_unique<TForm4>(form1_->log());
    form5_ = std::make_unique<TForm5>(*form4_);
    form4_->attach_plot_window(form5_.get());
    form6_ = std::make_unique<TForm6>();
    formulas_ = std::make_unique<TFormulas>(*this);
    host_ = std::make_unique<WindowHost>(*this);
    form1_->show();
}

Shell::~Shell() = default;

int run_program(QApplication& app, const std::function<void(Shell&)>& started) {
    try {
        prepare_application(app);
        Shell shell;
        if (started) started(shell);
        app.exec();
    } catch (const std::exception& error) {
        show_error(QString::fromUtf8(error.what()));
    } catch (...) {
        show_error(QStringLiteral("Erro desconhecido."));
    }
    return 0;
}

}  // namespace quorvat
