// Start-up of the desktop program: the application settings and the six windows,
// created in order Form1..Form6, each once, with the engine's single table instance.
#pragma once

#include <functional>
#include <memory>

#include <QFont>
#include <QSize>

#include "engine/tables.h"
#include "exact/exact_reference.h"
#include "numeric/verification.h"

class QApplication;
class QWidget;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TFormulas;

namespace quorvat {

class WindowHost;

/// The window sizes of the design are outer sizes on a Windows desktop at 96 dpi, frame
/// and caption included (8 pixels of border on each side, 31 of caption and top border).
/// Qt sizes the client area, so each window gets its outer size less (16, 39).
constexpr QSize client_size(int outer_width, int outer_height) {
    return QSize(outer_width - 16, outer_height - 39);
}

/// Application settings made right after the QApplication: the title "Quorvat MNA", the
/// "C" numeric locale (Qt takes the locale from the environment, and under a comma locale
/// printf would write "1,5" into the log and the polynomial files), the controls' font,
/// Form1 as the only window whose closing ends the program, and Qt's texts in Portuguese.
void prepare_application(QApplication& app);

/// Loads Qt's Brazilian Portuguese translations and makes pt_BR the default QLocale.
/// False when the translations are not installed.
bool install_portuguese_translations(QApplication& app);

class Shell;

/// The desktop program after its QApplication: prepares it, creates the windows, calls
/// started (tests script the program there) and runs the event loop. An error escaping
/// any of it is shown in the error box. Returns 0, the program's only exit status.
int run_program(QApplication& app, const std::function<void(Shell&)>& started = {});

/// The controls' font, set as the application's font by prepare_application.
QFont control_font();

/// The log's fixed-pitch font of 11 pixels, also that of the formulas.
QFont log_font();

/// Widens (or heightens) a control placed at its design size when its text needs more
/// room in the font at hand; its left and top stay.
void fit_to_text(QWidget& control);

/// Shows a window modeless; a window already visible comes to the front.
void show_window(QWidget& window);

/// The six windows, created in order and living as long as this object, and the tables
/// of the engine. The program holds one; each test makes its own.
class Shell {
public:
    /// Creates Form1..Form6 in order and shows Form1, the only window visible at start.
    Shell();
    ~Shell();
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    TForm1& form1() { return *form1_; }
    TForm2& form2() { return *form2_; }
    TForm3& form3() { return *form3_; }
    TForm4& form4() { return *form4_; }
    TForm5& form5() { return *form5_; }
    TForm6& form6() { return *form6_; }
    /// The formulas window of Opções ▸ Fórmulas.
    TFormulas& formulas() { return *formulas_; }
    EngineTables& tables() { return *tables_; }
    /// The windows as the analysis run sees them.
    WindowHost& host() { return *host_; }
    /// The numerical check of every analysis, before its success line.
    NumericalVerification& verification() { return verification_; }
    /// The exact solution that corrects, or replaces, the elimination.
    exact::ExactReference& exact_solver() { return exact_; }

private:
    std::unique_ptr<EngineTables> tables_;
    // Declared in creation order, so that they are destroyed in the reverse one: Form4
    // writes to Form1's log and Form5 reads Form4's settings.
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TForm4> form4_;
    std::unique_ptr<TForm5> form5_;
    std::unique_ptr<TForm6> form6_;
    std::unique_ptr<TFormulas> formulas_;
    std::unique_ptr<WindowHost> host_;
    NumericalVerification verification_;
    exact::ExactReference exact_;
};

}  // namespace quorvat
