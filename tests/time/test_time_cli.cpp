// quorvat-cli tempo as a process: the RLC step example from the netlist to the formula,
// the checks, the CSV and the picture.
#include <sys/wait.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QColor>
#include <QImage>

#include "plot/plot_transform.h"
#include "plot/time_painter.h"
#include "support/cli_run.h"
#include "support/test_files.h"

namespace {

using quorvat::testing::read_file;
using quorvat::testing::ScratchDir;
using quorvat::testing::run_cli;
using quorvat::testing::shell_quoted;
using Outcome = quorvat::testing::CliOutcome;

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, separator)) fields.push_back(field);
    return fields;
}

double number(const std::string& text) {
    double value = NAN;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(error == std::errc() && end == text.data() + text.size()) << text;
    return value;
}

TEST(CliTime, RlcStepFromTheNetlistToTableFormulaAndPicture) {
    ScratchDir dir;
    dir.write("rlc_degrau.net", read_file(quorvat::testing::source_path("examples/rlc_degrau.net")));
    ASSERT_EQ(run_cli(dir, "analisar rlc_degrau.net").status, 0);

    Outcome o = run_cli(dir, "tempo --expressao --verificar --csv rlc.csv --png rlc.png --tamanho 400x300 "
                             "rlc_degrau.n3 rlc_degrau.n1");
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_NE(o.out.find("x3(t) = 1 + e^(-0.5·t)·(-0.8·cos(0.8660254038·t) + 0.1154700538·sin(0.8660254038·t)), "
                         "para t ≥ 0"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("x1(t) = 1, para t ≥ 0"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Intervalo: t de 0 a 25 s"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("NÃO confere"), std::string::npos) << o.out;

    // The table against V3(s) = 1/s + (-0.8 (s + 1/2) + 0.1)/((s + 1/2)^2 + 3/4), and V1 = 1/s.
    const double wd = std::sqrt(0.75);
    std::vector<std::string> lines = split(read_file(dir.file("rlc.csv")), '\n');
    ASSERT_EQ(lines.size(), 502u);
    EXPECT_EQ(lines[0], "t,rlc_degrau.n3,rlc_degrau.n1");
    quorvat::TimeCurves curves;
    curves.values.resize(2);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::string> fields = split(lines[i], ',');
        ASSERT_EQ(fields.size(), 3u) << lines[i];
        double t = number(fields[0]);
        EXPECT_NEAR(t, 25.0 * (i - 1) / 500.0, 1e-14);
        double v3 = 1 + std::exp(-t / 2) * (-0.8 * std::cos(wd * t) + 0.1 / wd * std::sin(wd * t));
        EXPECT_NEAR(number(fields[1]), v3, 1e-14) << t;
        EXPECT_NEAR(number(fields[2]), 1.0, 1e-15) << t;
        curves.times.push_back(t);
        curves.values[0].push_back(number(fields[1]));
        curves.values[1].push_back(number(fields[2]));
    }

    // Both curves end at 1 V; the first (white) lies on top of the second at the right end,
    // on the row of 1 in the picture's value range. The unit comes from the netlist.
    QImage picture(QString::fromStdString(dir.file("rlc.png")));
    ASSERT_EQ(picture.width(), 400);
    ASSERT_EQ(picture.height(), 300);
    quorvat::ValueAxis axis = quorvat::value_axis(curves);
    quorvat::PlotRect rect = quorvat::plot_rect(400, 300);
    int row = static_cast<int>(std::lround(rect.bottom - (1.0 - axis.low) / (axis.high - axis.low) * (rect.bottom - rect.top)));
    bool white = false;
    for (int r = row - 1; r <= row + 1; ++r) white = white || picture.pixelColor(rect.right - 5, r) == QColor(Qt::white);
    EXPECT_TRUE(white) << "row " << row;
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::black));
}

TEST(CliTime, RefusesBadUsageAndMissingFiles) {
    ScratchDir dir;
    dir.write("a.n1", "0\n1\n1\n");
    dir.write("a.d1", "1\n1\n1\n1\n");
    dir.write("z.n1", "0\n1\n1\n");
    dir.write("z.d1", "1\n0\n0\n1\n");
    struct Case {
        const char* arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"tempo", 2, "falta o NUMERADOR"},
        {"tempo --pontos 1 a.n1", 2, "número de pontos inválido"},
        {"tempo --tmax 0 a.n1", 2, "--tmax deve ser maior"},
        {"tempo --tmin -1 a.n1", 2, "não pode ser negativo"},
        {"tempo --tamanho 10 a.n1", 2, "tamanho inválido"},
        {"tempo a.x1", 2, "sem \".n\""},
        {"tempo b.n1", 1, "não encontrado"},
        {"tempo z.n1", 1, "denominador nulo"},
        {"tempo --csv /nenhuma/pasta/x.csv a.n1", 1, "não foi possível gravar"},
    };
    for (const Case& c : cases) {
        Outcome o = run_cli(dir, c.arguments);
        EXPECT_EQ(o.status, c.status) << c.arguments << "\n" << o.err;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << c.arguments << "\n" << o.err;
    }
}

}  // namespace
