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
#include "bench/bench_support.h"

namespace {

using namespace quorvat;
using quorvat::bench::BenchHost;
using quorvat::bench::ScratchFolder;

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
