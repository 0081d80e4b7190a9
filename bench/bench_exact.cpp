// Timings of the exact solver: every example, a dense 25-variable RLC network in SI
// units with 200 elements, and resistor networks of distinct fractional values (the
// largest coefficients found); then whole analyses with and without the elimination.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "engine/limits.h"
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

// An RC ladder of the given sections, R = 1 ohm and C = 1 F, under a voltage impulse:
// sections + 2 variables.
std::string rc_ladder(int sections) {
    std::string text = "Escada RC\nV1 n0 0 1 IMPULSO\n";
    char line[120];
    for (int k = 1; k <= sections; ++k) {
        std::snprintf(line, sizeof line, "R%d n%d n%d 1\nC%d n%d 0 1\n", k, k - 1, k, k, k);
        text += line;
    }
    return text;
}

// A doubly terminated Butterworth LC ladder of the given odd order under a current
// impulse, normalised: order variables.
std::string lc_ladder(int order) {
    std::string text = "Escada LC\nI1 0 n1 1 IMPULSO\nRS n1 0 1\n";
    char line[160];
    int node = 1;
    for (int k = 1; k <= order; ++k) {
        double g = 2 * std::sin((2 * k - 1) * M_PI / (2 * order));
        if (k % 2) {
            std::snprintf(line, sizeof line, "C%d n%d 0 %.17g\n", k, node, g);
        } else {
            std::snprintf(line, sizeof line, "L%d n%d n%d %.17g\n", k, node, node + 1, g);
            ++node;
        }
        text += line;
    }
    std::snprintf(line, sizeof line, "RL n%d 0 1\n", node);
    return text + line;
}

// A side x side grid of resistors of about 1 kohm with a capacitor of about 10 nF from
// every node to ground, four digits each, a current step at a corner.
std::string rc_grid(int side) {
    std::mt19937_64 random(static_cast<unsigned>(side));
    std::string text = "Grade RC em unidades SI\nI1 0 g0_0 1e-3 DEGRAU\n";
    char line[160];
    int count = 0;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            std::snprintf(line, sizeof line, "C%d g%d_%d 0 %.4g\n", ++count, i, j, random_value(random, 1e-8));
            text += line;
            if (i + 1 < side) {
                std::snprintf(line, sizeof line, "R%d g%d_%d g%d_%d %.4g\n", ++count, i, j, i + 1, j, random_value(random, 1e3));
                text += line;
            }
            if (j + 1 < side) {
                std::snprintf(line, sizeof line, "R%d g%d_%d g%d_%d %.4g\n", ++count, i, j, i, j + 1, random_value(random, 1e3));
                text += line;
            }
        }
    return text + "R0 g0_0 0 50\n";
}

// A random sparse RLC network in SI units of about the given number of variables: one
// in ten an inductor's current, the rest nodes, about four elements per node, each node
// joined to the previous one so that the network is connected.
std::string random_rlc(int variables, unsigned seed) {
    std::mt19937_64 random(seed);
    const int inductors = variables / 10, nodes = variables - inductors;
    std::uniform_int_distribution<int> node(1, nodes);
    std::string text = "Rede RLC esparsa em unidades SI\nI1 0 1 1e-3 DEGRAU\n";
    char line[160];
    int count = 0;
    for (int k = 1; k <= nodes; ++k) {
        std::snprintf(line, sizeof line, "R%d %d %d %.4g\n", ++count, k, k - 1, random_value(random, 1e3));
        text += line;
        std::snprintf(line, sizeof line, "C%d %d %d %.4g\n", ++count, k, std::max(0, node(random) % (k + 1)),
                      random_value(random, 1e-9));
        text += line;
        int a = node(random), b = node(random);
        if (a == b) b = 0;
        std::snprintf(line, sizeof line, "%c%d %d %d %.4g\n", k % 2 ? 'R' : 'C', ++count, a, b,
                      random_value(random, k % 2 ? 1e4 : 1e-10));
        text += line;
    }
    for (int k = 1; k <= inductors; ++k) {
        int a = node(random), b = node(random);
        if (a == b) b = 0;
        std::snprintf(line, sizeof line, "L%d %d %d %.4g\n", ++count, a, b, random_value(random, 1e-3));
        text += line;
    }
    return text;
}

// A cascade of inverting stages, each an op-amp small-signal model (input resistance,
// two gain stages with a Miller capacitor, output resistance) with its feedback network:
// four variables a stage, values in SI units from 1e-12 to 1e9.
std::string opamp_cascade(int stages) {
    std::string text = "Cascata de amplificadores operacionais (modelo de pequenos sinais)\nV1 s0 0 1 IMPULSO\n";
    char line[1200];
    for (int k = 1; k <= stages; ++k) {
        std::snprintf(line, sizeof line,
                      "RI%d s%d m%d 10e3\nRF%d m%d s%d 47e3\nCF%d m%d s%d 33e-12\nRD%d m%d 0 2e6\n"
                      "GA%d 0 a%d 0 m%d 1.9e-4\nRA%d a%d 0 5.3e6\nCC%d a%d b%d 30e-12\n"
                      "GB%d 0 b%d a%d 0 6.5e-3\nRB%d b%d 0 9.1e4\nRO%d b%d s%d 75\nCL%d s%d 0 1e-12\n",
                      k, k - 1, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k, k);
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
            bits = std::max(bits, std::labs(static_cast<long>(fmpz_poly_max_bits(f.denominator.get()))));
        }
        benchmark::DoNotOptimize(num.c[0]);
    }
    state.counters["variables"] = tables->variable_count;
    state.counters["bits"] = static_cast<double>(bits);
}

// Reads a generated netlist through the engine's reader under the exact path's limits
// and times its exact solution: stamping, solution, reduction and rounding of every
// variable, or of the node named output alone.
void time_generated(benchmark::State& state, const std::string& netlist, exact::Method method,
                    const std::string& output = "") {
    ScratchFolder folder;
    BenchHost host(folder.write("gerado.net", netlist));
    host.exact = true;
    auto tables = std::make_unique<EngineTables>();
    fp_clear();
    if (!read_circuit(*tables, host, exact_limits)) {
        state.SkipWithError("the netlist was not read");
        return;
    }
    if (!output.empty()) tables->wanted = {tables->node_index.at(output)};
    long bits = 0;
    for (auto _ : state) {
        exact::ExactSolution solution = exact::solve_exact(*tables, method);
        if (solution.singular || solution.too_large) {
            state.SkipWithError("singular or too large");
            return;
        }
        WidePolynomial num, den;
        for (const auto& f : solution.variables) {
            if (f.denominator.degree() <= 0 && f.numerator.is_zero()) continue;
            exact::to_result_polynomials(f, num, den);  // may not fit a double: timed all the same
            bits = std::max(bits, std::labs(static_cast<long>(fmpz_poly_max_bits(f.denominator.get()))));
        }
    }
    state.counters["variables"] = tables->variable_count;
    state.counters["bits"] = static_cast<double>(bits);
}

// range(0): the method (automatic, fraction-free, multimodular, sparse).
exact::Method method_of(const benchmark::State& state) { return static_cast<exact::Method>(state.range(0)); }

void BM_RCLadder(benchmark::State& state) { time_generated(state, rc_ladder(static_cast<int>(state.range(1))), method_of(state)); }
void BM_LCLadder(benchmark::State& state) { time_generated(state, lc_ladder(static_cast<int>(state.range(1))), method_of(state)); }
void BM_RCGrid(benchmark::State& state) { time_generated(state, rc_grid(static_cast<int>(state.range(1))), method_of(state)); }
// range(2): the seed.
void BM_RandomRLC(benchmark::State& state) {
    time_generated(state, random_rlc(static_cast<int>(state.range(1)), static_cast<unsigned>(state.range(2))), method_of(state));
}
// range(1): stages; the last stage's output alone.
void BM_OpAmpCascadeOutput(benchmark::State& state) {
    int stages = static_cast<int>(state.range(1));
    time_generated(state, opamp_cascade(stages), method_of(state), "s" + std::to_string(stages));
}
void BM_OpAmpCascade(benchmark::State& state) {
    time_generated(state, opamp_cascade(static_cast<int>(state.range(1))), method_of(state));
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

BENCHMARK(BM_RCLadder)->ArgsProduct({{0, 1, 3}, {25, 100}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RCLadder)->ArgsProduct({{0}, {398}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LCLadder)->ArgsProduct({{0, 1, 3}, {25, 99}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RCGrid)->ArgsProduct({{0, 1, 3}, {5, 10}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RandomRLC)->ArgsProduct({{0, 1, 3}, {50}, {1, 2, 3}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RandomRLC)->ArgsProduct({{0}, {100, 200}, {1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpAmpCascade)->ArgsProduct({{0, 1, 3}, {6, 25}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpAmpCascadeOutput)->ArgsProduct({{0}, {25, 100}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExactDenseSI)->ArgsProduct({{1, 2, 3, 4}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExactFractionalResistors)->ArgsProduct({{1, 2, 3}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExactExampleBy, amp_op_24t, std::string("amp_op_24t.net"))->DenseRange(1, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExactExampleBy, butterworth25, std::string("butterworth25.net"))->DenseRange(1, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExactExampleBy, cascata8_si, std::string("cascata8_si.net"))->DenseRange(1, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExactExampleBy, mixed25, std::string("mixed25.net"))->DenseRange(1, 3)->Unit(benchmark::kMillisecond);
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
