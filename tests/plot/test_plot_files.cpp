#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/fp_fault.h"
#include "plot/plot_files.h"
#include "plot_test_support.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

using testing::polynomial;
using testing::polynomial_file;
using testing::RecordingLog;
using testing::ScratchDir;
using Lines = std::vector<std::string>;

bool read_text(const std::string& text, ResultPolynomial& p, RecordingLog& log) {
    Scanner in(text);
    return poly_read(in, p, log);
}

TEST(PolyRead, ReadsWhatTheEngineWritesInBothNotations) {
    ResultPolynomial written = polynomial({0, 0, 2, 1.25e-7, -3.5}, -0.5);
    written.c[1] = -4.000000000001e-13;
    std::string text = polynomial_file(written);
    ASSERT_NE(text.find("e-07"), std::string::npos);  // the exponent form is in the file
    RecordingLog log;
    ResultPolynomial p{};
    ASSERT_TRUE(read_text(text, p, log));
    EXPECT_EQ(p.degree, 4);
    for (int i = 0; i <= 4; ++i) EXPECT_EQ(p.c[i], written.c[i]) << i;
    EXPECT_EQ(p.Cte, -0.5);
    EXPECT_TRUE(log.lines.empty());
}

TEST(PolyRead, DegreeAbove30ReadsThirtyOneCoefficientsAndTheNextNumberAsCte) {
    std::string text = "31\n";
    for (int i = 0; i <= 31; ++i) text += std::to_string(i + 1) + ".5\n";
    text += "99\n";
    RecordingLog log;
    ResultPolynomial p{};
    ASSERT_TRUE(read_text(text, p, log));
    EXPECT_EQ(log.lines, Lines{"Polinômio com grau excessivo"});
    EXPECT_EQ(p.degree, 30);
    EXPECT_EQ(p.c[30], 31.5);
    EXPECT_EQ(p.Cte, 32.5);
}

TEST(PolyRead, MalformedFileIsRefusedAndLeavesTheRecord) {
    const char* const bad[] = {"", "2\n1\n2\n3\n", "1\n1.0\nabc\n1\n", "-1\n5\n", "x\n", "1\n1\n1\n1e999\n"};
    for (const char* text : bad) {
        RecordingLog log;
        ResultPolynomial p = polynomial({7, 8}, 9);
        bool read = false;
        try {
            read = read_text(text, p, log);
        } catch (const FloatingPointFault&) {
            EXPECT_STREQ(text, "1\n1\n1\n1e999\n");  // only the overflow is a fault
        }
        EXPECT_FALSE(read) << text;
        EXPECT_EQ(p.degree, 1);
        EXPECT_EQ(p.c[0], 7);
        EXPECT_EQ(p.Cte, 9);
    }
}

TEST(Adicionar, DerivesTheDenominatorInTheFileNameOnly) {
    EXPECT_EQ(adicionar_lines("/tmp/teste.n1"), (Lines{"/tmp/teste.n1", "/tmp/teste.d1"}));
    EXPECT_EQ(adicionar_lines("filtro.N2"), (Lines{"filtro.N2", "filtro.d2"}));
    EXPECT_EQ(adicionar_lines("/home/a/proj.new/filtro.n12"),
              (Lines{"/home/a/proj.new/filtro.n12", "/home/a/proj.new/filtro.d12"}));
    EXPECT_EQ(adicionar_lines("filtro.d2"), Lines{"* Arquivo com nome inválido."});
    EXPECT_EQ(adicionar_lines("/x/proj.new/filtro.d2"), Lines{"* Arquivo com nome inválido."});
    EXPECT_EQ(adicionar_lines("a.nN.n3"), (Lines{"a.nN.n3", "a.dN.n3"}));  // the first ".n"
}

class Plotar : public ::testing::Test {
protected:
    std::string file(const std::string& name, const ResultPolynomial& p) {
        return dir.write(name, polynomial_file(p));
    }
    bool run(const Lines& lines, const PlotTexts& texts = {}) {
        log.lines.clear();
        return plotar(*state, lines, texts, log);
    }

    ScratchDir dir;
    RecordingLog log;
    std::unique_ptr<PlotterState> state = std::make_unique<PlotterState>();
};

TEST_F(Plotar, ReadsThePairsAndConvertsTheSettings) {
    std::string n1 = file("rc.n1", polynomial({1})), d1 = file("rc.d1", polynomial({1, 1}));
    std::string n2 = file("rc.n2", polynomial({0, 1}, 2)), d2 = file("rc.d2", polynomial({1, 2, 1}));
    PlotTexts texts;
    texts.wmin = " 1e-2";
    texts.gmax = "+12.5dB";
    texts.amax = "";
    ASSERT_TRUE(run({"* comentário", n1, d1, n2, d2}, texts));
    EXPECT_EQ(log.lines, (Lines{"Lendo arquivo " + n1, "Lendo arquivo " + d1, "Lendo arquivo " + n2,
                                "Lendo arquivo " + d2, "Lidas 2 funções"}));
    EXPECT_EQ(state->plot_ready, 1);
    EXPECT_EQ(state->recompute_needed, 1);
    const PlotSettings& s = state->settings;
    EXPECT_EQ(s.wmin, 0.01);
    EXPECT_EQ(s.wmax, 5.0);
    EXPECT_EQ(s.gmin, -60.0);
    EXPECT_EQ(s.gmax, 12.5);
    EXPECT_EQ(s.fmin, -180.0);
    EXPECT_EQ(s.fmax, 180.0);
    EXPECT_EQ(s.amin, -10.0);
    EXPECT_EQ(s.amax, 0.0);
    EXPECT_EQ(s.segments, 300);
    EXPECT_EQ(state->curves.curve_count, 2);
    EXPECT_EQ(state->curves.curve_num[2].Cte, 2.0);
    EXPECT_EQ(state->curves.curve_den[2].degree, 2);
}

TEST_F(Plotar, SegmentCountOutsideItsRangeGives300) {
    struct Case {
        const char* text;
        int segments;
        bool message;
    };
    for (Case c : {Case{"0", 300, true}, Case{"-5", 300, true}, Case{"601", 300, true}, Case{"abc", 300, true},
                   Case{"1", 1, false}, Case{"600", 600, false}, Case{"12abc", 12, false}, Case{" +7", 7, false}}) {
        PlotTexts texts;
        texts.segments = c.text;
        ASSERT_TRUE(run({}, texts)) << c.text;
        EXPECT_EQ(state->settings.segments, c.segments) << c.text;
        Lines expected{"Lidas 0 funções"};
        if (c.message) expected.insert(expected.begin(), "Número inválido de segmentos");
        EXPECT_EQ(log.lines, expected) << c.text;
    }
}

TEST_F(Plotar, OddListKeepsTheStaleDenominator) {
    std::string n = file("a.n1", polynomial({1})), d = file("a.d1", polynomial({1, 1}));
    std::string n2 = file("a.n2", polynomial({3}));
    ASSERT_TRUE(run({n, d}));
    ASSERT_TRUE(run({n2}));
    EXPECT_EQ(state->curves.curve_count, 1);
    EXPECT_EQ(state->curves.curve_num[1].c[0], 3.0);
    EXPECT_EQ(state->curves.curve_den[1].degree, 1);  // from the first Plotar
    EXPECT_EQ(state->curves.awaiting_denominator, 1);
}

TEST_F(Plotar, EndsEarlyWithItsMessages) {
    std::string n = file("a.n1", polynomial({1})), d = file("a.d1", polynomial({1, 1}));
    std::string bad = dir.write("bad.d1", "2\n1\n");
    ASSERT_TRUE(run({n, d}));

    EXPECT_FALSE(run({n, d, " * not a comment"}));
    EXPECT_EQ(log.lines.back(), "Arquivo  * not a comment não encontrado.");
    EXPECT_EQ(state->plot_ready, 0);

    EXPECT_FALSE(run({n, ""}));
    EXPECT_EQ(log.lines.back(), "Arquivo  não encontrado.");

    EXPECT_FALSE(run({n, bad}));
    EXPECT_EQ(log.lines, (Lines{"Lendo arquivo " + n, "Lendo arquivo " + bad, "Arquivo " + bad + " inválido."}));
    EXPECT_EQ(state->plot_ready, 0);

    EXPECT_FALSE(run({n, dir.path().string()}));  // a folder is no regular file
    EXPECT_EQ(log.lines.back(), "Arquivo " + dir.path().string() + " não é um arquivo comum");

    Lines many;
    for (int i = 0; i < 21; ++i) many.insert(many.end(), {n, d});
    EXPECT_FALSE(run(many));
    EXPECT_EQ(log.lines.size(), 42u);
    EXPECT_EQ(log.lines[40], "Lendo arquivo " + n);
    EXPECT_EQ(log.lines[41], "Número excessivo de curvas");
    EXPECT_EQ(state->curves.curve_count, 20);
    EXPECT_EQ(state->plot_ready, 0);

    many.resize(40);
    EXPECT_TRUE(run(many));
    EXPECT_EQ(log.lines.back(), "Lidas 20 funções");
}

}  // namespace
}  // namespace quorvat
