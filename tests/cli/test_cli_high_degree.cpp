// Result files of high degree through every reader (raizes, exportar, tempo, plotar), and
// certified roots against circuits whose poles have a closed form.
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/cli_run.h"
#include "support/test_files.h"

namespace {

using quorvat::testing::read_file;
using quorvat::testing::run_cli;
using quorvat::testing::ScratchDir;
using quorvat::testing::shell_quoted;
using Outcome = quorvat::testing::CliOutcome;

constexpr double pi = 3.14159265358979323846;

// An RC ladder of n sections (1 ohm in series, 1 F to ground) driven by a unit impulse and
// open at the end: the poles of V(nN) are -4 sin^2((2k - 1) pi / (2 (2n + 1))), k = 1..n.
std::string open_ladder(int n) {
    std::string net = "Escada RC aberta\nV1 in 0 1 IMPULSO\n";
    for (int k = 1; k <= n; ++k) {
        std::string from = k == 1 ? "in" : "n" + std::to_string(k - 1), to = "n" + std::to_string(k);
        net += "R" + std::to_string(k) + " " + from + " " + to + " 1\nC" + std::to_string(k) + " " + to + " 0 1\n";
    }
    return net;
}

struct Listed {
    std::vector<double> real;  // real roots as printed
    int pairs = 0, repeated = 0;
};

// The roots that raizes lists under the title ("Zeros" or "Polos").
Listed listed(const std::string& report, const std::string& title) {
    Listed l;
    std::istringstream in(report.substr(report.find(title + ":")));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && line.rfind("  ", 0) == 0) {
        if (line.find("±") != std::string::npos) ++l.pairs;
        if (line.find("multiplicidade") != std::string::npos) ++l.repeated;
        else if (line.find("±") == std::string::npos) l.real.push_back(std::stod(line));
    }
    return l;
}

// Whether printed is value correctly rounded to 10 significant digits.
bool ten_digits_right(double printed, double value) {
    double unit = std::pow(10.0, std::floor(std::log10(std::fabs(value))) - 9);
    return std::fabs(printed - value) <= 0.5 * unit * (1 + 1e-6);
}

TEST(CliHighDegree, LadderPolesAreRealDistinctAndRightToEveryDigit) {
    struct Case {
        int sections;
        bool exact;
    } cases[] = {{23, false}, {100, true}, {400, true}};
    for (const Case& c : cases) {
        ScratchDir dir;
        std::string net = dir.write("escada.net", open_ladder(c.sections));
        std::string variable = std::to_string(c.sections + 1);
        Outcome run = run_cli(dir, std::string("analisar ") + (c.exact ? "--exato --variaveis " + variable + " " : "") +
                                       shell_quoted(net));
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        std::string numerator = dir.file("escada.n" + variable);
        Outcome roots = run_cli(dir, "raizes " + shell_quoted(numerator));
        ASSERT_EQ(roots.status, 0) << roots.err;
        Listed poles = listed(roots.out, "Polos");
        EXPECT_EQ(poles.pairs, 0) << c.sections;
        EXPECT_EQ(poles.repeated, 0) << c.sections;
        ASSERT_EQ(poles.real.size(), static_cast<std::size_t>(c.sections)) << roots.out;
        // The closed form rounded to the file's doubles: 1e-9 relative on the design's
        // 12 decimals, every digit on the exact files (degree 400 still within 1e-9).
        for (int k = 1; k <= c.sections; ++k) {
            double t = std::sin((2 * k - 1) * pi / (2 * (2 * c.sections + 1)));
            double pole = -4 * t * t, printed = poles.real[static_cast<std::size_t>(k - 1)];
            if (c.exact && c.sections <= 100)
                EXPECT_TRUE(ten_digits_right(printed, pole)) << c.sections << " k=" << k << ": " << printed << " " << pole;
            else
                EXPECT_NEAR(printed, pole, 1e-9 * std::fabs(pole)) << c.sections << " k=" << k;
        }
        // The other readers take the same files whole.
        Outcome json = run_cli(dir, "exportar --formato json " + shell_quoted(numerator));
        ASSERT_EQ(json.status, 0) << json.err;
        EXPECT_NE(json.out.find("\"grau\": " + std::to_string(c.sections)), std::string::npos);
        Outcome plot = run_cli(dir, "plotar --csv " + shell_quoted(dir.file("p.csv")) + " " + shell_quoted(numerator));
        EXPECT_EQ(plot.status, 0) << plot.out << plot.err;
        EXPECT_NE(plot.out.find("Lidas 1 funções"), std::string::npos) << plot.out;
        if (c.sections <= 100) {
            Outcome time = run_cli(dir, "tempo " + shell_quoted(numerator));
            EXPECT_EQ(time.status, 0) << time.err;
        }
    }
}

TEST(CliHighDegree, ButterworthPolesToEveryPrintedDigit) {
    ScratchDir dir;
    std::string net = dir.write("b.net", read_file(quorvat::testing::source_path("examples/butterworth25.net")));
    ASSERT_EQ(run_cli(dir, "analisar --exato " + shell_quoted(net)).status, 0);
    Outcome roots = run_cli(dir, "raizes " + shell_quoted(dir.file("b.n13")));
    ASSERT_EQ(roots.status, 0) << roots.err;
    std::istringstream in(roots.out.substr(roots.out.find("Polos: 25")));
    std::string line;
    std::getline(in, line);
    int checked = 0;
    while (std::getline(in, line)) {
        double re = 0, im = 0;
        if (std::sscanf(line.c_str(), " %lf ± %lfj", &re, &im) != 2) {
            EXPECT_TRUE(ten_digits_right(std::stod(line), -1.0)) << line;
            continue;
        }
        // The closed-form upper pole nearest to the printed one.
        ++checked;
        int k = 1;
        for (int j = 2; j <= 12; ++j)
            if (std::fabs(std::cos((2 * j - 1) * pi / 50) - im) < std::fabs(std::cos((2 * k - 1) * pi / 50) - im)) k = j;
        double angle = (2 * k - 1) * pi / 50;
        EXPECT_TRUE(ten_digits_right(re, -std::sin(angle))) << line;
        EXPECT_TRUE(ten_digits_right(im, std::cos(angle))) << line;
    }
    EXPECT_EQ(checked, 12) << roots.out;
}

TEST(CliHighDegree, ScaleLineIsReadAndUndone) {
    // 1 / (x + 1) with x = s/1000: a pole at -1000 rad/s and a gain of 1000.
    ScratchDir dir;
    dir.write("f.n1", "0\n1\n1\n");
    dir.write("f.d1", "1\n1\n1\n1\nescala 1000\n");
    Outcome roots = run_cli(dir, "raizes f.n1");
    ASSERT_EQ(roots.status, 0) << roots.err;
    EXPECT_NE(roots.out.find("Escala de frequência"), std::string::npos) << roots.out;
    EXPECT_NE(roots.out.find("Ganho: 1000\n"), std::string::npos) << roots.out;
    EXPECT_NE(roots.out.find("Polos: 1\n  -1000\n"), std::string::npos) << roots.out;
    Outcome py = run_cli(dir, "exportar --formato python f.n1");
    EXPECT_NE(py.out.find("Escala desfeita"), std::string::npos) << py.out;
    EXPECT_NE(py.out.find("\nb = [1000]\na = [1, 1000]\n"), std::string::npos) << py.out;
    Outcome time = run_cli(dir, "tempo --tmax 0.001 f.n1");  // 1000 e^(-1000 t)
    EXPECT_EQ(time.status, 0) << time.err;
    EXPECT_NE(time.out.find("1000"), std::string::npos) << time.out;
    // A scale that is not a positive number makes the file invalid; degree beyond the guard.
    dir.write("g.n1", "0\n1\n1\nescala -2\n");
    dir.write("g.d1", "40001\n");
    Outcome bad = run_cli(dir, "raizes g.n1 f.d1");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Arquivo g.n1 inválido."), std::string::npos) << bad.err;
    Outcome huge = run_cli(dir, "raizes f.n1 g.d1");
    EXPECT_NE(huge.err.find("Polinômio de grau 40001 acima do limite de 40000"), std::string::npos) << huge.err;
}

}  // namespace
