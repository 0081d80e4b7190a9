// Result files of high degree through every reader (raizes, exportar, tempo, plotar), and
// certified roots against circuits whose poles have a closed form.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
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

// The number at the start of text (after blanks), independent of the locale.
double number_at(const std::string& text, std::size_t from = 0) {
    from = text.find_first_not_of(' ', from);
    double value = NAN;
    std::from_chars(text.data() + from, text.data() + text.size(), value);
    return value;
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
        else if (line.find("±") == std::string::npos) l.real.push_back(number_at(line));
    }
    return l;
}

// Whether printed is value correctly rounded to 10 significant digits.
bool ten_digits_right(double printed, double value) {
    double unit = std::pow(10.0, std::floor(std::log10(std::fabs(value))) - 9);
    return std::fabs(printed - value) <= 0.5 * unit * (1 + 1e-6);
}

// The roots of a file by mpmath at 60 digits, from its coefficients as exact fractions,
// one "re im" line per root; empty when python3 with mpmath is not there.
std::vector<std::pair<double, double>> mpmath_roots(const std::string& file) {
    std::string script =
        "import sys, mpmath\nfrom fractions import Fraction\nmpmath.mp.dps = 60\n"
        "w = open(sys.argv[1]).read().split()\nd = int(w[0])\n"
        "c = [Fraction(float(x)) for x in w[1:d + 2]]\n"
        "c = [mpmath.mpf(x.numerator) / x.denominator for x in reversed(c)]\n"
        "for z in mpmath.polyroots(c, maxsteps=400, extraprec=400): print(mpmath.nstr(z.real, 30), mpmath.nstr(z.imag, 30))\n";
    std::string command = "python3 -c " + shell_quoted(script) + " " + shell_quoted(file) + " 2>/dev/null";
    std::vector<std::pair<double, double>> roots;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return roots;
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
    pclose(pipe);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        roots.emplace_back(number_at(line), number_at(line, line.find(' ')));
    return roots;
}

TEST(CliHighDegree, LadderPolesAgainstTheirClosedForm) {
    // The example's 23 sections with a 1-ohm load: -4 sin^2(k pi / 48), k = 1..23, through
    // the design's elimination (12 decimals). Open ladders through the exact path: up to 40
    // sections every pole is real and every printed digit is the closed form's; from about
    // 50 on, the doubles of the file cannot hold the poles (mpmath finds the same complex
    // roots of the file), so there the count and the other readers are checked.
    struct Case {
        int sections;
        bool example, exact_digits, readers;
    } cases[] = {{23, true, false, false}, {40, false, true, false}, {100, false, false, true}, {400, false, false, true}};
    for (const Case& c : cases) {
        ScratchDir dir;
        std::string net = c.example ? dir.write("escada.net", read_file(quorvat::testing::source_path("examples/ladder25.net")))
                                    : dir.write("escada.net", open_ladder(c.sections));
        std::string variable = std::to_string(c.sections + 1);
        Outcome run = run_cli(dir, std::string("analisar ") + (c.example ? "" : "--exato --variaveis " + variable + " ") +
                                       shell_quoted(net));
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        std::string numerator = dir.file("escada.n" + variable);
        if (c.sections <= 100) {
            Outcome roots = run_cli(dir, "raizes " + shell_quoted(numerator));
            ASSERT_EQ(roots.status, 0) << roots.err;
            EXPECT_NE(roots.out.find("Polos: " + std::to_string(c.sections) + "\n"), std::string::npos);
            Listed poles = listed(roots.out, "Polos");
            EXPECT_EQ(poles.repeated, 0) << c.sections;
            if (c.sections <= 40) {
                EXPECT_EQ(poles.pairs, 0) << c.sections;
                ASSERT_EQ(poles.real.size(), static_cast<std::size_t>(c.sections)) << roots.out;
                for (int k = 1; k <= c.sections; ++k) {
                    double t = c.example ? std::sin(k * pi / 48) : std::sin((2 * k - 1) * pi / (2 * (2 * c.sections + 1)));
                    double pole = -4 * t * t, printed = poles.real[static_cast<std::size_t>(k - 1)];
                    if (c.exact_digits)
                        EXPECT_TRUE(ten_digits_right(printed, pole)) << c.sections << " k=" << k << ": " << printed;
                    else
                        EXPECT_NEAR(printed, pole, 1e-9 * std::fabs(pole)) << c.sections << " k=" << k;
                }
            }
        }
        if (!c.readers) continue;
        Outcome json = run_cli(dir, "exportar --formato json " + shell_quoted(numerator));
        ASSERT_EQ(json.status, 0) << json.err;
        EXPECT_NE(json.out.find("\"grau\": " + std::to_string(c.sections)), std::string::npos);
        Outcome plot = run_cli(dir, "plotar --csv " + shell_quoted(dir.file("p.csv")) + " " + shell_quoted(numerator));
        EXPECT_EQ(plot.status, 0) << plot.out << plot.err;
        EXPECT_NE(plot.out.find("Lidas 1 funções"), std::string::npos) << plot.out;
        EXPECT_EQ(read_file(dir.file("p.csv")).find("nan"), std::string::npos);
        if (c.sections <= 100) {
            Outcome time = run_cli(dir, "tempo " + shell_quoted(numerator));
            EXPECT_EQ(time.status, 0) << time.err;
            EXPECT_NE(time.out.find("x" + variable + "(t) = "), std::string::npos) << time.out;
        }
    }
}

TEST(CliHighDegree, ButterworthPolesToEveryPrintedDigit) {
    // The file's poles differ from the ideal ones by up to 1.4e-6 (its coefficients are
    // doubles); every printed digit must be that of the file's own roots.
    ScratchDir dir;
    std::string net = dir.write("b.net", read_file(quorvat::testing::source_path("examples/butterworth25.net")));
    ASSERT_EQ(run_cli(dir, "analisar --exato " + shell_quoted(net)).status, 0);
    std::vector<std::pair<double, double>> exact = mpmath_roots(dir.file("b.d13"));
    if (exact.empty()) GTEST_SKIP() << "python3 with mpmath is not available";
    Outcome roots = run_cli(dir, "raizes " + shell_quoted(dir.file("b.n13")));
    ASSERT_EQ(roots.status, 0) << roots.err;
    std::istringstream in(roots.out.substr(roots.out.find("Polos: 25")));
    std::string line;
    std::getline(in, line);
    int checked = 0;
    while (std::getline(in, line)) {
        double re = number_at(line), im = 0;
        std::size_t pm = line.find("±");
        if (pm != std::string::npos) im = number_at(line, pm + std::string("±").size());
        const std::pair<double, double>* nearest = &exact[0];
        for (const auto& z : exact)
            if (std::hypot(z.first - re, z.second - im) < std::hypot(nearest->first - re, nearest->second - im)) nearest = &z;
        EXPECT_TRUE(ten_digits_right(re, nearest->first)) << line << " " << nearest->first;
        if (im != 0) {
            EXPECT_TRUE(ten_digits_right(im, nearest->second)) << line << " " << nearest->second;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 13) << roots.out;
}

TEST(CliHighDegree, ScaleLineIsReadAndUndone) {
    // 1 / (x + 1) with x = s/1000: a pole at -1000 rad/s and a gain of 1000.
    ScratchDir dir;
    dir.write("f.n1", "0\n1\n1\nescala 1000\n");
    dir.write("f.d1", "1\n1\n1\n1\nescala 1000\n");
    Outcome roots = run_cli(dir, "raizes f.n1");
    ASSERT_EQ(roots.status, 0) << roots.err;
    EXPECT_NE(roots.out.find("Escala de frequência"), std::string::npos) << roots.out;
    EXPECT_NE(roots.out.find("Ganho: 1000\n"), std::string::npos) << roots.out;
    EXPECT_NE(roots.out.find("Polos: 1\n  -1000\n"), std::string::npos) << roots.out;
    Outcome py = run_cli(dir, "exportar --formato python f.n1");
    EXPECT_NE(py.out.find("Escala desfeita"), std::string::npos) << py.out;
    EXPECT_NE(py.out.find("\nb = [1000]\na = [1, 1000]\n"), std::string::npos) << py.out;
    Outcome time = run_cli(dir, "tempo --tmax 0.001 f.n1");
    EXPECT_EQ(time.status, 0) << time.err;
    EXPECT_NE(time.out.find("x1(t) = 1000·e^(-1000·t)"), std::string::npos) << time.out;
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
