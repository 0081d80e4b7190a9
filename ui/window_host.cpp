#include "ui/window_host.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>

#include "engine/limits.h"
#include "plot/quorvat4.h"
#include "ui/quorvat1.h"
#include "ui/quorvat2.h"
#include "ui/quorvat3.h"
#include "ui/shell.h"

namespace quorvat {

void WindowHost::log(std::string_view line) { shell_.form1().log().log(line); }

std::string WindowHost::netlist_file_name() { return shell_.form1().OpenDialog1().file_name; }

bool WindowHost::supplied_netlist(std::string& text) {
    if (!supplied_) return false;
    text = *supplied_;
    return true;
}

bool WindowHost::checked(AnalysisOption option) {
    return shell_.form2().check_box(option)->isChecked();
}

bool WindowHost::wait_for_options(const std::vector<std::string>& variable_names,
                                  NumericOptions& numbers) {
    TForm1& form1 = shell_.form1();
    TForm2& form2 = shell_.form2();
    TForm3& form3 = shell_.form3();
    form2.options_applied = 0;
    form2.closed_by_user = false;
    form3.fill(variable_names);
    form1.log().flush();
    show_window(form2);
    show_window(form3);

    waiting_ = true;
    form1.Abrir1->setEnabled(false);
    // Every window stays live: the user sets the options and selects variables, and may
    // plot or read the about box meanwhile. Blocks until there is something to process.
    while (!form2.options_applied && !form2.closed_by_user && !ending_)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    waiting_ = false;
    form1.Abrir1->setEnabled(true);

    if (!form2.options_applied) {
        form2.hide();
        form3.hide();
        return false;
    }
    numbers.coefficient_dispersion = form2.coefficient_dispersion;
    numbers.zero_threshold = form2.zero_threshold;
    return true;
}

bool WindowHost::selected(int variable) {
    QListWidgetItem* item = shell_.form3().LBsel->item(variable - 1);
    return item && item->isSelected();
}

std::vector<int32_t> WindowHost::variables_to_solve(int32_t variable_count) {
    std::vector<int32_t> wanted;
    if (variable_count <= max_variables) return wanted;
    for (int32_t k = 1; k <= variable_count; ++k)
        if (selected(k)) wanted.push_back(k);
    return wanted;
}

double WindowHost::frequency_scale() { return shell_.form2().frequency_scale; }

bool WindowHost::progress(std::string_view stage, double done) {
    // The first report of a stage comes at its start: only a solution still running a
    // second later has a share worth a line.
    if (done > 0.0 && done < 1.0) {
        log_message(*this, "%.*s: %.0f%%", static_cast<int>(stage.size()), stage.data(), 100.0 * done);
        shell_.form1().log().flush();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return !ending_;
}

void WindowHost::set_results_listable(bool enabled) { shell_.form3().Button1->setEnabled(enabled); }

void WindowHost::enable_variables_menu() { shell_.form1().Anlise1->setEnabled(true); }

void WindowHost::propose_plot_file(const std::string& file_name) {
    shell_.form4().OpenDialog1().file_name = file_name;
}

}  // namespace quorvat
