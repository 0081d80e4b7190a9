// The exact solver against known solutions and against the complex LU on random
// circuits, and the three outcomes of a run that has it as its reference.
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "engine/analysis_run.h"
#include "engine/c_locale.h"
#include "engine/fp_fault.h"
#include "exact/exact_reference.h"
#include "exact/exact_solver.h"
#include "numeric/verification.h"
#include "support/fake_host.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

using testing::FakeHost;
using testing::ScratchDir;

struct Analysis {
    std::unique_ptr<EngineTables> tables = std::make_unique<EngineTables>();
    FakeHost host;
    exact::ExactReference exact;
    NumericalVerification verification;
    bool ok = false;

    Analysis(const ScratchDir& dir, const std::string& netlist, bool exact_only = false) {
        host.file_name = dir.write("c.net", netlist);
        if (exact_only) host.options.insert(AnalysisOption::exact);
        fp_clear();
        ok = run_analysis(*tables, host, &verification, &exact);
    }
    bool logged(const std::string& line) const {
        return std::find(host.lines.begin(), host.lines.end(), line) != host.lines.end();
    }
    bool logged_prefix(const std::string& prefix) const {
        return std::any_of(host.lines.begin(), host.lines.end(),
                           [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    // The largest error of the results against the complex LU of the double system.
    double error_against_lu() const {
        EngineTables copy = *tables;
        copy.exact_available = false;
        double worst = 0;
        VerificationReport report = verify_results(copy);
        for (const auto& v : report.variables) worst = std::max(worst, v.error);
        return report.frequencies.empty() ? INFINITY : worst;
    }
};

std::vector<double> coefficients(const ResultPolynomial& p) { return {p.c, p.c + p.degree + 1}; }

TEST(ExactSolver, KnownSolutions) {
    ScratchDir dir;
    // The worked example: (s + 1)/(s^3 + 2 s^2) and 1/(s^3 + 2 s^2).
    Analysis worked(dir, "t\nI1 0 1 1 DEGRAU\nR1 1 2 1\nC1 1 0 1\nC2 2 0 1\n", true);
    ASSERT_TRUE(worked.ok) << worked.host.text();
    EXPECT_EQ(coefficients(worked.tables->num[1]), (std::vector<double>{1, 1}));
    EXPECT_EQ(coefficients(worked.tables->den[1]), (std::vector<double>{0, 0, 2, 1}));
    EXPECT_EQ(coefficients(worked.tables->num[2]), (std::vector<double>{1}));
    EXPECT_EQ(worked.tables->num[2].Cte, 1.0);

    // A divider of 1 and 2 ohms under a unit step: V2 = (2/3)/s, every number the
    // double nearest to its exact value; the common factor is cancelled.
    Analysis divider(dir, "t\nV1 1 0 1 DEGRAU\nR1 1 2 1\nR2 2 0 2\n", true);
    ASSERT_TRUE(divider.ok) << divider.host.text();
    EXPECT_EQ(divider.tables->num[2].Cte, 2.0 / 3.0);
    EXPECT_EQ(coefficients(divider.tables->den[2]), (std::vector<double>{0, 1}));
    EXPECT_EQ(divider.tables->num[3].Cte, -1.0 / 3.0);  // the source's current jV1

    // A node with no excitation is identically zero: 0 over 1.
    Analysis zero(dir, "t\nI1 0 1 1 IMPULSO\nR1 1 0 1\nR2 2 0 1\n", true);
    ASSERT_TRUE(zero.ok);
    EXPECT_EQ(coefficients(zero.tables->num[2]), (std::vector<double>{0}));
    EXPECT_EQ(coefficients(zero.tables->den[2]), (std::vector<double>{1}));

    // Two floating nodes: singular in exact arithmetic, never "solved".
    Analysis singular(dir, "t\nI1 0 1 1 DEGRAU\nC1 1 0 1\nR1 2 3 1\n", true);
    EXPECT_FALSE(singular.ok);
    EXPECT_TRUE(singular.logged("O sistema é singular em aritmética exata. Circuito sem solução."));
    EXPECT_EQ(singular.host.lines.back(), "Cálculo interrompido.");

    // A resistor of 0 ohms is the floating-point stamp's division by zero, never an abort.
    auto zero_ohms = std::make_unique<EngineTables>();
    zero_ohms->variable_count = 1;
    zero_ohms->element_count = 1;
    zero_ohms->elements[1] = ElementRecord{"R1", 0.0, 0.0, 1, 0, 0, 0, 0, 0};
    EXPECT_THROW(exact::solve_exact(*zero_ohms), FloatingPointFault);

    // A transformer: the mutual inductance as the reader computes it.
    Analysis transformer(dir, testing::read_file(testing::source_path("examples/transformador.net")), true);
    ASSERT_TRUE(transformer.ok);
    EXPECT_LT(transformer.error_against_lu(), 1e-12);
}

// Random circuits of every element kind, 1 to 25 variables, values near 1: both exact
// methods agree, and the results agree with the complex LU of the same system.
TEST(ExactSolver, AgreesWithTheComplexLUOnRandomCircuits) {
    CLocaleScope c_numbers;  // the netlists are written with full stops
    ScratchDir dir;
    std::mt19937 random(2026);
    int solved = 0;
    for (int circuit = 0; circuit < 200; ++circuit) {
        int nodes = 1 + circuit % 14;
        std::uniform_int_distribution<int> node(0, nodes);
        auto value = [&] { return std::uniform_real_distribution<>(0.2, 5.0)(random); };
        std::string text = "aleatorio\nI1 0 1 1 DEGRAU\nV1 2 0 1 IMPULSO\n";
        char line[160];
        for (int i = 1; i <= nodes; ++i) {
            std::snprintf(line, sizeof line, "R%d %d 0 %.17g\n", i, i, value());
            text += line;
        }
        int elements = 2 + circuit % 9;
        for (int i = 0; i < elements; ++i) {
            int a = node(random), b = node(random), c = node(random), d = node(random);
            const char kinds[] = "RCLGEFHO";
            char kind = kinds[random() % 8];
            if (kind == 'R' || kind == 'C' || kind == 'L')
                std::snprintf(line, sizeof line, "%c%d %d %d %.17g\n", kind, 50 + i, a, b, value());
            else if (kind == 'O')
                std::snprintf(line, sizeof line, "O%d %d 0 %d %d\n", 50 + i, a, c, d);
            else
                std::snprintf(line, sizeof line, "%c%d %d %d %d %d %.17g\n", kind, 50 + i, a, b, c, d, value());
            text += line;
        }
        if (circuit % 5 == 0) text += "L90 1 0 0.5 IC=0.25\nL91 2 0 2\nK1 L90 L91 0.4\n";
        Analysis run(dir, text, true);
        if (run.tables->variable_count > max_variables || !run.host.pauses) continue;
        SCOPED_TRACE(text);
        // The fraction-free and the multimodular solutions agree exactly.
        exact::ExactSolution by_elimination = exact::solve_exact(*run.tables, exact::Method::fraction_free);
        exact::ExactSolution by_primes = exact::solve_exact(*run.tables, exact::Method::multimodular);
        ASSERT_EQ(by_elimination.singular, by_primes.singular);
        EXPECT_EQ(!run.ok, by_elimination.singular);
        if (!run.ok) continue;
        for (std::size_t k = 0; k < by_primes.variables.size(); ++k) {
            EXPECT_TRUE(fmpz_poly_equal(by_elimination.variables[k].numerator.get(), by_primes.variables[k].numerator.get()));
            EXPECT_TRUE(fmpz_poly_equal(by_elimination.variables[k].denominator.get(), by_primes.variables[k].denominator.get()));
        }
        ++solved;
        EXPECT_LT(run.error_against_lu(), 1e-8);
    }
    EXPECT_GE(solved, 50);
}

const char* const order_25_ladder = "examples/butterworth25.net";
const char* const active_cascade = "examples/cascata8_si.net";

TEST(ExactReference, TheRunKeepsRecomputesOrReplaces) {
    ScratchDir dir;
    // Kept: the elimination is right, and the log is the one without the exact solver.
    const std::string worked = "t\nI1 0 1 1 DEGRAU\nR1 1 2 1\nC1 1 0 1\nC2 2 0 1\n";
    Analysis kept(dir, worked);
    FakeHost plain;
    plain.file_name = kept.host.file_name;
    auto tables = std::make_unique<EngineTables>();
    ASSERT_TRUE(run_analysis(*tables, plain));
    EXPECT_EQ(kept.host.lines, plain.lines);
    EXPECT_FALSE(kept.tables->results_exact);

    // Recomputed after a failure: a null column in a regular system.
    Analysis failed(dir, testing::read_file(testing::source_path(order_25_ladder)));
    ASSERT_TRUE(failed.ok) << failed.host.text();
    EXPECT_TRUE(failed.logged_prefix("Coluna "));
    EXPECT_TRUE(failed.logged(
        "A eliminação em ponto flutuante falhou; o sistema tem solução e foi resolvido em aritmética exata."));
    EXPECT_FALSE(failed.logged("Cálculo interrompido."));
    EXPECT_EQ(failed.tables->den[13].degree, 25);
    // The elimination's line ends before "Circuito sem solução.": the system has one.
    auto repaired = std::find(failed.host.lines.begin(), failed.host.lines.end(),
                              "A eliminação em ponto flutuante falhou; o sistema tem solução e foi resolvido em "
                              "aritmética exata.");
    ASSERT_NE(repaired, failed.host.lines.begin());
    EXPECT_EQ(repaired[-1].rfind("Coluna ", 0), 0u) << repaired[-1];
    EXPECT_EQ(repaired[-1].find("sem solução"), std::string::npos) << repaired[-1];
    EXPECT_EQ(repaired[-1].back(), '.');
    // A system singular in exact arithmetic keeps the whole line, and nothing follows it.
    Analysis singular(dir, "t\nV1 1 0 1 DEGRAU\nV2 1 0 2 DEGRAU\n");
    ASSERT_FALSE(singular.ok);
    EXPECT_TRUE(singular.logged("Coluna 2 nula encontrada no cálculo da variável 1. Circuito sem solução."))
        << singular.host.text();
    EXPECT_FALSE(singular.logged_prefix("A eliminação em ponto flutuante falhou"));

    // Recomputed after an imprecise result, before any listing and file.
    Analysis imprecise(dir, testing::read_file(testing::source_path(active_cascade)));
    ASSERT_TRUE(imprecise.ok);
    EXPECT_TRUE(imprecise.logged_prefix("A eliminação em ponto flutuante ficou imprecisa (erro relativo "));
    EXPECT_TRUE(imprecise.tables->results_exact);
    EXPECT_FALSE(imprecise.logged_prefix("Aviso:"));

    // Exact on request: no elimination statistics.
    Analysis requested(dir, worked, true);
    ASSERT_TRUE(requested.ok);
    EXPECT_TRUE(requested.logged("Cálculo em aritmética exata."));
    EXPECT_FALSE(requested.logged_prefix("Multiplicações"));

    // A variable 1e12 times smaller than another is right, not taken for zero.
    Analysis small(dir, "t\nL1 0 1 5e-11 IC=1\nI1 0 1 2e+06 DEGRAU\n");
    ASSERT_TRUE(small.ok);
    EXPECT_FALSE(small.logged_prefix("Aviso:")) << small.host.text();
}

}  // namespace
}  // namespace quorvat
