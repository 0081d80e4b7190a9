// Circuits beyond the elimination's tables in exact mode: RC ladders against their
// closed form, random circuits against the direct complex solution, the frequency scale.
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include <flint/fmpz_poly.h>
#include <gtest/gtest.h>

#include "engine/analysis_run.h"
#include "engine/c_locale.h"
#include "engine/fp_fault.h"
#include "engine/scanner.h"
#include "exact/exact_reference.h"
#include "exact/exact_solver.h"
#include "exact/flint_handles.h"
#include "numeric/verification.h"
#include "support/fake_host.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

using testing::FakeHost;
using testing::ScratchDir;

struct ExactRun {
    std::unique_ptr<EngineTables> tables = std::make_unique<EngineTables>();
    FakeHost host;
    exact::ExactReference exact;
    bool ok = false;

    ExactRun(const ScratchDir& dir, const std::string& netlist, std::vector<int32_t> wanted = {}, double scale = 1.0) {
        host.file_name = dir.write("big.net", netlist);
        host.options.insert(AnalysisOption::exact);
        host.wanted = std::move(wanted);
        host.scale = scale;
        fp_clear();
        ok = run_analysis(*tables, host, nullptr, &exact);
    }
};

// n sections of a series resistor R and a shunt capacitor C after a unit step source.
std::string rc_ladder(int n, const char* r, const char* c) {
    std::string text = "Escada RC\nV1 1 0 1 D\n";
    for (int i = 1; i <= n; ++i) {
        text += "R" + std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(i + 1) + " " + r + "\n";
        text += "C" + std::to_string(i) + " " + std::to_string(i + 1) + " 0 " + c + "\n";
    }
    return text;
}

// With R = C = 1 the open ladder's output is 1 / A_n(s), A_n the first entry of the
// chain matrix [[1 + s, 1], [s, 1]]^n; the step makes it 1 / (s A_n(s)).
exact::IntPoly chain_a(int n) {
    exact::IntPoly a, b, c, d, t;
    fmpz_poly_one(a.get());
    fmpz_poly_one(d.get());
    exact::IntPoly one_plus_s, s;
    fmpz_poly_set_coeff_si(one_plus_s.get(), 0, 1);
    fmpz_poly_set_coeff_si(one_plus_s.get(), 1, 1);
    fmpz_poly_set_coeff_si(s.get(), 1, 1);
    for (int k = 0; k < n; ++k) {
        exact::IntPoly na, nb;
        fmpz_poly_mul(na.get(), a.get(), one_plus_s.get());
        fmpz_poly_mul(t.get(), b.get(), s.get());
        fmpz_poly_add(na.get(), na.get(), t.get());
        fmpz_poly_add(nb.get(), a.get(), b.get());
        a = na;
        b = nb;
    }
    return a;
}

TEST(LargeCircuits, LaddersMatchTheirClosedForm) {
    ScratchDir dir;
    for (int n : {100, 400}) {
        SCOPED_TRACE(n);
        ExactRun run(dir, rc_ladder(n, "1", "1"), {n + 1});
        ASSERT_TRUE(run.ok) << run.host.text();
        ASSERT_EQ(run.tables->solved, std::vector<int32_t>{n + 1});
        exact::RationalFunction expected;
        fmpz_poly_one(expected.numerator.get());
        fmpz_poly_shift_left(expected.denominator.get(), chain_a(n).get(), 1);
        WidePolynomial num, den;
        ASSERT_TRUE(exact::to_result_polynomials(expected, num, den));
        EXPECT_EQ(run.tables->exact_den[n + 1].c, den.c);
        EXPECT_EQ(run.tables->exact_num[n + 1].c, num.c);
        EXPECT_EQ(run.tables->exact_num[n + 1].Cte, num.Cte);
        // Only the wanted variable is written, with 17 significant digits.
        std::string file = testing::read_file(dir.file("big.d" + std::to_string(n + 1)));
        EXPECT_NE(file.find(format_exact_coefficient(den.c[1])), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir.file("big.n1")));
    }
}

// Random RLC networks with controlled sources, every variable checked against the
// direct solution (dense or sparse LU) of the same system at the test frequencies.
TEST(LargeCircuits, RandomCircuitsAgreeWithTheDirectSolution) {
    ScratchDir dir;
    std::mt19937 random(7);
    for (int nodes : {30, 80, 140}) {
        SCOPED_TRACE(nodes);
        std::uniform_int_distribution<int> node(0, nodes), kind(0, 9);
        std::uniform_real_distribution<double> mantissa(1.0, 10.0);
        std::string text = "Aleatorio\nV1 1 0 1 D\n";
        for (int i = 1; i < nodes; ++i)  // a spanning path keeps every node connected
            text += "R" + std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(i + 1) + " 1e3\n";
        for (int i = 0; i < 2 * nodes; ++i) {
            int a = node(random), b = node(random);
            if (a == b) continue;
            char buffer[120];
            CLocaleScope c_numbers;  // a netlist's numbers, whatever the test's locale
            const char* letter = "RRRRCCCLGE";
            char k = letter[kind(random)];
            double value = mantissa(random) * (k == 'R' ? 1e3 : k == 'C' ? 1e-9 : k == 'L' ? 1e-3 : k == 'G' ? 1e-4 : 1.0);
            if (k == 'G' || k == 'E')
                std::snprintf(buffer, sizeof buffer, "%c%d %d %d %d %d %.3g\n", k, i, a, b, node(random), node(random),
                              value);
            else
                std::snprintf(buffer, sizeof buffer, "%c%d %d %d %.3g\n", k, i + 1000, a, b, value);
            text += buffer;
        }
        ExactRun run(dir, text);
        if (!run.ok) {  // a random circuit may be singular, or beyond doubles without a scale: it must say so
            std::string log = run.host.text();
            EXPECT_TRUE(log.find("singular") != std::string::npos || log.find("--escala") != std::string::npos)
                << log.substr(log.size() > 300 ? log.size() - 300 : 0);
            continue;
        }
        VerificationReport report = verify_results(*run.tables);
        ASSERT_FALSE(report.frequencies.empty());
        for (const VariableCheck& v : report.variables) EXPECT_LT(v.error, 1e-8) << v.name;
    }
}

TEST(LargeCircuits, ScaleRefusedThenApplied) {
    ScratchDir dir;
    // Poles near 1e12 rad/s: the monic denominator's low coefficients reach 1e360.
    std::string ladder = rc_ladder(30, "1", "1e-12");
    ExactRun refused(dir, ladder, {31});
    EXPECT_FALSE(refused.ok);
    std::string log = refused.host.text();
    std::size_t at = log.find("--escala 1e");
    ASSERT_NE(at, std::string::npos) << log;
    double w = lenient_to_double(log.substr(at + 9, log.find(',', at) - at - 9));
    EXPECT_FALSE(std::filesystem::exists(dir.file("big.n31")));

    ExactRun scaled(dir, ladder, {31}, w);
    ASSERT_TRUE(scaled.ok) << scaled.host.text();
    EXPECT_NE(testing::read_file(dir.file("big.n31")).find("escala "), std::string::npos);
    // The scaled transform X(w s') has the poles of X(s) divided by w: with R C = 1e-12
    // they lie within (0, 4e12] rad/s, so within (0, 4e12 / w] after the scale.
    const WidePolynomial& den = scaled.tables->exact_den[31];
    double sum_of_moduli = den.c[den.degree() - 1];  // Vieta: minus the sum of the (negative) poles
    EXPECT_GT(sum_of_moduli, 0.0);
    EXPECT_LT(sum_of_moduli, 30 * 4e12 / w);
}

}  // namespace
}  // namespace quorvat
