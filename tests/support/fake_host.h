// A fake analysis host: records the log and the window changes, answers the options.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/analysis_host.h"

namespace quorvat::testing {

class FakeHost : public AnalysisHost {
public:
    // What the host answers
    std::string file_name;
    std::set<AnalysisOption> options{AnalysisOption::normalise};
    std::string dispersion_text = "1e12";
    std::string zero_text = "1e-12";
    std::set<int> selection;      // selected variables, 1-based
    bool cancel_pause = false;    // answer the pause as a closed options window
    std::vector<int32_t> wanted;  // variables an exact run is restricted to
    double scale = 1.0;           // frequency scale of an exact run

    // What the run did
    std::vector<std::string> lines;
    std::vector<std::string> listed_variables;  // names given to the pause
    int pauses = 0;
    int results_listable = -1;    // -1 never set, else the last state
    bool variables_menu_enabled = false;
    std::string proposed_plot_file;

    void set(AnalysisOption option, bool on);

    void log(std::string_view line) override;
    std::string netlist_file_name() override { return file_name; }
    bool checked(AnalysisOption option) override { return options.count(option) != 0; }
    bool wait_for_options(const std::vector<std::string>& variable_names,
                          NumericOptions& numbers) override;
    bool selected(int variable) override { return selection.count(variable) != 0; }
    std::vector<int32_t> variables_to_solve(int32_t) override { return wanted; }
    double frequency_scale() override { return scale; }
    void set_results_listable(bool enabled) override { results_listable = enabled ? 1 : 0; }
    void enable_variables_menu() override { variables_menu_enabled = true; }
    void propose_plot_file(const std::string& name) override { proposed_plot_file = name; }

    /// The log from line first on, joined with '\n' (each line followed by one).
    std::string text(std::size_t first = 0) const;
};

}  // namespace quorvat::testing
