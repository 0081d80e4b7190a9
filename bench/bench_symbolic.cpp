// Timings of "quorvat-cli simbolico": the whole command (read, assemble, expand, cancel,
// verify against the exact solution, write the text) on every example of up to 15
// elements, the 10-section RC ladder and the two-op-amp biquad, fully symbolic; the
// nested form (--aninhado) on RC ladders of 10 to 200 sections and on the 24-transistor
// op-amp model; the dominant terms (--aproximar) and the short gain and pole
// (--ganho-polo) on the op-amp model. The counters give the terms of the determinant
// and of all the written polynomials, or the items of the graph of minors and the terms
// kept.
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    if (!read_circuit(tables, host, exact_limits)) {
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

// An RC ladder of the given sections, values spread over a few decades, in a file.
std::string ladder(int sections) {
    const fs::path path = fs::temp_directory_path() / ("quorvat_bench_escada_" + std::to_string(sections) + ".net");
    std::ofstream out(path);
    out << "Escada RC de " << sections << " seções\nV1 in 0 1 IMPULSO\n";
    std::string previous = "in";
    for (int k = 1; k <= sections; ++k) {
        out << "R" << k << " " << previous << " n" << k << " " << 1000 * (1 + k % 3) << "\n";
        out << "C" << k << " n" << k << " 0 " << (1 + k % 5) << "e-9\n";
        previous = "n" + std::to_string(k);
    }
    return path.string();
}

// The command with options, whole: the output's size and, from the text, the count of
// subexpressions or of terms kept.
void command(benchmark::State& state, std::vector<std::string> options, const std::string& path) {
    options.push_back(path);
    std::string text;
    for (auto _ : state) {
        std::ostringstream out, err;
        const int status = cli::symbolic_command(options, out, err);
        if (status != 0) state.SkipWithError(("código de saída " + std::to_string(status)).c_str());
        text = out.str();
    }
    state.counters["bytes_saida"] = static_cast<double>(text.size());
    const std::size_t at = text.find("Subexpressões: ");
    if (at != std::string::npos) state.counters["subexpressoes"] = std::stod(text.substr(at + 16));
    long kept = 0;  // from the report's lines "    N(s) s^3: 12 termos, ..."
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t head = line.find("(s) s^"), colon = line.find(": ");
        if (head != std::string::npos && colon != std::string::npos && colon > head) kept += std::atol(line.c_str() + colon + 2);
    }
    if (kept > 0) state.counters["termos_mantidos"] = static_cast<double>(kept);
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
    for (int sections : {10, 20, 50, 100, 200}) {
        const std::string path = ladder(sections);
        benchmark::RegisterBenchmark(("aninhado/escada" + std::to_string(sections) + "/saida").c_str(), command,
                                     std::vector<std::string>{"--aninhado", "--variaveis", std::to_string(sections + 1)},
                                     path)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("aninhado/amp_op_bipolar24/saida", command,
                                 std::vector<std::string>{"--aninhado", "--variaveis", "18"}, example("amp_op_bipolar24.net"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("aninhado/amp_op_bipolar24/todas", command, std::vector<std::string>{"--aninhado"},
                                 example("amp_op_bipolar24.net"))
        ->Unit(benchmark::kMillisecond);
    for (const char* tolerance : {"0.1", "0.01", "0.001"})
        benchmark::RegisterBenchmark((std::string("aproximar/amp_op_bipolar24/") + tolerance).c_str(), command,
                                     std::vector<std::string>{"--aproximar", tolerance, "--variaveis", "18"},
                                     example("amp_op_bipolar24.net"))
            ->Unit(benchmark::kSecond)
            ->Iterations(1);
    // The short gain and pole of the op-amp's output, alone and with the matched pairs.
    for (const char* tolerance : {"0.1", "0.01"})
        for (const bool matched : {false, true}) {
            std::vector<std::string> options{"--ganho-polo", "--aproximar", tolerance, "--variaveis", "23"};
            if (matched) options.insert(options.end(), {"--iguais", "GM1=GM2=GM3=GM4,GM5=GM6"});
            benchmark::RegisterBenchmark(
                (std::string("ganho_polo/amp_op_bipolar24/") + tolerance + (matched ? "/iguais" : "")).c_str(), command,
                options, example("amp_op_bipolar24.net"))
                ->Unit(benchmark::kMillisecond);
        }
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
