// The numerical verification of analyses, and every example circuit against the figure
// that its header states.
#include <cmath>
#include <complex>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "engine/scanner.h"
#include "exact/exact_reference.h"
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
    NumericalVerification verification;
    bool ok = false;

    Analysis(const ScratchDir& dir, const std::string& netlist, const std::string& dispersion = "1e12",
             ExactSolver* exact = nullptr) {
        host.file_name = dir.write("circuito.net", netlist);
        host.dispersion_text = dispersion;
        fp_clear();
        ok = run_analysis(*tables, host, &verification, exact);
    }
    double worst_error() const {
        double worst = 0;
        for (const auto& v : verification.last_report().variables) worst = std::max(worst, v.error);
        return worst;
    }
    bool warned() const {
        for (const auto& line : host.lines)
            if (line.rfind("Aviso: variável", 0) == 0) return true;
        return false;
    }
};

const char* const twin_t_notch =
    "Rejeita-faixa duplo T, 10 kohms e 10 nF: nulo em 10 krad/s\n"
    "V1 in 0 1 IMPULSO\n"
    "R1 in a 10000\n"
    "R2 a out 10000\n"
    "C3 a 0 20e-9\n"
    "C1 in b 10e-9\n"
    "C2 b out 10e-9\n"
    "R3 b 0 5000\n";

TEST(Verification, WorkedExampleAgreesAndWritesNothing) {
    ScratchDir dir;
    Analysis a(dir, "t\nI1 0 1 1 DEGRAU\nR1 1 2 1\nC1 1 0 1\nC2 2 0 1\n");
    ASSERT_TRUE(a.ok) << a.host.text();
    const VerificationReport& report = a.verification.last_report();
    EXPECT_EQ(report.frequencies.size(), 16u);
    // The natural frequencies are 0 (left out) and 2 rad/s: points from 0.02 to 200.
    EXPECT_NEAR(report.frequencies.front(), 0.02, 1e-12);
    EXPECT_NEAR(report.frequencies.back(), 200, 1e-9);
    ASSERT_EQ(report.variables.size(), 2u);
    EXPECT_LT(a.worst_error(), 1e-12);
    EXPECT_FALSE(a.warned());
    EXPECT_EQ(a.host.lines.back(), "Análise terminada com sucesso.");
}

TEST(Verification, ResistiveCircuitFallsBackToTheDefaultRange) {
    ScratchDir dir;
    Analysis a(dir, "t\nV1 1 0 1 DEGRAU\nR1 1 2 1\nR2 2 0 3\n");
    ASSERT_TRUE(a.ok);
    EXPECT_NEAR(a.verification.last_report().frequencies.front(), 1e-2, 1e-15);
    EXPECT_NEAR(a.verification.last_report().frequencies.back(), 1e2, 1e-12);
    EXPECT_LT(a.worst_error(), 1e-12);
}

TEST(Verification, LossyEliminationIsReportedBeforeTheSuccessLine) {
    ScratchDir dir;
    Analysis lossy(dir, twin_t_notch);
    ASSERT_TRUE(lossy.ok) << lossy.host.text();
    EXPECT_GT(lossy.worst_error(), 1e-6);
    ASSERT_TRUE(lossy.warned()) << lossy.host.text();
    const auto& lines = lossy.host.lines;
    EXPECT_EQ(lines[lines.size() - 2],
              "Os polinômios podem estar imprecisos; experimente valores normalizados ou outros limiares.");
    EXPECT_EQ(lines.back(), "Análise terminada com sucesso.");
    std::regex warning(R"(Aviso: variável \d+ \(\w+\) difere da solução numérica direta \(erro relativo \d\.\de[+-]\d+\)\.)");
    int warnings = 0;
    for (const auto& line : lines) warnings += std::regex_match(line, warning);
    EXPECT_GE(warnings, 1);
    // With a wider dispersion the same circuit comes out right.
    Analysis wide(dir, twin_t_notch, "1e16");
    ASSERT_TRUE(wide.ok);
    EXPECT_LT(wide.worst_error(), 1e-6) << wide.host.text();
    EXPECT_FALSE(wide.warned());
}

std::complex<double> value_at(const EngineTables& t, int k, double w) {
    std::complex<double> s(0, w), n = 0, d = 0;
    for (int i = t.num[k].degree; i >= 0; --i) n = n * s + t.num[k].c[i];
    for (int i = t.den[k].degree; i >= 0; --i) d = d * s + t.den[k].c[i];
    return t.num[k].Cte / t.den[k].Cte * n / d;
}

TEST(Examples, EveryExampleVerifiesAndMatchesItsStatedFigure) {
    namespace fs = std::filesystem;
    std::regex figure(R"(\* Figura: variável (\d+), ω = ([0-9.e+-]+) rad/s, \|X\| = ([0-9.e+-]+))");
    int examples = 0;
    for (const auto& entry : fs::directory_iterator(testing::source_path("examples"))) {
        if (entry.path().extension() != ".net") continue;
        ++examples;
        std::string text = testing::read_file(entry.path().string());
        ScratchDir dir;
        exact::ExactReference reference;  // some examples need the exact solution
        Analysis a(dir, text, "1e12", &reference);
        SCOPED_TRACE(entry.path().filename().string());
        ASSERT_TRUE(a.ok) << a.host.text();
        EXPECT_LE(a.worst_error(), verification_tolerance);
        EXPECT_FALSE(a.warned());
        std::smatch m;
        if (!std::regex_search(text, m, figure)) {
            ADD_FAILURE() << "no figure line";
            continue;
        }
        int k = std::stoi(m[1]);
        double w = lenient_to_double(m[2].str()), expected = lenient_to_double(m[3].str());
        ASSERT_LE(k, a.tables->variable_count);
        EXPECT_NEAR(std::abs(value_at(*a.tables, k, w)), expected, 1e-6 * std::max(1.0, expected));
        std::cout << "[ example  ] " << entry.path().filename().string() << ": erro " << a.worst_error() << "\n";
    }
    EXPECT_GE(examples, 12);
}

}  // namespace
}  // namespace quorvat
