// Timings of "quorvat-cli simbolico": the whole command (read, assemble, expand, cancel,
// verify against the exact solution, write the text) on every example of up to 15
// elements, the 10-section RC ladder and the two-op-amp biquad, fully symbolic. The
// counters give the terms of the determinant and of all the written polynomials. The
// symbolic solution alone is timed too on the two larger circuits.
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "cli/commands.h"
#include "engine/analysis_run.h"
#include "engine/tables.h"
#include "symbolic/symbolic_solver.h"

namespace {

namespace fs = std::filesystem;
using namespace quorvat;

class QuietHost : public AnalysisHost {
public:
    explicit QuietHost(std::string netlist) : netlist_(std::move(netlist)) {}
    void log(std::string_view) override {}
    std::string netlist_file_name() override { return netlist_; }
    bool checked(AnalysisOption) override { return false; }
    bool wait_for_options(const std::vector<std::string>&, NumericOptions&) override { return true; }
    bool selected(int) override { return false; }
    void set_results_listable(bool) override {}
    void enable_variables_menu() override {}
    void propose_plot_file(const std::string&) override {}

private:
    std::string netlist_;
};

std::string example(const std::string& name) { return std::string(QUORVAT_SOURCE_DIR) + "/examples/" + name; }

void whole_command(benchmark::State& state, const std::string& path) {
    auto tables = std::make_unique<EngineTables>();
    QuietHost host(path);
    if (!read_circuit(*tables, host)) {
        state.SkipWithError("netlist ilegível");
        return;
    }
    std::vector<int> all;
    for (int k = 1; k <= tables->variable_count; ++k) all.push_back(k);
    symbolic::SymbolicResult result = symbolic::solve_symbolic(*tables, {}, all);
    long written = 0;
    for (const auto& f : result.functions) written += f.numerator.length() + f.denominator.length();
    for (auto _ : state) {
        std::ostringstream out, err;
        int status = cli::symbolic_command({path}, out, err);
        if (status != 0) state.SkipWithError(("código de saída " + std::to_string(status)).c_str());
        benchmark::DoNotOptimize(out.str().size());
    }
    state.counters["elementos"] = tables->element_count;
    state.counters["termos_det"] = static_cast<double>(result.determinant_terms);
    state.counters["termos_saida"] = static_cast<double>(written);
}

// The symbolic solution alone (assembly, expansion, resistances, cancellation).
void solution_only(benchmark::State& state, const std::string& path) {
    auto tables = std::make_unique<EngineTables>();
    QuietHost host(path);
    if (!read_circuit(*tables, host)) {
        state.SkipWithError("netlist ilegível");
        return;
    }
    std::vector<int> all;
    for (int k = 1; k <= tables->variable_count; ++k) all.push_back(k);
    for (auto _ : state) benchmark::DoNotOptimize(symbolic::solve_symbolic(*tables, {}, all).determinant_terms);
}

const int registered = [] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(std::string(QUORVAT_SOURCE_DIR) + "/examples"))
        if (entry.path().extension() == ".net") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        auto tables = std::make_unique<EngineTables>();
        QuietHost host(example(name));
        if (!read_circuit(*tables, host) || (tables->element_count > 15 && name != "escada_rc10.net")) continue;
        benchmark::RegisterBenchmark(("simbolico/" + name).c_str(), whole_command, example(name))
            ->Unit(benchmark::kMillisecond);
    }
    for (const char* name : {"escada_rc10.net", "biquad_dois_amp.net"})
        benchmark::RegisterBenchmark((std::string("solucao/") + name).c_str(), solution_only, example(name))
            ->Unit(benchmark::kMillisecond);
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
