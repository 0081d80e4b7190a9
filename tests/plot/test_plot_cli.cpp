#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include "cli/commands.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

using testing::ScratchDir;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun plot(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = cli::plot_command(args, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::vector<std::string>> read_csv(const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(testing::read_file(path));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream fields_in(line);
        std::string field;
        while (std::getline(fields_in, field, ',')) fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

// The test runs under comma locales too: read the numbers without the locale.
double number(const std::string& field) {
    double value = NAN;
    std::from_chars(field.data(), field.data() + field.size(), value);
    return value;
}

class PlotCommand : public ::testing::Test {
protected:
    void SetUp() override {
        // 1/(s + 1), and the worked example's first variable (s + 1) / (s^3 + 2 s^2).
        rc_n = dir.write("rc.n1", "0\n 1.000000000000\n 1.000000000000\n");
        dir.write("rc.d1", "1\n 1.000000000000\n 1.000000000000\n 1.000000000000\n");
        example_n = dir.write("teste.n1", "1\n 1.000000000000\n 1.000000000000\n 1.000000000000\n");
        dir.write("teste.d1",
                  "3\n 0.000000000000\n 0.000000000000\n 2.000000000000\n 1.000000000000\n 1.000000000000\n");
    }
    ScratchDir dir;
    std::string rc_n, example_n;
};

TEST_F(PlotCommand, HelpAndUsageErrors) {
    CliRun help = plot({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Uso: quorvat-cli plotar"), std::string::npos);
    EXPECT_TRUE(help.err.empty());
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"--wmax"},
        {"--cor", rc_n},
        {"--tamanho", "680", rc_n},
        {"--tamanho", "0x10", rc_n},
        {"--tamanho", "10x-3", rc_n},
        {dir.file("rc.d1")},
    };
    for (const auto& args : wrong) {
        CliRun run = plot(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(run.err.find("Uso: quorvat-cli plotar"), std::string::npos);
        EXPECT_TRUE(run.out.empty());
    }
}

TEST_F(PlotCommand, PrintsPlotarsLinesAndFailsWhenPlotarEndsEarly) {
    CliRun ok = plot({rc_n});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "Lendo arquivo " + rc_n + "\nLendo arquivo " + dir.file("rc.d1") + "\nLidas 1 funções\n");
    CliRun missing = plot({"--segmentos", "0", rc_n, dir.file("nada.n1")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out.substr(0, missing.out.find('\n')), "Número inválido de segmentos");
    EXPECT_NE(missing.out.find("Arquivo " + dir.file("nada.n1") + " não encontrado."), std::string::npos);
    EXPECT_EQ(plot({"--csv", dir.file("no/such/folder.csv"), rc_n}).status, 1);
}

TEST_F(PlotCommand, CsvHoldsTheResponseTable) {
    std::string csv = dir.file("r.csv");
    CliRun run = plot({"--wmin", "0.1", "--wmax", "10", "--segmentos", "2", "--csv", csv, rc_n, example_n});
    ASSERT_EQ(run.status, 0) << run.err;
    auto rows = read_csv(csv);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"k", "w", "ganho1", "fase1", "atraso1", "ganho2", "fase2", "atraso2"}));
    EXPECT_EQ(rows[1][0], "0");
    EXPECT_EQ(rows[1][1], "0.10000000000000001");  // 17 significant digits
    const auto& at_one = rows[2];
    ASSERT_EQ(at_one.size(), 8u);
    EXPECT_NEAR(number(at_one[1]), 1.0, 1e-15);
    EXPECT_NEAR(number(at_one[2]), 10 * std::log10(0.5), 1e-12);
    EXPECT_NEAR(number(at_one[3]), -45.0, 1e-12);
    EXPECT_NEAR(number(at_one[4]), 0.5, 1e-12);
    // (1 + j) / (-(2 + j)) = -(3 + j) / 5; delay -(1/2 - 2/5).
    EXPECT_NEAR(number(at_one[5]), 10 * std::log10(0.4), 1e-12);
    EXPECT_NEAR(number(at_one[6]), std::atan2(-0.2, -0.6) * 180 / M_PI, 1e-9);
    EXPECT_NEAR(number(at_one[7]), -0.1, 1e-12);
    EXPECT_NEAR(number(rows[3][1]), 10.0, 1e-13);
}

TEST_F(PlotCommand, CsvWritesNanWhereAPointIsNotDrawn) {
    std::string zero_n = dir.write("zero.n1", "1\n0\n1\n1\n");
    dir.write("zero.d1", "0\n1\n1\n");
    std::string csv = dir.file("z.csv");
    ASSERT_EQ(plot({"--linear", "--wmin", "0", "--wmax", "1", "--segmentos", "1", "--csv", csv, zero_n}).status, 0);
    auto rows = read_csv(csv);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][4], "nan");
    EXPECT_LT(number(rows[1][2]), -200.0);
    EXPECT_EQ(rows[2][4], "0");
}

TEST_F(PlotCommand, PngIsTheWindowsPictureOfTheResponse) {
    std::string png = dir.file("r.png"), csv = dir.file("r.csv");
    CliRun run = plot({"--sem-fase", "--sem-atraso", "--png", png, "--csv", csv, rc_n});
    ASSERT_EQ(run.status, 0) << run.err;
    QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.width(), 680);
    ASSERT_EQ(image.height(), 442);
    EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(300, 10)), QColor(Qt::white));  // the frame
    auto rows = read_csv(csv);
    ASSERT_EQ(rows.size(), 302u);
    for (int k = 0; k < 300; k += 7) {
        double gain = number(rows[k + 1][2]);
        int row = static_cast<int>(std::floor(gain * -5.175 + 113.5 + 0.5));
        EXPECT_EQ(QColor(image.pixel(70 + 2 * k, row)), QColor(Qt::white)) << k;
    }
    for (int y = 0; y < 442; ++y)
        for (int x = 0; x < 680; ++x) {
            QColor c(image.pixel(x, y));
            ASSERT_FALSE(c.green() > 200 && c.red() < 50) << x << "," << y;  // no phase
            ASSERT_FALSE(c.red() > 200 && c.green() < 50) << x << "," << y;   // no delay
        }

    ASSERT_EQ(plot({"--tamanho", "340x221", "--linear", "--hz", "--png", png, rc_n}).status, 0);
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(340, 221));
    EXPECT_EQ(plot({"--png", dir.file("no/such/folder.png"), rc_n}).status, 1);
}

}  // namespace
}  // namespace quorvat
