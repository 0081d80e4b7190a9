// quorvat-cli simbolico: closed forms derived by hand, the check against the exact
// solution on every example and on random circuits, the mixed mode, the size limit and
// the simplification.
#include <filesystem>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "exact/exact_solver.h"
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

TEST(Symbolic, EveryExampleIsVerifiedOrRefusedAsTooLarge) {
    namespace fs = std::filesystem;
    int examples = 0;
    for (const auto& entry : fs::directory_iterator(testing::source_path("examples"))) {
        if (entry.path().extension() != ".net") continue;
        ++examples;
        SCOPED_TRACE(entry.path().filename().string());
        testing::CommandRun run = run_symbolic({"--formato", "json"}, testing::read_file(entry.path().string()));
        // The 25-variable circuits have billions of terms: stopped by the limit, and with
        // two symbols the same circuit goes through.
        static const std::map<std::string, std::vector<std::string>> too_large = {
            {"ladder25.net", {"--simbolos", "R1,C23", "--variaveis", "24"}},
            {"butterworth25.net", {"--simbolos", "RS,RL", "--variaveis", "13"}},
            {"amp_op_24t.net", {"--simbolos", "RF,RG", "--variaveis", "17"}},
        };
        auto large = too_large.find(entry.path().filename().string());
        if (large != too_large.end()) {
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err.rfind("Expressão simbólica grande demais (mais de ", 0), 0u) << run.err;
            EXPECT_NE(run.err.find(" termos); use --numericos ou --simbolos\n"), std::string::npos) << run.err;
            EXPECT_EQ(run.out, "");
            std::vector<std::string> options = large->second;
            options.insert(options.end(), {"--formato", "json"});
            run = run_symbolic(options, testing::read_file(entry.path().string()));
        }
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "verificado\n");
    }
    EXPECT_GE(examples, 14);
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

TEST(Symbolic, ApproximationDropsTheSmallTerms) {
    // R2 is a thousandth of R1: within 1 % the denominator R1 + R2 becomes R1, and the
    // function changes by R2 / R1.
    testing::CommandRun run =
        run_symbolic({"--aproximar", "0.01", "--variaveis", "2"}, "t\nV1 in 0 1 DEGRAU\nR1 in out 1000\nR2 out 0 1\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  N(s) = V1*R2\n  D(s) = R1*s\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("verificado\nAproximação com tolerância 0.01: 2 termos mantidos, 1 descartados; maior "
                           "variação relativa da função nas frequências de teste: 0.001\n"),
              std::string::npos)
        << run.out;
    // A zero tolerance keeps everything.
    run = run_symbolic({"--aproximar", "0", "--variaveis", "2", "--formato", "latex"},
                       "t\nV1 in 0 1 DEGRAU\nR1 in out 1000\nR2 out 0 1\n");
    EXPECT_NE(run.err.find("3 termos mantidos, 0 descartados"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace quorvat
