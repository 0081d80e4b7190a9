// The elimination solver: the worked example and its listings, the pivot choice, row
// exchanges, the null-column and non-convergence failures and the statistics.
#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/fp_fault.h"
#include "engine/solver.h"
#include "support/fake_host.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

using testing::FakeHost;

using Entry = std::pair<double, double>;  // c0, c1
using Rows = std::vector<std::vector<Entry>>;

// An assembled system given row by row (right-hand side last), ready for the solver.
struct System {
    std::unique_ptr<EngineTables> tables = std::make_unique<EngineTables>();
    FakeHost host;

    explicit System(const Rows& rows) {
        const int n = static_cast<int>(rows.size());
        tables->variable_count = n;
        tables->set_variable_name(0, "0");
        for (int r = 1; r <= n; ++r) {
            tables->set_variable_name(r, std::to_string(r));
            for (int c = 1; c <= n + 1; ++c) {
                tables->stamp[r][c].c0 = rows[r - 1][c - 1].first;
                tables->stamp[r][c].c1 = rows[r - 1][c - 1].second;
                tables->stamp[r][c].degree = 7;  // stale: prepare_system sets it
            }
        }
        tables->arithmetic.coefficient_dispersion = 1e12;
        tables->arithmetic.zero_threshold = 1e-12;
    }

    bool solve() {
        fp_clear();
        prepare_system(*tables);
        return solve_system(*tables, host);
    }
    // The lines logged from the first line equal to from (inclusive) up to the next one
    // that starts with until (exclusive), or to the end.
    std::vector<std::string> section(const std::string& from, const std::string& until) const {
        auto& lines = host.lines;
        auto begin = std::find(lines.begin(), lines.end(), from);
        auto end = begin == lines.end()
                       ? begin
                       : std::find_if(begin + 1, lines.end(), [&](const std::string& l) { return l.rfind(until, 0) == 0; });
        return {begin, end};
    }
    int count_lines(const std::string& prefix) const {
        return static_cast<int>(std::count_if(host.lines.begin(), host.lines.end(),
                                              [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }
    const ResultPolynomial& num(int v) const { return tables->num[v]; }
    const ResultPolynomial& den(int v) const { return tables->den[v]; }
};

const Rows worked_example = {
    {{1, 1}, {-1, 0}, {1, 0}},
    {{-1, 0}, {1, 1}, {0, 0}},
};

void expect_coefficients(const ResultPolynomial& p, const std::vector<double>& c, const char* what) {
    ASSERT_EQ(p.degree, static_cast<int>(c.size()) - 1) << what;
    for (std::size_t i = 0; i < c.size(); ++i) EXPECT_EQ(p.c[i], c[i]) << what << " s^" << i;
    EXPECT_EQ(p.Cte, 1.0) << what;
}

TEST(Solver, WorkedExampleGivesItsTransformsWithFourProductsAndThreeDivisions) {
    System system(worked_example);
    ASSERT_TRUE(system.solve()) << system.host.text();
    expect_coefficients(system.num(1), {1, 1}, "num[1]");
    expect_coefficients(system.den(1), {0, 2, 1}, "den[1]");
    expect_coefficients(system.num(2), {1}, "num[2]");
    expect_coefficients(system.den(2), {0, 2, 1}, "den[2]");
    ASSERT_EQ(system.host.lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(system.host.lines[0], std::regex("Tempo usado: [0-9]+ s")));
    EXPECT_EQ(system.host.lines[1], "Multiplicações de polinômios: 4");
    EXPECT_EQ(system.host.lines[2], "Divisões de polinômios: 3");

    // The counters cover one analysis: a second solution counts afresh.
    system.host.lines.clear();
    ASSERT_TRUE(system.solve());
    EXPECT_EQ(system.host.lines[1], "Multiplicações de polinômios: 4");
    EXPECT_EQ(system.host.lines[2], "Divisões de polinômios: 3");
}

TEST(Solver, PrepareSetsDegreesFromTheSCoefficientAndTheConstants) {
    System system({{{0, 1e-300}, {2, 0}, {1, 0}}, {{1, 0}, {0, -0.0}, {0, 0}}});
    system.tables->num[1].Cte = 5;
    system.tables->den[2].Cte = 0.5;
    prepare_system(*system.tables);
    const auto& stamp = system.tables->stamp;
    EXPECT_EQ(stamp[1][1].degree, 1);  // tiny, but not exactly zero
    EXPECT_EQ(stamp[1][2].degree, 0);
    EXPECT_EQ(stamp[2][2].degree, 0);  // -0.0 is exactly zero
    EXPECT_EQ(system.tables->num[1].Cte, 1.0);
    EXPECT_EQ(system.tables->den[2].Cte, 1.0);
}

TEST(Solver, WorkedExampleListingWithSteps) {
    System system(worked_example);
    system.host.set(AnalysisOption::steps, true);
    ASSERT_TRUE(system.solve());
    EXPECT_TRUE(testing::matches_golden(system.host.text(), "tests/engine/golden/worked_example_steps.txt"));
}

TEST(Solver, CompactListingShowsTheExchangedColumns) {
    System system(worked_example);
    system.host.set(AnalysisOption::list_stamps, true);
    ASSERT_TRUE(system.solve());
    const std::vector<std::string> expected = {
        "Sistema antes do cálculo da variável 1",
        "+0.00s-1.00 +1.00s+1.00 +0.00s+1.00 ",
        "+1.00s+1.00 +0.00s-1.00 ........... ",
        "Sistema antes do cálculo da variável 2",
        "+1.00s+1.00 +0.00s-1.00 +0.00s+1.00 ",
        "+0.00s-1.00 +1.00s+1.00 ........... ",
    };
    EXPECT_EQ(std::vector<std::string>(system.host.lines.begin(), system.host.lines.begin() + 6), expected);
}

TEST(Solver, FinalSystemListingForEachVariable) {
    System system(worked_example);
    system.host.set(AnalysisOption::final_system, true);
    ASSERT_TRUE(system.solve());
    const std::vector<std::string> expected = {
        "Sistema resolvido para a variável 1",
        "- Yn[1,1]=-1.0000 ",
        "  Yn[2,1]=+0.0000 ",
        "- Yn[1,2]=+1.0000s +1.0000 ",
        "  Yn[2,2]=+1.0000s2 +2.0000s +0.0000 ",
        "- Yn[1,3]=+1.0000 ",
        "  Yn[2,3]=+1.0000s +1.0000 ",
    };
    EXPECT_EQ(system.section("Sistema resolvido para a variável 1", "Sistema resolvido"), expected);
    EXPECT_EQ(system.count_lines("Sistema resolvido para a variável "), 2);
    EXPECT_EQ(system.count_lines("Existem "), 0);
}

// The pivot row chosen for the first column of the last variable, whose columns are not
// exchanged.
int first_pivot(const Rows& rows, bool condensation) {
    System system(rows);
    system.host.set(AnalysisOption::steps, true);
    system.host.set(AnalysisOption::pivotal_condensation, condensation);
    EXPECT_TRUE(system.solve()) << system.host.text();
    const std::string last = "Sistema antes da resolução para a variável " + std::to_string(rows.size());
    for (const std::string& line : system.section(last, "Sistema depois")) {
        std::smatch match;
        if (std::regex_match(line, match, std::regex("Usando como pivot a linha ([0-9]+)"))) return std::stoi(match[1]);
    }
    ADD_FAILURE() << "no pivot line";
    return 0;
}

Rows three_rows(Entry first, Entry second, Entry third) {
    return {{first, {1, 0}, {0, 0}, {1, 0}}, {second, {0, 0}, {1, 0}, {0, 0}}, {third, {1, 0}, {1, 0}, {0, 0}}};
}

TEST(PivotChoice, LowestDegreeThenUpperRowOrLargerLeadingMagnitude) {
    // Equal degrees: the upper row, or with condensation the larger leading magnitude.
    Rows larger_below = three_rows({2, 0}, {1, 1}, {-5, 0});
    EXPECT_EQ(first_pivot(larger_below, false), 1);
    EXPECT_EQ(first_pivot(larger_below, true), 3);
    // Equal magnitudes: the upper row in both cases.
    Rows equal = three_rows({2, 0}, {1, 1}, {-2, 0});
    EXPECT_EQ(first_pivot(equal, false), 1);
    EXPECT_EQ(first_pivot(equal, true), 1);
    // A lower degree wins over any magnitude; condensation compares s coefficients at degree 1.
    Rows by_degree = three_rows({3, 10}, {0.5, 0}, {1, 0});
    EXPECT_EQ(first_pivot(by_degree, false), 2);
    EXPECT_EQ(first_pivot(by_degree, true), 3);
    Rows first_order = three_rows({9, 1}, {0, 0}, {1, -4});
    EXPECT_EQ(first_pivot(first_order, false), 1);
    EXPECT_EQ(first_pivot(first_order, true), 3);
    // Entries that test as zero are never the pivot.
    Rows tiny = three_rows({1e-13, 0}, {1, 1}, {0.25, 0});
    EXPECT_EQ(first_pivot(tiny, false), 3);
}

TEST(PivotChoice, CopiedEntriesAreNotTrimmedBeforeTheFirstPass) {
    // 1 + 1e-20 s keeps degree 1, so the constant 5 in the row below is the pivot.
    EXPECT_EQ(first_pivot({{{1, 1e-20}, {1, 0}, {1, 0}}, {{5, 0}, {2, 0}, {0, 0}}}, false), 2);
}

TEST(Solver, SingleNonZeroEntryInALowerRowIsExchangedWithoutDivision) {
    System system({{{0, 0}, {1, 0}, {1, 0}}, {{1, 0}, {1, 0}, {2, 0}}});
    system.host.set(AnalysisOption::steps, true);
    ASSERT_TRUE(system.solve()) << system.host.text();
    std::vector<std::string> v2 = system.section("Sistema antes da resolução para a variável 2", "Sistema resolvido");
    ASSERT_GE(v2.size(), 10u);
    EXPECT_EQ(v2[7], "Existem 1 elementos não nulos na coluna 1");
    EXPECT_EQ(v2[8], "Trocadas as linhas 1 e 2");
    EXPECT_EQ(v2[9], "- Yn[1,1]=+1.0000 ");
    EXPECT_EQ(v2.size(), 8u + 1u + 6u);  // header, listing, count, exchange, listing
    for (const auto& line : v2) EXPECT_EQ(line.find("Reduzindo"), std::string::npos);
    // Variable 1 takes two divisions (a reduction, then the pass on the diagonal); 2 none.
    EXPECT_EQ(system.host.lines.back(), "Divisões de polinômios: 2");
    expect_coefficients(system.num(1), {1}, "num[1]");
    expect_coefficients(system.den(1), {1}, "den[1]");
    expect_coefficients(system.num(2), {1}, "num[2]");
    expect_coefficients(system.den(2), {1}, "den[2]");
}

TEST(Solver, SwapRowsExchangesOnlyTheColumnsFromK) {
    System system({{{1, 0}, {2, 0}, {3, 0}, {4, 0}}, {{5, 0}, {6, 0}, {7, 0}, {8, 0}}, {{9, 0}, {10, 0}, {11, 0}, {12, 0}}});
    EngineTables& t = *system.tables;
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 4; ++c) {
            t.mna[r][c].degree = r == 3 ? 2 : 0;
            for (int i = 0; i <= 2; ++i) t.mna[r][c].c[i] = 100 * r + 10 * c + i;
        }
    swap_rows(t, 2, 3);
    for (int r = 2; r <= 3; ++r) {
        int other = 5 - r;
        EXPECT_EQ(t.mna[r][1].c[0], 100 * r + 10) << "column 1 stays";
        EXPECT_EQ(t.mna[r][1].degree, r == 3 ? 2 : 0);
        for (int c = 2; c <= 4; ++c) {
            EXPECT_EQ(t.mna[r][c].degree, other == 3 ? 2 : 0);
            for (int i = 0; i <= 2; ++i) EXPECT_EQ(t.mna[r][c].c[i], 100 * other + 10 * c + i);
        }
    }
    EXPECT_EQ(t.mna[1][2].c[0], 120);
}

TEST(Solver, OneVariableIsCopiedStraightFromTheSystem) {
    System system({{{4, 2}, {3, 0}}});
    ASSERT_TRUE(system.solve());
    expect_coefficients(system.num(1), {3}, "num[1]");
    expect_coefficients(system.den(1), {4, 2}, "den[1]");
    EXPECT_EQ(system.host.lines[1], "Multiplicações de polinômios: 0");
    EXPECT_EQ(system.host.lines[2], "Divisões de polinômios: 0");
}

TEST(Solver, NullColumnEndsTheSolutionWithoutStatistics) {
    // For variable 1 the first column is the system's column 2, which is empty.
    System system({{{1, 0}, {0, 0}, {1, 0}}, {{2, 0}, {0, 0}, {1, 0}}});
    EXPECT_FALSE(system.solve());
    ASSERT_EQ(system.host.lines.size(), 1u);
    EXPECT_EQ(system.host.lines[0], "Coluna 1 nula encontrada no cálculo da variável 1. Circuito sem solução.");
}

TEST(Solver, SystemSingularOnlyInTheLastColumnIsRefused) {
    System system({{{1, 0}, {1, 0}, {1, 0}}, {{1, 0}, {1, 0}, {2, 0}}});
    EXPECT_FALSE(system.solve());
    ASSERT_EQ(system.host.lines.size(), 1u);
    EXPECT_EQ(system.host.lines[0], "Coluna 2 nula encontrada no cálculo da variável 1. Circuito sem solução.");

    System single({{{1e-13, 0}, {1, 0}}});  // a lone entry below the zero threshold
    EXPECT_FALSE(single.solve());
    EXPECT_EQ(single.host.text(), "Coluna 1 nula encontrada no cálculo da variável 1. Circuito sem solução.\n");
}

TEST(Solver, NegativeZeroThresholdEndsWithoutConvergence) {
    System system(worked_example);
    system.tables->arithmetic.zero_threshold = -1.0;  // every polynomial tests as non-zero
    system.host.set(AnalysisOption::steps, true);
    EXPECT_FALSE(system.solve());
    EXPECT_EQ(system.host.lines.back(), "Eliminação sem convergência na coluna 1 da variável 1.");
    EXPECT_EQ(system.count_lines("Tempo usado"), 0);
    // More passes than exact arithmetic could need (degree 1: three), yet a bounded number.
    int passes = system.count_lines("Reduzindo a coluna 1");
    EXPECT_GT(passes, 3);
    EXPECT_LT(passes, 100);
    EXPECT_EQ(system.tables->arithmetic.division_count, passes);
}

TEST(Solver, RoundingResiduesAtDegreeZeroConvergeWithAZeroThreshold) {
    // 7.6 - (7.6 / 0.1) * 0.1 leaves about 8.9e-16, which counts as non-zero with Z = 0
    // and takes one more pass, whose remainder is exactly zero.
    const Rows rows = {{{0.1, 0}, {1, 0}, {1, 0}}, {{7.6, 0}, {7, 0}, {2, 0}}};
    System exact_enough(rows);
    exact_enough.host.set(AnalysisOption::steps, true);
    ASSERT_TRUE(exact_enough.solve());
    System system(rows);
    system.tables->arithmetic.zero_threshold = 0.0;
    system.host.set(AnalysisOption::steps, true);
    ASSERT_TRUE(system.solve()) << system.host.text();
    EXPECT_EQ(system.count_lines("Reduzindo a coluna 1"), exact_enough.count_lines("Reduzindo a coluna 1") + 1);
    // x1 = (7 - 2) / (0.7 - 7.6) and x2 = (0.2 - 7.6) / (0.7 - 7.6)
    EXPECT_NEAR(system.num(1).c[0] / system.den(1).c[0], 5 / -6.9, 1e-15);
    EXPECT_NEAR(system.num(2).c[0] / system.den(2).c[0], 7.4 / 6.9, 1e-15);
}

TEST(Solver, ResidueStuckAtASubnormalEndsWithoutConvergence) {
    // 3.2 - (3.2 / 6.3) * 6.3 leaves -4.4e-16; every pass shrinks it by about 1e-16 until
    // it is a subnormal whose quotient by 6.3 rounds to 0, so the pass changes nothing.
    // With Z = 0 it stays non-zero for ever.
    System system({{{6.3, 0}, {1, 0}, {1, 0}}, {{3.2, 0}, {7, 0}, {2, 0}}});
    system.tables->arithmetic.zero_threshold = 0.0;
    EXPECT_FALSE(system.solve());
    EXPECT_EQ(system.host.text(), "Eliminação sem convergência na coluna 1 da variável 2.\n");
    // Variable 1 was solved before.
    EXPECT_EQ(system.num(1).degree, 0);
    EXPECT_NEAR(system.num(1).c[0] / system.den(1).c[0], 5 / 40.9, 1e-15);
}

TEST(Solver, ZeroDispersionFaultsAtTheFirstTrim) {
    System system(worked_example);
    system.tables->arithmetic.coefficient_dispersion = 0.0;
    EXPECT_THROW(system.solve(), FloatingPointFault);
    EXPECT_TRUE(system.host.lines.empty());
    fp_clear();
}

}  // namespace
}  // namespace quorvat
