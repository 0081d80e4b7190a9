// The seam between the analysis run and whatever drives it: the desktop windows, the
// command-line tool or a test's fake. The engine reaches the outside only through it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/log.h"

namespace quorvat {

/// The six check boxes of the options dialog.
enum class AnalysisOption {
    list_stamps,           // CBestampas "Listar estampas"
    normalise,             // CBnorm "Normalizar polinômios"
    details,               // CBdetalhes "Listar detalhes"
    steps,                 // CBpassos "Listar passos"
    pivotal_condensation,  // CBcondensar "Usar condensação pivotal"
    final_system,          // CBfinal "Ver sistema resolvido"
    exact,                 // CBexato "Cálculo exato"
};

/// The two numbers that "Aplicar" stores.
struct NumericOptions {
    double coefficient_dispersion = 0.0;
    double zero_threshold = 0.0;
};

class AnalysisHost : public LogSink {
public:
    /// The file name chosen in the netlist open dialog (empty when there is none).
    virtual std::string netlist_file_name() = 0;
    /// The netlist text when the host holds it itself (a SPICE deck imported in memory);
    /// false to read the file named by netlist_file_name().
    virtual bool supplied_netlist(std::string& /*text*/) { return false; }
    /// The state of a check box, read at the moment of use.
    virtual bool checked(AnalysisOption option) = 0;
    /// The options pause: fills the variables list with the names of variables 1..n
    /// (item k-1 is variable k), shows the options and variables windows and waits for
    /// "Aplicar", which stores the two numbers. Returns false when the user cancelled.
    virtual bool wait_for_options(const std::vector<std::string>& variable_names,
                                  NumericOptions& numbers) = 0;
    /// The variables (1-based) an exact run is restricted to, asked after the pause;
    /// empty for all of them. variable_count is the circuit's.
    virtual std::vector<int32_t> variables_to_solve(int32_t /*variable_count*/) { return {}; }
    /// The frequency scale W (rad/s) of an exact run: results become functions of s/W.
    virtual double frequency_scale() { return 1.0; }
    /// A long computation's stage and share done (0..1), at most about once a second.
    /// False stops the run (the window is closing).
    virtual bool progress(std::string_view /*stage*/, double /*done*/) { return true; }
    /// Whether variable (1-based) is selected in the variables list.
    virtual bool selected(int variable) = 0;
    /// Enables or disables "Listar resultados".
    virtual void set_results_listable(bool enabled) = 0;
    /// Enables the menu item "Variáveis".
    virtual void enable_variables_menu() = 0;
    /// Sets the file name that the plotter's open dialog proposes.
    virtual void propose_plot_file(const std::string& file_name) = 0;
};

}  // namespace quorvat
