#include "engine/analysis_run.h"

#include <string>
#include <string_view>
#include <vector>

#include "engine/assembly.h"
#include "engine/c_locale.h"
#include "engine/file_read.h"
#include "engine/fp_fault.h"
#include "engine/netlist.h"
#include "engine/results.h"
#include "engine/solver.h"

namespace quorvat {

namespace {

// The part of the path after its last '/': dots in folder names never count.
std::size_t file_name_start(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// Ends a run that stops before the pause: the variables of the new netlist must never
// be listed with the previous run's results.
bool end_before_pause(AnalysisHost& host) {
    host.set_results_listable(false);
    return false;
}

// The exact solution; false (message logged) unless it was obtained.
bool solved_exactly(EngineTables& tables, AnalysisHost& host, ExactSolver& exact) {
    switch (exact.solve(tables, host)) {
        case ExactSolver::Outcome::solved:
            return true;
        case ExactSolver::Outcome::singular:
            log_message(host, "O sistema é singular em aritmética exata. Circuito sem solução.");
            return false;
        case ExactSolver::Outcome::cancelled:
            log_message(host, "Análise cancelada.");
            return false;
        case ExactSolver::Outcome::refused:
            break;
    }
    return false;
}

constexpr std::string_view no_solution_ending = " Circuito sem solução.";

// The elimination's host during a solution that the exact one may repair: its line that
// ends with "Circuito sem solução." is held back, with every line after it, to be logged
// without that ending when the exact solution follows (the system has one), and whole
// otherwise.
class FailureHoldingHost : public AnalysisHost {
public:
    explicit FailureHoldingHost(AnalysisHost& host) : host_(host) {}
    void log(std::string_view line) override {
        if (!held_.empty())
            after_.emplace_back(line);
        else if (line.size() >= no_solution_ending.size() &&
                 line.substr(line.size() - no_solution_ending.size()) == no_solution_ending)
            held_ = line;
        else
            host_.log(line);
    }
    /// Logs the held line, cut before its ending when the system has a solution, then
    /// the lines that followed it.
    void release(bool solvable) {
        if (held_.empty()) return;
        host_.log(solvable ? std::string_view(held_).substr(0, held_.size() - no_solution_ending.size()) : held_);
        held_.clear();
        for (const std::string& line : after_) host_.log(line);
        after_.clear();
    }
    bool progress(std::string_view stage, double done) override { return host_.progress(stage, done); }
    std::string netlist_file_name() override { return host_.netlist_file_name(); }
    bool supplied_netlist(std::string& text) override { return host_.supplied_netlist(text); }
    bool checked(AnalysisOption option) override { return host_.checked(option); }
    bool wait_for_options(const std::vector<std::string>& names, NumericOptions& numbers) override {
        return host_.wait_for_options(names, numbers);
    }
    std::vector<int32_t> variables_to_solve(int32_t count) override { return host_.variables_to_solve(count); }
    double frequency_scale() override { return host_.frequency_scale(); }
    bool selected(int variable) override { return host_.selected(variable); }
    void set_results_listable(bool enabled) override { host_.set_results_listable(enabled); }
    void enable_variables_menu() override { host_.enable_variables_menu(); }
    void propose_plot_file(const std::string& file_name) override { host_.propose_plot_file(file_name); }

private:
    AnalysisHost& host_;
    std::string held_;
    std::vector<std::string> after_;
};

// The solution and its adjusted results in num and den. The elimination runs unless the
// exact option is checked; where it fails, or its results differ from the exact ones,
// the exact results take its place. Returns false (cause logged) when there is none.
bool solve(EngineTables& tables, AnalysisHost& host, ExactSolver* exact) {
    tables.exact_available = false;
    tables.results_exact = false;
    tables.solved.clear();
    if (tables.wanted.empty())
        for (int32_t k = 1; k <= tables.variable_count; ++k) tables.solved.push_back(k);
    else
        tables.solved = tables.wanted;
    if (exact && host.checked(AnalysisOption::exact)) {
        log_message(host, "Cálculo em aritmética exata.");
        if (tables.frequency_scale != 1.0)
            log_message(host, "Resultados em função de s/W, com a escala de frequência W = %.17g rad/s.",
                        tables.frequency_scale);
        if (!solved_exactly(tables, host, *exact)) return false;
        use_exact_results(tables);
        return true;
    }
    FailureHoldingHost elimination(host);
    if (!solve_system(tables, elimination) || !adjust_results(tables, elimination)) {
        // The elimination's own message is logged; the system may still be regular, and
        // then "Circuito sem solução." would contradict the line that follows.
        bool solvable = exact && exact->solve(tables, elimination) == ExactSolver::Outcome::solved;
        elimination.release(solvable);
        if (!solvable) return false;
        log_message(host,
                    "A eliminação em ponto flutuante falhou; o sistema tem solução e foi resolvido em aritmética exata.");
        use_exact_results(tables);
        return true;
    }
    elimination.release(false);
    if (!exact) return true;
    fp_check();
    ExactSolver::Outcome outcome = exact->solve(tables, host);
    if (outcome == ExactSolver::Outcome::singular) {
        // The elimination divided by rounding residues: its results mean nothing.
        log_message(host, "O sistema é singular em aritmética exata. Circuito sem solução.");
        return false;
    }
    if (outcome != ExactSolver::Outcome::solved) return true;
    double error = exact->difference(tables);
    if (!(error <= exact_tolerance)) {
        log_message(host,
                    "A eliminação em ponto flutuante ficou imprecisa (erro relativo %.1e); resultados recalculados em "
                    "aritmética exata.",
                    error);
        use_exact_results(tables);
    }
    return true;
}

}  // namespace

const char* const larger_circuits_hint =
    "Para circuitos maiores, use o cálculo exato (opção --exato, ou \"Cálculo exato\" nas opções).";

bool beyond_design_limits(const EngineTables& tables) {
    return tables.node_overflow || tables.element_count > max_elements || tables.variable_count > max_variables;
}

std::string netlist_path_for(const std::string& file_name) {
    if (file_name.find('.', file_name_start(file_name)) == std::string::npos) return file_name + ".net";
    return file_name;
}

std::string base_name_for(const std::string& path) {
    std::size_t dot = path.find('.', file_name_start(path));
    return dot == std::string::npos ? path : path.substr(0, dot);
}

bool read_circuit(EngineTables& tables, AnalysisHost& host, const CircuitLimits& limits) {
    host.log({});
    tables.limits = limits;
    tables.node_overflow = 0;
    tables.element_count = 0;
    tables.variable_count = 0;
    tables.set_variable_name(0, "0");

    tables.netlist_path = netlist_path_for(host.netlist_file_name());
    tables.base_name = base_name_for(tables.netlist_path);
    const char* path = tables.netlist_path.c_str();

    std::string text;
    std::size_t byte_limit = limits.design() ? max_netlist_bytes : max_exact_netlist_bytes;
    FileRead read = host.supplied_netlist(text) ? FileRead::ok
                                                : read_text_file(host, tables.netlist_path, byte_limit, text);
    if (read != FileRead::ok) {
        if (read == FileRead::missing) log_message(host, "Arquivo %s inexistente", path);
        return end_before_pause(host);
    }
    log_message(host, "Lendo netlist %s:", path);
    if (!read_netlist(tables, host, text)) return end_before_pause(host);
    if (tables.node_overflow) {
        if (limits.design())
            log_message(host, "Número excessivo de nós (%d)", max_nodes);
        else
            log_message(host, "O circuito tem mais de %d nós, o limite do cálculo exato.", limits.nodes);
        return end_before_pause(host);
    }
    tables.node_count = tables.variable_count;
    if (!number_variables(tables, host)) return end_before_pause(host);

    log_message(host, "Variáveis: ");
    for (int i = 0; i <= tables.variable_count; ++i) log_message(host, "%d: %s", i, tables.variable_name(i));
    log_message(host, "O circuito tem %d nós, %d variáveis e %d elementos", tables.node_count,
                tables.variable_count, tables.element_count);
    return true;
}

bool run_analysis(EngineTables& tables, AnalysisHost& host, ResultCheck* check, ExactSolver* exact) {
    CLocaleScope c_numbers;  // the listings and the result files, whatever the locale
    fp_clear();  // flags the open dialog's own code may have raised are not the run's
    const bool exact_reading = exact && host.checked(AnalysisOption::exact);
    if (!read_circuit(tables, host, exact_reading ? exact_limits : design_limits)) {
        if (!exact_reading && exact && beyond_design_limits(tables)) log_message(host, "%s", larger_circuits_hint);
        return false;
    }

    // The options pause.
    host.set_results_listable(false);
    host.enable_variables_menu();
    std::vector<std::string> names;
    for (int i = 1; i <= tables.variable_count; ++i) names.emplace_back(tables.variable_name(i));
    NumericOptions numbers;
    if (!host.wait_for_options(names, numbers)) {
        log_message(host, "Análise cancelada.");
        return false;
    }
    fp_clear();  // what the windows did during the pause is not the engine's fault
    tables.arithmetic.coefficient_dispersion = numbers.coefficient_dispersion;
    tables.arithmetic.zero_threshold = numbers.zero_threshold;

    const bool exact_mode = exact && host.checked(AnalysisOption::exact);
    tables.wanted.clear();
    tables.frequency_scale = 1.0;
    if (exact_mode) {
        tables.wanted = host.variables_to_solve(tables.variable_count);
        tables.frequency_scale = host.frequency_scale();
        for (int32_t k : tables.wanted)
            if (k < 1 || k > tables.variable_count) {
                log_message(host, "A variável %d não existe: o circuito tem %d variáveis.", k, tables.variable_count);
                log_message(host, "Análise cancelada.");
                return false;
            }
    }
    if (!tables.fits_fixed_tables() && !exact_mode) {
        // Read for the exact path, then unchecked at the pause: the elimination's tables
        // cannot hold it.
        log_message(host, "O circuito tem %d variáveis e %d elementos; a eliminação em ponto flutuante aceita até %d "
                          "variáveis e %d elementos.",
                    tables.variable_count, tables.element_count, max_variables, max_elements);
        log_message(host, "%s", larger_circuits_hint);
        log_message(host, "Análise cancelada.");
        return false;
    }

    log_message(host, "Calculando...");
    if (tables.fits_fixed_tables()) {
        stamp_elements(tables, host);
        prepare_system(tables);
    }
    if (!solve(tables, host, exact)) {
        log_message(host, "Cálculo interrompido.");
        return false;
    }
    if (!write_results(tables, host)) return false;
    if (check) check->check(tables, host);
    log_message(host, "Análise terminada com sucesso.");
    return true;
}

}  // namespace quorvat
