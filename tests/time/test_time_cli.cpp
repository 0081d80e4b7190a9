// quorvat-cli tempo as a process: the RLC step example from the netlist to the formula,
// the checks, the CSV and the picture.
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
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
        {"tempo --csv /nenhuma/pasta/x.csv a.n1", 1, "Erro ao gravar o arquivo /nenhuma/pasta/x.csv: arquivo ou pasta inexistente"},
    };
    for (const Case& c : cases) {
        Outcome o = run_cli(dir, c.arguments);
        EXPECT_EQ(o.status, c.status) << c.arguments << "\n" << o.err;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << c.arguments << "\n" << o.err;
    }
}

}  // namespace

namespace {

// Hostile pairs: a FIFO or a device in a file's place, values beyond the doubles. Each
// ends (within the 20 s of timeout) with a message or an honest table, never inf or NaN.
TEST(CliTime, BadInputEndsClearly) {
    ScratchDir dir;
    auto pair = [&](const std::string& name, const std::string& num, const std::string& den) {
        dir.write(name + ".n1", num);
        dir.write(name + ".d1", den);
    };
    pair("lento", "0\n1\n1\n", "1\n3e-306\n1\n1\n");      // 1/(s + 3e-306)
    pair("normal", "0\n1\n1\n", "1\n1\n1\n1\n");           // 1/(s + 1)
    pair("largo", "1\n0\n1.7e308\n1\n", "2\n1\n0\n1\n1\n");  // 1.7e308 s/(s^2 + 1): ±1.7e308
    pair("cresce", "0\n1\n1\n", "1\n-1\n1\n1\n");          // e^t
    pair("enorme", "0\n1e310\n1\n", "1\n1\n1\n1\n");
    pair("fifo_net", "0\n1\n1\n", "1\n1\n1\n1\n");
    dir.write("fifo_num.d1", "1\n1\n1\n1\n");
    dir.write("fifo_den.n1", "0\n1\n1\n");
    for (const char* fifo : {"fifo_num.n1", "fifo_den.d1", "fifo_net.net"}) ASSERT_EQ(mkfifo(dir.file(fifo).c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.n1"));
    dir.write("zero.d1", "1\n1\n1\n1\n");
    struct Case {
        std::string arguments;
        int status;
        const char* expected;  // in standard output and error together
    } cases[] = {
        {"fifo_num.n1", 1, "fifo_num.n1 não é um arquivo comum"},
        {"fifo_den.n1", 1, "fifo_den.d1 não é um arquivo comum"},
        {"zero.n1", 1, "zero.n1 não é um arquivo comum"},
        {"--png f.png fifo_net.n1", 0, "Intervalo: t de 0 a 5 s"},
        {"--csv lento.csv --verificar --png lento.png lento.n1", 0, "Intervalo: t de 0 a 2e+306 s"},
        {"--tmax 1e306 --verificar --csv normal.csv normal.n1", 0, "Valor final"},
        {"--png largo.png largo.n1", 1, "amplitude acima de 1e300, grande demais para a figura"},
        {"--tmax 1000 --csv cresce.csv cresce.n1", 1, "passa do maior número de ponto flutuante"},
        {"--csv enorme.csv enorme.n1", 1, "enorme.n1"},
        {"--tmin 1e20 --tmax 1.0000000000000001e20 --png curto.png normal.n1", 1, "curto demais"},
    };
    for (const Case& c : cases) {
        // A harmless first command, then the real one under a timeout: a hang fails the case.
        Outcome o = run_cli(dir, "--help >/dev/null; timeout 20 " + shell_quoted(QUORVAT_CLI) + " tempo " + c.arguments);
        EXPECT_EQ(o.status, c.status) << c.arguments << "\n" << o.out << o.err;
        EXPECT_NE((o.out + o.err).find(c.expected), std::string::npos) << c.arguments << "\n" << o.out << o.err;
        for (const char* bad : {"inf", "nan"}) EXPECT_EQ(o.out.find(bad), std::string::npos) << c.arguments;
    }
    for (const char* table : {"lento.csv", "normal.csv"}) {
        std::string text = read_file(dir.file(table));
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 502) << table;
        EXPECT_EQ(text.find("inf"), std::string::npos) << table;
        EXPECT_EQ(text.find("nan"), std::string::npos) << table;
    }
    for (const char* absent : {"largo.png", "cresce.csv", "enorme.csv", "curto.png"})
        EXPECT_FALSE(std::filesystem::exists(dir.file(absent))) << absent;
}

}  // namespace
