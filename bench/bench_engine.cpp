// Timings of the analysis engine: the whole analysis of three example circuits (read,
// assemble, solve every variable, write the files) and the solver alone.
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <benchmark/benchmark.h>

#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "engine/solver.h"
#include "engine/tables.h"

namespace {

namespace fs = std::filesystem;
using namespace quorvat;

// A host that answers the options pause at once with the dialog's defaults (only
// normalisation checked) and counts the log lines instead of showing them.
class BenchHost : public AnalysisHost {
public:
    explicit BenchHost(std::string netlist) : netlist_(std::move(netlist)) {}

    long lines = 0;

    void log(std::string_view) override { ++lines; }
    std::string netlist_file_name() override { return netlist_; }
    bool checked(AnalysisOption option) override { return option == AnalysisOption::normalise; }
    bool wait_for_options(const std::vector<std::string>&, NumericOptions& numbers) override {
        numbers.coefficient_dispersion = 1e12;
        numbers.zero_threshold = 1e-12;
        return true;
    }
    bool selected(int) override { return false; }
    void set_results_listable(bool) override {}
    void enable_variables_menu() override {}
    void propose_plot_file(const std::string&) override {}

private:
    std::string netlist_;
};

// A scratch folder for the result files; its name holds no '.', so the base name of the
// results stays inside it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device device;
        do path_ = fs::temp_directory_path() / ("quorvat-bench-" + std::to_string(device()));
        while (!fs::create_directory(path_));
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    // Copies an example netlist into the folder and returns the copy's path.
    std::string copy_example(const std::string& name) const {
        fs::path target = path_ / name;
        fs::copy_file(fs::path(QUORVAT_SOURCE_DIR) / "examples" / name, target, fs::copy_options::overwrite_existing);
        return target.string();
    }

private:
    fs::path path_;
};

void run_once(EngineTables& tables, BenchHost& host) {
    fp_clear();
    if (!run_analysis(tables, host)) throw std::runtime_error("the analysis did not succeed");
}

void BM_Analysis(benchmark::State& state, const std::string& example) {
    ScratchFolder folder;
    BenchHost host(folder.copy_example(example));
    auto tables = std::make_unique<EngineTables>();
    run_once(*tables, host);  // fails loudly before any timing when the circuit does not analyse
    for (auto _ : state) {
        run_once(*tables, host);
        benchmark::DoNotOptimize(tables->num[1].c[0]);
    }
    state.counters["variables"] = tables->variable_count;
    state.counters["multiplications"] = tables->arithmetic.multiplication_count;
    state.counters["divisions"] = tables->arithmetic.division_count;
}

// The solver alone: the system is read and assembled once by a whole analysis; each
// iteration eliminates it again for every variable.
void BM_Solver(benchmark::State& state, const std::string& example) {
    ScratchFolder folder;
    BenchHost host(folder.copy_example(example));
    auto tables = std::make_unique<EngineTables>();
    run_once(*tables, host);
    prepare_system(*tables);
    for (auto _ : state) {
        fp_clear();
        if (!solve_system(*tables, host)) {
            state.SkipWithError("the solution failed");
            break;
        }
        benchmark::DoNotOptimize(tables->den[1].c[0]);
    }
    state.counters["variables"] = tables->variable_count;
}

BENCHMARK_CAPTURE(BM_Analysis, teste, std::string("teste.net"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Analysis, ladder25, std::string("ladder25.net"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Analysis, mixed25, std::string("mixed25.net"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Solver, ladder25, std::string("ladder25.net"))->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
