// The analysis run's view of the windows: the log, the netlist dialog's file name, the
// check boxes of Form2, the options pause, the selection of LBsel, "Listar resultados",
// "Variáveis" and the plotter's proposed file name.
#pragma once

#include <optional>
#include <string>

#include "engine/analysis_host.h"

namespace quorvat {

class Shell;

class WindowHost : public AnalysisHost {
public:
    explicit WindowHost(Shell& shell) : shell_(shell) {}

    void log(std::string_view line) override;
    std::string netlist_file_name() override;
    bool checked(AnalysisOption option) override;
    /// Fills LBsel, shows Form2 then Form3 and processes events until "Aplicar" (true,
    /// with the two numbers it stored) or a cancel (false): the close box of Form2, or
    /// the main window closing. Abrir is disabled meanwhile: one run at a time.
    bool wait_for_options(const std::vector<std::string>& variable_names,
                          NumericOptions& numbers) override;
    bool selected(int variable) override;
    /// A circuit beyond the elimination's tables is solved for the variables selected in
    /// LBsel at the pause (one output of a large circuit costs one solution); all of them
    /// when none is selected.
    std::vector<int32_t> variables_to_solve(int32_t variable_count) override;
    /// Logs "stage: N%" and lets the windows work, so that a long exact solution keeps
    /// them responsive; false once the main window is closing, which stops the run.
    bool progress(std::string_view stage, double done) override;
    double frequency_scale() override;
    void set_results_listable(bool enabled) override;
    void enable_variables_menu() override;
    void propose_plot_file(const std::string& file_name) override;

    bool supplied_netlist(std::string& text) override;
    /// The netlist that the next run reads instead of the chosen file (a SPICE deck
    /// imported in memory); cleared after that run.
    void supply_netlist(std::string text) { supplied_ = std::move(text); }
    void clear_supplied_netlist() { supplied_.reset(); }

    /// True while a run waits at the options pause.
    bool waiting() const { return waiting_; }
    /// The main window is closing: a pause in progress ends as cancelled, so that the
    /// run returns and the event loop can end the program.
    void application_ending() { ending_ = true; }

private:
    Shell& shell_;
    bool waiting_ = false;
    bool ending_ = false;
    std::optional<std::string> supplied_;
};

}  // namespace quorvat
