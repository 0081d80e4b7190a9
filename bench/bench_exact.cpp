// Timings of the exact solver: every example, a dense 25-variable RLC network in SI
// units with 200 elements, and resistor networks of distinct fractional values (the
// largest coefficients found); then whole analyses with and without the elimination.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "engine/tables.h"
#include "exact/exact_reference.h"
#include "exact/exact_solver.h"

namespace {

using namespace quorvat;
using quorvat::bench::BenchHost;
using quorvat::bench::ScratchFolder;

// A value of the given decade with a random mantissa of 1.000 to 9.999.
double random_value(std::mt19937_64& random, double decade) {
    return decade * std::uniform_int_distribution<int>(1000, 9999)(random) / 1000.0;
}

// 21 nodes and 4 inductors (25 variables), a step current source and 195 resistors and
// capacitors between random nodes, every value in SI units with four digits.
std::string dense_si_network(unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<int> node(0, 21);
    std::string text = "Rede RLC densa em unidades SI\nI1 0 1 1e-3 DEGRAU\n";
    char line[120];
    for (int i = 1; i <= 4; ++i) {
        std::snprintf(line, sizeof line, "L%d %d %d %.4g\n", i, i, i + 1, random_value(random, 1e-3));
        text += line;
    }
    for (int i = 1; i <= 21; ++i) {  // every node reaches ground
        std::snprintf(line, sizeof line, "R%d %d 0 %.4g\n", i, i, random_value(random, 1e3));
        text += line;
    }
    for (int i = 1; i <= 174; ++i) {
        int a = node(random), b = node(random);
        if (a == b) b = (a + 1) % 22;
        if (i % 2)
            std::snprintf(line, sizeof line, "C%d %d %d %.4g\n", i, a, b, random_value(random, 1e-9));
        else
            std::snprintf(line, sizeof line, "R%d %d %d %.4g\n", i + 100, a, b, random_value(random, 1e3));
        text += line;
    }
    return text;
}

// 25 nodes joined by 200 resistors of distinct fractional values, with a current step:
// every conductance brings its own odd denominator.
std::string fractional_resistor_network(unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<int> node(0, 25);
    std::string text = "Rede de resistores fracionários\nI1 0 1 1 DEGRAU\nC1 1 0 1\n";
    char line[120];
    for (int i = 1; i <= 25; ++i) {
        std::snprintf(line, sizeof line, "R%d %d 0 %.15g\n", i, i, 1.0 + std::uniform_real_distribution<>(0, 1)(random));
        text += line;
    }
    for (int i = 26; i <= 198; ++i) {
        int a = node(random), b = node(random);
        if (a == b) b = (a + 1) % 26;
        std::snprintf(line, sizeof line, "R%d %d %d %.15g\n", i, a, b, 1.0 + std::uniform_real_distribution<>(0, 1)(random));
        text += line;
    }
    return text;
}

// 25 nodes and 200 elements of every kind that keeps 25 variables (R, C, G), each value
// with 17 significant digits in decades from 1e-19 to 1e14, as in small-signal models
// of transistor circuits: the widest spread of coefficients the limits allow.
std::string wide_range_network(unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<int> node(0, 25), decade(-19, 14);
    auto value = [&](int low, int high) {
        int d = std::clamp(decade(random), low, high);
        return std::pow(10.0, d) * std::uniform_real_distribution<>(1.0, 10.0)(random);
    };
    std::string text = "Rede de valores dispersos\nI1 0 1 1e-6 DEGRAU\n";
    char line[160];
    for (int i = 1; i <= 25; ++i) {
        std::snprintf(line, sizeof line, "R%d %d 0 %.17g\n", i, i, value(0, 14));
        text += line;
    }
    for (int i = 26; i <= 199; ++i) {
        int a = node(random), b = node(random), c = node(random), d = node(random);
        if (a == b) b = (a + 1) % 26;
        switch (i % 3) {
            case 0: std::snprintf(line, sizeof line, "R%d %d %d %.17g\n", i, a, b, value(-3, 14)); break;
            case 1: std::snprintf(line, sizeof line, "C%d %d %d %.17g\n", i, a, b, value(-19, -3)); break;
            default: std::snprintf(line, sizeof line, "G%d %d %d %d %d %.17g\n", i, a, b, c, d, value(-19, -1)); break;
        }
        text += line;
    }
    return text;
}

// Reads and assembles a netlist through a whole analysis, then times the exact solution
// alone (stamping, solution, reduction and rounding of every variable).
void time_exact_solution(benchmark::State& state, const std::string& path,
                         exact::Method method = exact::Method::automatic) {
    BenchHost host(path);
    host.exact = true;
    auto tables = std::make_unique<EngineTables>();
    exact::ExactReference reference;
    fp_clear();
    if (!run_analysis(*tables, host, nullptr, &reference)) {
        state.SkipWithError("the analysis did not succeed");
        return;
    }
    long bits = 0;
    for (auto _ : state) {
        exact::ExactSolution solution = exact::solve_exact(*tables, method);
        WidePolynomial num, den;
        for (const auto& f : solution.variables) {
            exact::to_result_polynomials(f, num, den);
            bits = std::max(bits, static_cast<long>(fmpz_poly_max_bits(f.denominator.get())));
        }
        benchmark::DoNotOptimize(num.c[0]);
    }
    state.counters["variables"] = tables->variable_count;
    state.counters["bits"] = static_cast<double>(bits < 0 ? -bits : bits);
}

void BM_ExactExample(benchmark::State& state, const std::string& example) {
    ScratchFolder folder;
    time_exact_solution(state, folder.copy_example(example));
}

// range(0): the network's seed; range(1): the method (automatic, fraction-free, multimodular).
void BM_ExactDenseSI(benchmark::State& state) {
    ScratchFolder folder;
    time_exact_solution(state, folder.write("densa.net", dense_si_network(static_cast<unsigned>(state.range(0)))),
                        static_cast<exact::Method>(state.range(1)));
}

void BM_ExactFractionalResistors(benchmark::State& state) {
    ScratchFolder folder;
    time_exact_solution(state, folder.write("frac.net", fractional_resistor_network(static_cast<unsigned>(state.range(0)))),
                        static_cast<exact::Method>(state.range(1)));
}

using Generator = std::string (*)(unsigned seed);

// The search for the slowest netlist of a family: 40 random members are solved once
// each, and the slowest is then timed; "worst_seed" names it, "searched" the count.
void BM_WorstOfFamily(benchmark::State& state, Generator generate) {
    ScratchFolder folder;
    double slowest = -1;
    unsigned worst_seed = 0;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        BenchHost host(folder.write("busca.net", generate(seed)));
        host.exact = true;
        auto tables = std::make_unique<EngineTables>();
        exact::ExactReference reference;
        fp_clear();
        if (!run_analysis(*tables, host, nullptr, &reference)) continue;
        auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(exact::solve_exact(*tables).singular);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds > slowest) {
            slowest = seconds;
            worst_seed = seed;
        }
    }
    state.counters["worst_seed"] = worst_seed;
    state.counters["searched"] = 40;
    time_exact_solution(state, folder.write("pior.net", generate(worst_seed)));
}

void BM_ExactExampleBy(benchmark::State& state, const std::string& example) {
    ScratchFolder folder;
    time_exact_solution(state, folder.copy_example(example), static_cast<exact::Method>(state.range(0)));
}

// A whole analysis (read, solve, results, files), by elimination checked against the
// exact solution, or exact alone.
void BM_WholeAnalysis(benchmark::State& state, const std::string& example, bool exact_only) {
    ScratchFolder folder;
    BenchHost host(folder.copy_example(example));
    host.exact = exact_only;
    auto tables = std::make_unique<EngineTables>();
    exact::ExactReference reference;
    for (auto _ : state) {
        fp_clear();
        if (!run_analysis(*tables, host, nullptr, &reference)) {
            state.SkipWithError("the analysis did not succeed");
            break;
        }
    }
}

void register_examples() {
    namespace fs = std::filesystem;
    for (const auto& entry : fs::directory_iterator(fs::path(QUORVAT_SOURCE_DIR) / "examples")) {
        if (entry.path().extension() != ".net") continue;
        std::string name = entry.path().filename().string();
        benchmark::RegisterBenchmark(("BM_ExactExample/" + entry.path().stem().string()).c_str(), BM_ExactExample, name)
            ->Unit(benchmark::kMillisecond);
    }
}

BENCHMARK(BM_ExactDenseSI)->ArgsProduct({{1, 2, 3, 4}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExactFractionalResistors)->ArgsProduct({{1, 2, 3}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExactExampleBy, butterworth25, std::string("butterworth25.net"))->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExactExampleBy, cascata8_si, std::string("cascata8_si.net"))->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExactExampleBy, mixed25, std::string("mixed25.net"))->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WorstOfFamily, dense_si, dense_si_network)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WorstOfFamily, fractional_resistors, fractional_resistor_network)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WorstOfFamily, wide_range, wide_range_network)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WholeAnalysis, ladder25_checked, std::string("ladder25.net"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WholeAnalysis, ladder25_exact, std::string("ladder25.net"), true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WholeAnalysis, mixed25_checked, std::string("mixed25.net"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WholeAnalysis, mixed25_exact, std::string("mixed25.net"), true)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    register_examples();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
