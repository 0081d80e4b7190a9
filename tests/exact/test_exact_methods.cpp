// Every exact method gives the same reduced functions, as does the system in a shifted
// frequency; the sparse method solves for the wanted variables alone; the memory guard
// and the progress callback.
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "engine/analysis_run.h"
#include "engine/c_locale.h"
#include "engine/fp_fault.h"
#include "engine/limits.h"
#include "exact/exact_solver.h"
#include "exact/exact_system.h"
#include "exact/frequency_shift.h"
#include "support/fake_host.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

using exact::Method;

std::unique_ptr<EngineTables> read(const testing::ScratchDir& dir, const std::string& netlist) {
    testing::FakeHost host;
    host.file_name = dir.write("c.net", netlist);
    host.options.insert(AnalysisOption::exact);
    auto tables = std::make_unique<EngineTables>();
    fp_clear();
    if (!read_circuit(*tables, host, exact_limits)) ADD_FAILURE() << host.text();
    return tables;
}

bool same(const exact::ExactSolution& x, const exact::ExactSolution& y, std::size_t k) {
    return fmpz_poly_equal(x.variables[k].numerator.get(), y.variables[k].numerator.get()) &&
           fmpz_poly_equal(x.variables[k].denominator.get(), y.variables[k].denominator.get());
}

std::string ladder(int sections, const char* kind) {
    std::string text = "escada\nV1 n0 0 1 IMPULSO\n";
    for (int k = 1; k <= sections; ++k)
        text += "R" + std::to_string(k) + " n" + std::to_string(k - 1) + " n" + std::to_string(k) + " 1\n" + kind +
                std::to_string(k) + " n" + std::to_string(k) + " 0 " + std::to_string(1 + k % 3) + "\n";
    return text;
}

// Random networks in SI units, every element kind, 17 to 35 variables.
std::string random_network(unsigned seed) {
    std::mt19937 random(seed);
    const int nodes = 16 + static_cast<int>(seed % 3) * 6;
    std::uniform_int_distribution<int> node(0, nodes);
    auto value = [&](double decade) { return decade * std::uniform_int_distribution<int>(1000, 9999)(random) / 1000.0; };
    std::string text = "aleatorio\nI1 0 1 1e-3 DEGRAU\n";
    char line[160];
    for (int k = 1; k <= nodes; ++k) {
        std::snprintf(line, sizeof line, "R%d %d %d %.4g\nC%d %d %d %.4g\n", k, k, k - 1, value(1e3), k, k,
                      node(random), value(1e-9));
        text += line;
    }
    const char kinds[] = "LGEFHO";
    for (int k = 0; k < 6; ++k) {
        int a = node(random), b = node(random), c = node(random), d = node(random);
        if (kinds[k] == 'L')
            std::snprintf(line, sizeof line, "L90 %d %d %.4g\n", a, b, value(1e-3));
        else if (kinds[k] == 'O')
            std::snprintf(line, sizeof line, "O90 %d 0 %d %d\n", a, c, d);
        else
            std::snprintf(line, sizeof line, "%c90 %d %d %d %d %.4g\n", kinds[k], a, b, c, d, value(1e-1));
        text += line;
    }
    return text;
}

TEST(ExactMethods, GiveTheSameReducedFunctions) {
    CLocaleScope c_numbers;
    testing::ScratchDir dir;
    std::vector<std::string> circuits = {ladder(40, "C"), ladder(30, "L")};
    for (const auto& entry : std::filesystem::directory_iterator(testing::source_path("examples")))
        if (entry.path().extension() == ".net") circuits.push_back(testing::read_file(entry.path().string()));
    for (unsigned seed = 1; seed <= 6; ++seed) circuits.push_back(random_network(seed));
    int solved = 0;
    for (const std::string& netlist : circuits) {
        SCOPED_TRACE(netlist.substr(0, netlist.find('\n')));
        auto tables = read(dir, netlist);
        exact::ExactSolution reference = exact::solve_exact(*tables, Method::fraction_free);
        for (Method method : {Method::multimodular, Method::sparse, Method::automatic}) {
            exact::ExactSolution other = exact::solve_exact(*tables, method);
            ASSERT_EQ(reference.singular, other.singular);
            ASSERT_EQ(reference.variables.size(), other.variables.size());
            for (std::size_t k = 0; k < other.variables.size(); ++k) EXPECT_TRUE(same(reference, other, k)) << k + 1;
        }
        if (reference.singular) continue;
        ++solved;
        // The system of s' = s / 2^k, solved and shifted back, for shifts either way.
        exact::RationalPencil pencil = exact::assemble_exact(*tables);
        for (int shift : {-37, 29}) {
            fmpz_poly_mat_t a, b;
            fmpz_poly_mat_init(a, tables->variable_count, tables->variable_count);
            fmpz_poly_mat_init(b, tables->variable_count, 1);
            pencil.to_integers(a, b);
            exact::shift_frequency(a, b, shift);
            exact::ExactSolution shifted = exact::solve_integer_system(a, b);
            fmpz_poly_mat_clear(a);
            fmpz_poly_mat_clear(b);
            for (std::size_t k = 0; k < shifted.variables.size(); ++k) {
                exact::unshift_frequency(shifted.variables[k].numerator, shifted.variables[k].denominator, shift);
                EXPECT_TRUE(same(reference, shifted, k)) << shift << " " << k + 1;
            }
        }
        // One variable alone, by the sparse method: the same function, the others 0 / 1.
        const int n = tables->variable_count, k = 1 + n / 2;
        tables->wanted = {k};
        exact::ExactSolution alone = exact::solve_exact(*tables, Method::sparse);
        ASSERT_FALSE(alone.singular);
        EXPECT_TRUE(same(reference, alone, static_cast<std::size_t>(k - 1)));
        EXPECT_TRUE(alone.variables[0].numerator.is_zero() || k == 1);
    }
    EXPECT_GE(solved, static_cast<int>(circuits.size()) - 4);
}

TEST(ExactMethods, SingularSystemsAreFoundByEveryMethod) {
    testing::ScratchDir dir;
    // Two floating nodes, and a loop of two voltage sources.
    for (const char* netlist : {"t\nI1 0 1 1 DEGRAU\nC1 1 0 1\nR1 2 3 1\n", "t\nV1 1 0 1 DEGRAU\nV2 1 0 2 DEGRAU\nR1 1 0 1\n"}) {
        auto tables = read(dir, netlist);
        for (Method method : {Method::fraction_free, Method::multimodular, Method::sparse})
            EXPECT_TRUE(exact::solve_exact(*tables, method).singular) << netlist;
    }
    // A floating pair beside a 150-section ladder: proved singular by its kernel vector,
    // where the proof by primes alone takes seconds.
    std::string large = ladder(150, "C") + "C900 n900 n901 1e-9\n";
    EXPECT_TRUE(exact::solve_exact(*read(dir, large), Method::sparse).singular);
}

TEST(ExactMethods, MemoryGuardAndProgress) {
    CLocaleScope c_numbers;
    testing::ScratchDir dir;
    // 300 inverting op-amp stages in SI units: the fraction-free elimination would need
    // far more than the guard; the automatic choice does not.
    std::string cascade = "cascata\nV1 s0 0 1 IMPULSO\n";
    for (int k = 1; k <= 300; ++k) {
        std::string i = std::to_string(k), p = std::to_string(k - 1);
        cascade += "RI" + i + " s" + p + " m" + i + " 10.3e3\nRF" + i + " m" + i + " s" + i + " 47.1e3\nCF" + i + " m" +
                   i + " s" + i + " 33.7e-12\nO" + i + " s" + i + " 0 0 m" + i + "\n";
    }
    auto tables = read(dir, cascade);
    exact::ExactSolution refused = exact::solve_exact(*tables, Method::fraction_free);
    EXPECT_TRUE(refused.too_large);
    EXPECT_GT(refused.estimated_bytes, exact::memory_guard_bytes);
    EXPECT_TRUE(refused.variables.empty());

    // A progress callback that stops at once: cancelled, no variables.
    tables->wanted = {tables->variable_count};
    int calls = 0;
    auto stop = [&](const char* stage, double fraction) {
        ++calls;
        EXPECT_TRUE(stage && *stage);
        EXPECT_TRUE(fraction >= 0 && fraction <= 1);
        return false;
    };
    exact::ExactSolution cancelled = exact::solve_exact(*tables, Method::sparse, stop);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_TRUE(cancelled.variables.empty());
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace quorvat
