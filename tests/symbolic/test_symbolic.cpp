// quorvat-cli simbolico: closed forms derived by hand, the check against the exact
// solution on every example and on random circuits, the mixed mode, the size limit and
// the simplification.
#include <filesystem>
#include <map>
#include <cmath>
#include <complex>
#include <numbers>
#include <optional>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "engine/c_locale.h"
#include "engine/fp_fault.h"
#include "engine/scanner.h"
#include "exact/exact_solver.h"
#include "symbolic/dominant_terms.h"
#include "symbolic/element_expansion.h"
#include "symbolic/graph_values.h"
#include "symbolic/nested_solver.h"
#include "symbolic/simplified_ratio.h"
#include "symbolic/substitution.h"
#include "symbolic/symbolic_solver.h"
#include "symbolic_testing.h"

namespace quorvat {
namespace {

using testing::run_symbolic;

TEST(Symbolic, ClosedFormsDerivedByHand) {
    struct Case {
        const char* what;
        const char* netlist;
        const char* variable;
        const char* expected;
    } cases[] = {
        {"divisor resistivo", "t\nV1 in 0 1 IMPULSO\nR1 in out 1000\nR2 out 0 1000\n", "2",
         "V(out) = N(s)/D(s)   (variável 2)\n  N(s) = V1*R2\n  D(s) = R1 + R2\n"},
        {"exemplo do programa", "t\nI1 0 1 1 DEGRAU\nR1 1 2 1\nC1 1 0 1\nC2 2 0 1\n", "2",
         "V(2) = N(s)/D(s)   (variável 2)\n  N(s) = I1\n  D(s) = R1*C1*C2*s^3\n       + (C1 + C2)*s^2\n"},
        {"RLC série com degrau", "t\nV1 1 0 1 DEGRAU\nR1 1 2 1\nL1 2 3 1\nC1 3 0 1\n", "3",
         "V(3) = N(s)/D(s)   (variável 3)\n  N(s) = V1\n  D(s) = L1*C1*s^3\n       + R1*C1*s^2\n       + s\n"},
        {"inversor ideal", "t\nV1 in 0 1 IMPULSO\nR1 in n 1000\nR2 n out 10000\nO1 out 0 0 n\n", "3",
         "V(out) = N(s)/D(s)   (variável 3)\n  N(s) = -V1*R2\n  D(s) = R1\n"},
        {"transformador", "t\nV1 in 0 1 IMPULSO\nR1 in 1 1\nL1 1 0 1\nL2 2 0 4\nRL 2 0 4\nK1 L1 L2 0.9\n", "3",
         "V(2) = N(s)/D(s)   (variável 3)\n  N(s) = V1*RL*M_K1*s\n  D(s) = (L1*L2 - M_K1^2)*s^2\n"
         "       + (R1*L2 + L1*RL)*s\n       + R1*RL\n"},
        {"Sallen-Key", "t\nV1 in 0 1 IMPULSO\nR1 in a 1\nR2 a b 1\nC1 a out 1.41421356\nC2 b 0 0.70710678\n"
                       "O1 out 0 b out\n", "4",
         "V(out) = N(s)/D(s)   (variável 4)\n  N(s) = V1\n  D(s) = R1*R2*C1*C2*s^2\n       + (R1*C2 + R2*C2)*s\n"
         "       + 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::CommandRun run = run_symbolic({"--variaveis", c.variable}, c.netlist);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(c.expected), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("\nverificado\n"), std::string::npos);
    }
}

TEST(Symbolic, EveryExampleIsVerifiedFlatOrRefusedAndNested) {
    namespace fs = std::filesystem;
    int examples = 0;
    for (const auto& entry : fs::directory_iterator(testing::source_path("examples"))) {
        if (entry.path().extension() != ".net") continue;
        ++examples;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string netlist = testing::read_file(entry.path().string());
        // The nested form of every variable, checked against the exact system.
        testing::CommandRun nested = run_symbolic({"--aninhado"}, netlist);
        EXPECT_EQ(nested.status, 0) << nested.err;
        EXPECT_NE(nested.out.find("\nverificado\n"), std::string::npos);
        // The 25-variable circuits and the op-amp model have billions of terms flat:
        // stopped by the limit, and with two symbols the same circuit goes through.
        static const std::map<std::string, std::vector<std::string>> too_large = {
            {"ladder25.net", {"--simbolos", "R1,C23", "--variaveis", "24"}},
            {"butterworth25.net", {"--simbolos", "RS,RL", "--variaveis", "13"}},
            {"amp_op_24t.net", {"--simbolos", "RF,RG", "--variaveis", "17"}},
            {"amp_op_bipolar24.net", {"--simbolos", "GM1,CC", "--variaveis", "18"}},
        };
        auto large = too_large.find(entry.path().filename().string());
        testing::CommandRun run = run_symbolic({"--formato", "json"}, netlist);
        if (large != too_large.end()) {
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err.rfind("Expressão simbólica grande demais (mais de ", 0), 0u) << run.err;
            EXPECT_NE(run.err.find(" termos); use --numericos ou --simbolos, --aninhado ou --aproximar\n"),
                      std::string::npos)
                << run.err;
            EXPECT_EQ(run.out, "");
            std::vector<std::string> options = large->second;
            options.insert(options.end(), {"--formato", "json"});
            run = run_symbolic(options, netlist);
        }
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "verificado\n");
    }
    EXPECT_GE(examples, 15);
}

// A ladder of 41 variables: beyond the elimination's tables and beyond 32 rows, read
// and solved flat with two symbols and nested with all of them.
TEST(Symbolic, CircuitsOfAnySizeAreRead) {
    std::string netlist = "escada\nV1 in 0 1 IMPULSO\n", previous = "in";
    for (int k = 1; k <= 40; ++k) {
        netlist += "R" + std::to_string(k) + " " + previous + " n" + std::to_string(k) + " " + std::to_string(1000 * (1 + k % 3)) + "\n";
        netlist += "C" + std::to_string(k) + " n" + std::to_string(k) + " 0 " + std::to_string(1 + k % 5) + "e-9\n";
        previous = "n" + std::to_string(k);
    }
    for (const auto& options : {std::vector<std::string>{"--simbolos", "R1,C40", "--variaveis", "41"},
                                std::vector<std::string>{"--aninhado", "--variaveis", "41"}}) {
        testing::CommandRun run = run_symbolic(options, netlist);
        EXPECT_EQ(run.status, 0) << options[0] << run.err;
        EXPECT_NE(run.out.find("\nverificado\n"), std::string::npos) << options[0];
    }
}

TEST(Symbolic, AChangedResultFailsTheCheck) {
    auto tables = testing::read_tables(testing::read_file(testing::source_path("examples/sallen_key.net")));
    symbolic::SymbolicResult result = symbolic::solve_symbolic(*tables, {}, {4});
    exact::ExactSolution exact = exact::solve_exact(*tables);
    ASSERT_EQ(result.functions.size(), 1u);
    symbolic::SymbolicFunction& f = result.functions[0];
    EXPECT_TRUE(symbolic::agrees_with_exact(f, result.symbols, exact.variables[3]));
    // One unit more in the last coefficient of the denominator.
    fmpz_mpoly_add_ui(f.denominator.get(), f.denominator.get(), 1, f.denominator.ctx());
    EXPECT_FALSE(symbolic::agrees_with_exact(f, result.symbols, exact.variables[3]));
    // The right function at the wrong variable.
    EXPECT_FALSE(symbolic::agrees_with_exact(result.functions[0], result.symbols, exact.variables[1]));
}

TEST(Symbolic, MixedSymbolicAndNumericElements) {
    const std::string sallen_key = testing::read_file(testing::source_path("examples/sallen_key.net"));
    const std::string expected = "  N(s) = 1\n  D(s) = C1*C2*s^2\n       + 2*C2*s\n       + 1\n";
    for (const auto& options : {std::vector<std::string>{"--numericos", "R1,R2,v1"},
                                std::vector<std::string>{"--simbolos", "C1,C2"}}) {
        testing::CommandRun run = run_symbolic({options[0], options[1], "--variaveis", "4"}, sallen_key);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("Símbolos: C1 C2\n"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(expected), std::string::npos) << run.out;
    }
    // A numeric capacitor of 1 uF: its exact binary fraction, and the DC term kept at 1.
    testing::CommandRun rc = run_symbolic({"--numericos", "C1", "--variaveis", "2"},
                                          testing::read_file(testing::source_path("examples/rc_passa_baixa.net")));
    EXPECT_EQ(rc.status, 0) << rc.err;
    EXPECT_NE(rc.out.find("  D(s) = 4722366482869645/4722366482869645213696*R1*s\n       + 1\n"), std::string::npos)
        << rc.out;

    struct Misuse {
        std::vector<std::string> options;
        int status;
        const char* message;
    } misuses[] = {
        {{"--numericos", "R1", "--simbolos", "C1"}, 2, "não podem ser usados juntos"},
        {{"--numericos", "R9"}, 2, "elemento sem valor ou inexistente: R9"},
        {{"--simbolos", "O1"}, 2, "elemento sem valor ou inexistente: O1"},
        {{"--variaveis", "7"}, 2, "a variável 7 não existe (o circuito tem 6)"},
        {{"--aproximar", "1"}, 2, "valor inválido de --aproximar"},
        {{"--formato", "xml"}, 2, "valor inválido de --formato"},
    };
    for (const Misuse& m : misuses) {
        testing::CommandRun run = run_symbolic(m.options, sallen_key);
        EXPECT_EQ(run.status, m.status) << m.message;
        EXPECT_NE(run.err.find(m.message), std::string::npos) << run.err;
    }
    testing::CommandRun zero = run_symbolic({}, "t\nV1 1 0 1 DEGRAU\nR1 1 0 0\n");
    EXPECT_EQ(zero.status, 3) << zero.err;
    testing::CommandRun bad = run_symbolic({}, "t\nX1 1 0 1\n");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Elemento desconhecido: X1"), std::string::npos) << bad.err;
}

// Random small circuits of every element kind, some elements numeric: each result is
// verified, or the circuit has no solution.
TEST(Symbolic, RandomCircuitsAreVerified) {
    std::mt19937 random(12);
    const char* nodes[] = {"0", "a", "b", "c", "d"};
    auto node = [&] { return std::string(nodes[random() % 5]); };
    auto value = [&] { return std::to_string(1 + random() % 9) + (random() % 2 ? ".5" : ""); };
    int verified = 0;
    for (int circuit = 0; circuit < 60; ++circuit) {
        std::string netlist = "aleatorio\nV1 a 0 1 IMPULSO\nI1 0 b 2 DEGRAU\n";
        std::vector<std::string> names = {"V1", "I1"};
        int inductors = 0;
        for (int e = 1; e <= 7; ++e) {
            const char kind = "RRRRRCCCLLGEFHO"[random() % 15];
            std::string name = std::string(1, kind) + std::to_string(e);
            std::string line = name + " " + node() + " " + node();
            if (std::string("GEFHO").find(kind) != std::string::npos) line += " " + node() + " " + node();
            if (kind != 'O') line += " " + value();
            if ((kind == 'C' || kind == 'L') && random() % 2) line += " IC=0.25";
            netlist += line + "\n";
            names.push_back(name);
            if (kind == 'L' && ++inductors == 2) netlist += "K9 " + names[names.size() - 1] + " " + names.back() + " 0.5\n";
        }
        std::vector<std::string> options;
        const std::string& numeric = names[2 + random() % 7];
        if (random() % 2 && numeric[0] != 'O') options = {"--numericos", numeric};
        SCOPED_TRACE(netlist);
        testing::CommandRun run = run_symbolic(options, netlist);
        if (run.status == 0) {
            ++verified;
            EXPECT_NE(run.out.find("\nverificado\n"), std::string::npos);
        } else {
            // No solution (singular for every value, or at the netlist's values only).
            EXPECT_TRUE(run.status == 1 || run.status == 4) << run.err;
            EXPECT_NE(run.err.find("singular"), std::string::npos) << run.err;
        }
    }
    EXPECT_GE(verified, 20);
}

TEST(Symbolic, DominantTermsKeepTheLargestWithinTheTolerance) {
    // R2 is a thousandth of R1: within 1 % the denominator's s^1 coefficient R1 + R2
    // becomes R1, with an error of R2 / (R1 + R2).
    testing::CommandRun run =
        run_symbolic({"--aproximar", "0.01", "--variaveis", "2"}, "t\nV1 in 0 1 DEGRAU\nR1 in out 1000\nR2 out 0 1\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  N(s) = V1*R2\n  D(s) = R1*s\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("    D(s) s^1: 1 termo, erro 9.99e-04\n"), std::string::npos) << run.out;
    // A zero tolerance keeps everything.
    run = run_symbolic({"--aproximar", "0", "--variaveis", "2", "--formato", "latex"},
                       "t\nV1 in 0 1 DEGRAU\nR1 in out 1000\nR2 out 0 1\n");
    EXPECT_NE(run.err.find("    D(s) s^1: 2 termos, erro 0.00e+00\n"), std::string::npos) << run.err;
    // Poles of a ladder whose sections differ by a factor of 100: p = -a0/a1 within 2 %.
    run = run_symbolic({"--polos", "--variaveis", "3"},
                       "t\nV1 in 0 1 IMPULSO\nR1 in a 1000\nC1 a 0 1e-6\nR2 a b 100000\nC2 b 0 1e-9\n");
    EXPECT_EQ(run.status, 0) << run.err;
    // Each pole written as a ratio with its common factors cancelled.
    EXPECT_NE(run.out.find("  p2 = -1/(R2*C2)\n"), std::string::npos) << run.out;
    const std::size_t pole = run.out.find("  p1 = -1/(R1*C1)\n");
    ASSERT_NE(pole, std::string::npos) << run.out;
    const std::size_t difference = run.out.find("diferença relativa ", pole);
    ASSERT_NE(difference, std::string::npos);
    EXPECT_LT(lenient_to_double(run.out.substr(difference + 20, 8)), 0.02) << run.out.substr(pole, 200);

    // --ganho-polo: the divider's final value without R2 below, the ladder's pole as the
    // sum of its two time constants.
    run = run_symbolic({"--ganho-polo", "--variaveis", "2"}, "t\nV1 in 0 1 DEGRAU\nR1 in out 1000\nR2 out 0 1\n");
    EXPECT_NE(run.out.find("    Valor final, s*X(s) em s -> 0, simplificado elemento a elemento: V1*R2/R1\n"
                           "      = 0.001; 1 e 1 termos, erro 1.00e-03\n"),
              std::string::npos)
        << run.out;
    run = run_symbolic({"--ganho-polo", "--aproximar", "0.05", "--variaveis", "3"},
                       "t\nV1 in 0 1 IMPULSO\nR1 in a 1000\nC1 a 0 1e-6\nR2 a b 100000\nC2 b 0 1e-9\n");
    EXPECT_NE(run.out.find("    Polo dominante -a0/a1, simplificado elemento a elemento: -1/(R1*C1 + R2*C2)\n"),
              std::string::npos)
        << run.out;
    // An inverting amplifier: a negative gain's sign written once; each variable its own.
    run = run_symbolic({"--ganho-polo", "--variaveis", "1,3"}, "t\nV1 in 0 1 IMPULSO\nR1 in n 1000\nR2 n out 10000\nO1 out 0 0 n\n");
    EXPECT_NE(run.out.find("simplificado elemento a elemento: V1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("simplificado elemento a elemento: -V1*R2/R1\n"), std::string::npos) << run.out;
    // Matched elements written as one, as designers do: two equal resistors in parallel.
    const std::string parallel = "t\nV1 in 0 1 IMPULSO\nR1 in out 1000\nR2 in out 1000\nR3 out 0 1000\nC1 out 0 1e-6\n";
    run = run_symbolic({"--ganho-polo", "--variaveis", "2", "--iguais", "R1=R2"}, parallel);
    EXPECT_NE(run.out.find("elemento a elemento: 2*V1*R3/(R1 + 2*R3)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("elemento a elemento: -(R1 + 2*R3)/(R1*R3*C1)\n"), std::string::npos) << run.out;
    // Without --iguais, the equal elements the formulas hold are pointed out, all three.
    run = run_symbolic({"--ganho-polo", "--variaveis", "2"}, parallel);
    EXPECT_NE(run.out.find("como um só): R1, R2, R3\n"), std::string::npos) << run.out;
    for (const char* wrong : {"R1=R2=C1", "R1=R4", "R1=R2,R2=R3"}) {
        run = run_symbolic({"--ganho-polo", "--iguais", wrong}, parallel + "R4 out 0 2000\n");
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_NE(run.err.find("--iguais: "), std::string::npos) << run.err;
    }

    // The 24-transistor op-amp: its coefficients are sums of thousands of like terms, but
    // the gain and the dominant pole simplify, element by element, to short formulas.
    auto opamp = testing::read_tables(testing::read_file(testing::source_path("examples/amp_op_bipolar24.net")));
    symbolic::NestedResult graph = symbolic::solve_nested(*opamp, {}, {23}, symbolic::NumeratorForm::chained);
    ASSERT_EQ(graph.status, symbolic::NestedResult::Status::solved);
    std::vector<exact::Rational> values(graph.symbols.symbols.size());
    for (std::size_t i = 0; i < values.size(); ++i) symbolic::symbol_value(graph.symbols, i, values[i].get());
    const symbolic::GainAndPole short_forms = symbolic::simplified_gain_and_pole(graph, values, 23, 0.1);
    ASSERT_TRUE(short_forms.gain && short_forms.pole);
    for (const auto& part : {*short_forms.gain, *short_forms.pole}) {
        EXPECT_LE(part.error, 0.1) << part.formula;
        EXPECT_LE(part.top_terms + part.bottom_terms, 40) << part.formula;
    }
    // The gain and the pole against the exact solution's; the pole near -30 rad/s, as the
    // example says.
    const exact::RationalFunction x = exact::solve_exact(*opamp).variables[22];
    long low = 0;
    while (fmpz_is_zero(x.denominator.get()->coeffs + low)) ++low;
    exact::Rational exact_gain;
    fmpq_set_fmpz_frac(exact_gain.get(), x.numerator.get()->coeffs + low, x.denominator.get()->coeffs + low);
    const double gain = fmpq_get_d(exact_gain.get());
    EXPECT_LE(std::fabs(short_forms.gain->value / gain - 1), short_forms.gain->error + 1e-12) << gain;
    exact::Rational exact_pole;
    fmpq_set_fmpz_frac(exact_pole.get(), x.denominator.get()->coeffs + low, x.denominator.get()->coeffs + low + 1);
    const double exact_p1 = -fmpq_get_d(exact_pole.get());
    EXPECT_NEAR(exact_p1, -30, 3);
    EXPECT_LE(std::fabs(short_forms.pole->value / exact_p1 - 1), short_forms.pole->error + 1e-12) << exact_p1;
    EXPECT_NE(short_forms.gain->formula.find("V1"), std::string::npos);
}

// On random circuits every stated error bound holds against the coefficients of the
// flat exact result: ratios of coefficients, which no common factor changes.
TEST(Symbolic, DominantTermErrorBoundsHoldOnRandomCircuits) {
    std::mt19937 random(7);
    const char* nodes[] = {"0", "a", "b", "c"};
    int checked = 0, banded_checked = 0, expanded = 0, simplified = 0;
    for (int circuit = 0; circuit < 25; ++circuit) {
        std::string netlist = "aleatorio\nV1 a 0 1 IMPULSO\n";
        for (int e = 1; e <= 7; ++e) {
            const char kind = "RRRCCG"[random() % 6];
            const std::string a = nodes[random() % 4], b = nodes[1 + random() % 3];
            std::string line = std::string(1, kind) + std::to_string(e) + " " + a + " " + b;
            if (kind == 'G') line += std::string(" ") + nodes[random() % 4] + " 0";
            const double value = std::pow(10.0, static_cast<double>(random() % 60) / 10.0 - (kind == 'C' ? 9 : kind == 'G' ? 4 : -1));
            char text[32];
            CLocaleScope c_numbers;  // a netlist's numbers, whatever the test's locale
            std::snprintf(text, sizeof text, " %.3g\n", value);
            netlist += line + text;
        }
        SCOPED_TRACE(netlist);
        fp_clear();  // as the command does before reading
        auto tables = testing::read_tables(netlist);
        const int k = tables->variable_count - 1;
        if (k < 1) continue;
        symbolic::NestedResult chained = symbolic::solve_nested(*tables, {}, {k}, symbolic::NumeratorForm::chained);
        if (chained.status != symbolic::NestedResult::Status::solved) continue;
        if (symbolic::first_nested_difference(chained, *tables) != 0) continue;  // singular at the values
        symbolic::DominantResult kept = symbolic::dominant_terms(chained, {0.05});
        // The exact unreduced D(s) = s det at the values, from the zero-tolerance run.
        symbolic::DominantResult whole = symbolic::dominant_terms(chained, {0.0});
        exact::IntPoly n0, d0, n1, d1;
        symbolic::substitute_values(whole.kept.functions[0], whole.kept.symbols, n0, d0);
        symbolic::substitute_values(kept.kept.functions[0], kept.kept.symbols, n1, d1);
        ASSERT_TRUE(symbolic::agrees_with_exact(whole.kept.functions[0], whole.kept.symbols,
                                                exact::solve_exact(*tables).variables[k - 1]));
        const std::vector<symbolic::CoefficientReport>& report = kept.reports[0].denominator;
        auto coefficient = [](const exact::IntPoly& p, long power) {
            fmpz_t c;
            fmpz_init(c);
            fmpz_poly_get_coeff_fmpz(c, p.get(), power);
            const double value = fmpz_get_d(c);
            fmpz_clear(c);
            return value;
        };
        const long top = d0.degree();
        double top_error = 0;
        for (const auto& c : report)
            if (c.power == top) top_error = c.error;
        for (const auto& c : report) {
            if (c.limited) continue;
            EXPECT_LE(c.error, 0.05);
            const double exact_ratio = coefficient(d0, c.power) / coefficient(d0, top);
            const double kept_ratio = coefficient(d1, c.power) / coefficient(d1, top);
            EXPECT_LE(std::fabs(kept_ratio / exact_ratio - 1), (1 + c.error) / (1 - top_error) - 1 + 1e-12)
                << "s^" << c.power;
            ++checked;
        }

        // Element by element with no tolerance, the low powers of det A come out as every
        // term of the flat expansion once, each linear in its symbols, largest first.
        const symbolic::GraphValues at_values = symbolic::evaluate_at_values(chained.graph, chained.system, chained.symbols);
        std::vector<exact::Rational> values(chained.symbols.symbols.size());
        for (std::size_t i = 0; i < values.size(); ++i) symbolic::symbol_value(chained.symbols, i, values[i].get());
        for (long power = 0; power <= 1; ++power) {
            exact::Rational want;
            fmpz_poly_get_coeff_fmpz(fmpq_numref(want.get()), at_values.determinant.get(), power);
            fmpq_div(want.get(), want.get(), at_values.factor.get());
            if (fmpq_is_zero(want.get())) continue;
            long flat = 0;  // terms of s^(power + 1) in s det A, fully expanded
            const symbolic::Mpoly& den = whole.kept.functions[0].denominator;
            for (slong t = 0; t < den.length(); ++t)
                flat += fmpz_mpoly_get_term_var_exp_ui(den.get(), t, 0, den.ctx()) == static_cast<ulong>(power + 1);
            std::optional<symbolic::ElementExpansion> all =
                symbolic::element_dominant_terms(chained.system, values, -1, power, want.get(), 0.0);
            ASSERT_TRUE(all.has_value()) << "s^" << power;
            EXPECT_EQ(static_cast<long>(all->terms.size()), flat) << "s^" << power;
            std::set<std::vector<ulong>> distinct;
            for (const symbolic::ElementTerm& term : all->terms) {
                distinct.insert(term.exponents);
                EXPECT_LE(*std::max_element(term.exponents.begin(), term.exponents.end()), 1u);
            }
            EXPECT_EQ(distinct.size(), all->terms.size());
            ++expanded;
        }

        // The short gain and pole, against the flat exact coefficients: each within the
        // error it states.
        const symbolic::GainAndPole short_forms = symbolic::simplified_gain_and_pole(chained, values, k, 0.1);
        auto lowest = [](const exact::IntPoly& p) {
            long i = 0;
            while (i <= p.degree() && fmpz_is_zero(p.get()->coeffs + i)) ++i;
            return i;
        };
        const long low = lowest(d0);
        if (short_forms.gain) {
            ASSERT_EQ(lowest(n0), low);
            const double gain = coefficient(n0, low) / coefficient(d0, low);
            EXPECT_LE(std::fabs(short_forms.gain->value / gain - 1), short_forms.gain->error + 1e-12);
            EXPECT_LE(short_forms.gain->error, 0.1);
            ++simplified;
        }
        if (short_forms.pole && low == 1) {
            const double pole = -coefficient(d0, 1) / coefficient(d0, 2);
            EXPECT_LE(std::fabs(short_forms.pole->value / pole - 1), short_forms.pole->error + 1e-12);
            ++simplified;
        }
        // Signs written once: a negative side as a leading minus, never "--" or "-1*".
        for (const auto& part : {short_forms.gain, short_forms.pole}) {
            if (!part) continue;
            for (const char* wrong : {"--", "-1*", "+ -", "*-"})
                EXPECT_EQ(part->formula.find(wrong), std::string::npos) << part->formula;
        }

        // With a band the whole response stays within the tolerance over it: N/D of the
        // kept terms against the exact one at frequencies of the band.
        symbolic::DominantResult banded = symbolic::dominant_terms(chained, {0.05, 10.0, 1e4});
        bool limited = false;
        for (const auto* part : {&banded.reports[0].numerator, &banded.reports[0].denominator})
            for (const auto& c : *part) limited = limited || c.limited;
        if (limited) continue;
        exact::IntPoly n2, d2;
        symbolic::substitute_values(banded.kept.functions[0], banded.kept.symbols, n2, d2);
        using Complex = std::complex<long double>;
        auto at = [](const exact::IntPoly& p, Complex s) {
            Complex sum = 0;
            for (long i = p.degree(); i >= 0; --i) {
                slong exponent = 0;
                const double mantissa = fmpz_get_d_2exp(&exponent, p.get()->coeffs + i);
                sum = sum * s + std::ldexp(static_cast<long double>(mantissa), static_cast<int>(exponent));
            }
            return sum;
        };
        if (fmpz_poly_is_zero(n0.get())) {
            EXPECT_TRUE(fmpz_poly_is_zero(n2.get()));
            continue;
        }
        for (double f = 10.0; f <= 1e4; f *= 1.5) {
            const Complex s(0, 2 * std::numbers::pi * f);
            const Complex ratio = at(n2, s) * at(d0, s) / (at(n0, s) * at(d2, s));
            EXPECT_LE(std::abs(ratio - 1.0L), 0.05L + 1e-9L) << f << " Hz";
        }
        ++banded_checked;
    }
    EXPECT_GE(checked, 20);
    EXPECT_GE(banded_checked, 10);
    EXPECT_GE(expanded, 20);
    EXPECT_GE(simplified, 10);
    fp_clear();  // the ratios above may divide by a zero coefficient
}

}  // namespace
}  // namespace quorvat
