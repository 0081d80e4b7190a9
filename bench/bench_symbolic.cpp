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

#include "bench/bench_support.h"

#include "cli/commands.h"
#include "engine/analysis_run.h"
#include "engine/tables.h"
#include "symbolic/symbolic_solver.h"

namespace {

namespace fs = std::filesystem;
using namespace quorvat;

std::string example(const std::string& name) { return std::string(QUORVAT_SOURCE_DIR) + "/examples/" + name; }

// Reads the circuit as the command does; false (the benchmark skipped) when it cannot.
bool read_example(benchmark::State& state, const std::string& path, EngineTables& tables, std::vector<int>& all) {
    bench::BenchHost host(path);
    if (!read_circuit(tables, host)) {
        state.SkipWithError("netlist ilegível");
        return false;
    }
    for (int k = 1; k <= tables.variable_count; ++k) all.push_back(k);
    return true;
}

void whole_command(benchmark::State& state, const std::string& path) {
    auto tables = std::make_unique<EngineTables>();
    std::vector<int> all;
    if (!read_example(state, path, *tables, all)) return;
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
    std::vector<int> all;
    if (!read_example(state, path, *tables, all)) return;
    for (auto _ : state) benchmark::DoNotOptimize(symbolic::solve_symbolic(*tables, {}, all).determinant_terms);
}

const int registered = [] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(std::string(QUORVAT_SOURCE_DIR) + "/examples"))
        if (entry.path().extension() == ".net") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        auto tables = std::make_unique<EngineTables>();
        bench::BenchHost host(example(name));
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
