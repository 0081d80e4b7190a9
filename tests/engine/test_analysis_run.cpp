// The analysis run end to end through the fake host: path rules, early endings, the
// pause, and the worked example's log and files.
#include <cfenv>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "support/fake_host.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

using testing::FakeHost;
using testing::read_file;
using testing::ScratchDir;

const char* const worked_example =
    "Circuito RC de exemplo\n"
    "I1 0 1 1 DEGRAU\n"
    "R1 1 2 1\n"
    "C1 1 0 1\n"
    "C2 2 0 1\n";

struct AnalysisCase {
    std::unique_ptr<EngineTables> tables = std::make_unique<EngineTables>();
    FakeHost host;
    bool run(const std::string& file_name) {
        host.file_name = file_name;
        fp_clear();
        return run_analysis(*tables, host);
    }
};

TEST(PathRules, ExtensionAndBaseNameLookAtTheFileNamePartOnly) {
    EXPECT_EQ(netlist_path_for("teste"), "teste.net");
    EXPECT_EQ(netlist_path_for("teste.cir"), "teste.cir");
    EXPECT_EQ(netlist_path_for("/home/joao.silva/filtro"), "/home/joao.silva/filtro.net");
    EXPECT_EQ(netlist_path_for(""), ".net");
    EXPECT_EQ(base_name_for("teste.net"), "teste");
    EXPECT_EQ(base_name_for("/home/joao.silva/v1.2/filtro.b.net"), "/home/joao.silva/v1.2/filtro");
    EXPECT_EQ(base_name_for("/proj.new/x"), "/proj.new/x");
}

TEST(AnalysisRun, WorkedExampleEndToEnd) {
    ScratchDir dir;
    std::string path = dir.write("teste.net", worked_example);
    AnalysisCase r;
    ASSERT_TRUE(r.run(path)) << r.host.text();
    std::string base = dir.file("teste");
    std::string expected =
        "\n"
        "Lendo netlist " + path + ":\n"
        "I1 0 1 1 DEGRAU\n"
        "R1 1 2 1\n"
        "C1 1 0 1 () 0\n"
        "C2 2 0 1 () 0\n"
        "Variáveis: \n"
        "0: 0\n"
        "1: 1\n"
        "2: 2\n"
        "O circuito tem 2 nós, 2 variáveis e 4 elementos\n"
        "Calculando...\n"
        "Tempo usado: 0 s\n"
        "Multiplicações de polinômios: 4\n"
        "Divisões de polinômios: 3\n"
        "Resultados salvos como " + base + ".*\n"
        "Análise terminada com sucesso.\n";
    EXPECT_TRUE(testing::same_lines(r.host.text(), expected));
    EXPECT_EQ(read_file(base + ".n1"), "1\n 1.000000000000\n 1.000000000000\n 1.000000000000\n");
    EXPECT_EQ(read_file(base + ".n2"), "0\n 1.000000000000\n 1.000000000000\n");
    const char* denominator =
        "3\n 0.000000000000\n 0.000000000000\n 2.000000000000\n 1.000000000000\n 1.000000000000\n";
    EXPECT_EQ(read_file(base + ".d1"), denominator);
    EXPECT_EQ(read_file(base + ".d2"), denominator);
    EXPECT_EQ(r.host.proposed_plot_file, base + ".n1");
    EXPECT_EQ(r.host.results_listable, 1);
    EXPECT_TRUE(r.host.variables_menu_enabled);
    EXPECT_EQ(r.host.listed_variables, (std::vector<std::string>{"1", "2"}));
}

TEST(AnalysisRun, FileNameWithoutDotGetsNetAppended) {
    ScratchDir dir;
    dir.write("teste.net", worked_example);
    AnalysisCase r;
    EXPECT_TRUE(r.run(dir.file("teste")));
    EXPECT_EQ(r.host.lines.at(1), "Lendo netlist " + dir.file("teste.net") + ":");
    AnalysisCase missing;
    EXPECT_FALSE(missing.run(dir.file("nada")));
    EXPECT_EQ(missing.host.text(), "\nArquivo " + dir.file("nada.net") + " inexistente\n");
    EXPECT_EQ(missing.host.pauses, 0);
    EXPECT_FALSE(missing.host.variables_menu_enabled);
    EXPECT_EQ(missing.host.results_listable, 0);
}

TEST(AnalysisRun, DotInAFolderNameDoesNotNameTheResults) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.path() / "joao.silva");
    std::string path = dir.write("joao.silva/teste.net", worked_example);
    AnalysisCase r;
    ASSERT_TRUE(r.run(path));
    EXPECT_TRUE(std::filesystem::exists(dir.file("joao.silva/teste.n1")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("joao.n1")));
}

TEST(AnalysisRun, TitleOnlyNetlistWritesNoFileButSucceeds) {
    ScratchDir dir;
    std::string path = dir.write("vazio.net", "apenas o titulo\n");
    AnalysisCase r;
    ASSERT_TRUE(r.run(path)) << r.host.text();
    EXPECT_EQ(r.host.lines.at(2), "Variáveis: ");
    EXPECT_EQ(r.host.lines.at(3), "0: 0");
    EXPECT_EQ(r.host.lines.at(4), "O circuito tem 0 nós, 0 variáveis e 0 elementos");
    EXPECT_FALSE(std::filesystem::exists(dir.file("vazio.n1")));
    EXPECT_EQ(r.host.proposed_plot_file, dir.file("vazio.n1"));
}

TEST(AnalysisRun, NetlistErrorEndsBeforeThePause) {
    ScratchDir dir;
    AnalysisCase r;
    r.host.results_listable = 1;  // as a previous successful run left it
    ASSERT_FALSE(r.run(dir.write("x.net", "t\nR1 1 0 1\nQ1 1 0 1\n")));
    EXPECT_EQ(r.host.lines.back(), "Elemento desconhecido: Q1");
    EXPECT_EQ(r.host.pauses, 0);
    EXPECT_EQ(r.host.results_listable, 0);
    for (const auto& line : r.host.lines) EXPECT_NE(line, "Calculando...");
}

TEST(AnalysisRun, TooManyNodesEndsAfterReading) {
    ScratchDir dir;
    std::string body = "t\n";
    for (int i = 1; i <= 26; ++i) body += "R" + std::to_string(i) + " n" + std::to_string(i) + " 0 1\n";
    AnalysisCase r;
    ASSERT_FALSE(r.run(dir.write("x.net", body)));
    EXPECT_EQ(r.host.lines.back(), "Número excessivo de nós (25)");
    EXPECT_EQ(r.host.pauses, 0);
}

TEST(AnalysisRun, TooManyExtraCurrentsEndsBeforeTheVariables) {
    ScratchDir dir;
    std::string body = "t\n";
    for (int i = 1; i <= 13; ++i) body += "V" + std::to_string(i) + " n" + std::to_string(i) + " 0 1 DEGRAU\n";
    AnalysisCase r;
    ASSERT_FALSE(r.run(dir.write("x.net", body)));
    EXPECT_EQ(r.host.lines.back(), "As correntes extra excederam o número de variáveis permitido (25)");
    EXPECT_EQ(r.host.pauses, 0);
}

TEST(AnalysisRun, CancelledPauseEndsTheRun) {
    ScratchDir dir;
    AnalysisCase r;
    r.host.cancel_pause = true;
    ASSERT_FALSE(r.run(dir.write("teste.net", worked_example)));
    EXPECT_EQ(r.host.lines.back(), "Análise cancelada.");
    EXPECT_EQ(r.host.pauses, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("teste.n1")));
}

TEST(AnalysisRun, ZeroResistorIsAFloatingPointFaultAfterTheLinesBefore) {
    ScratchDir dir;
    AnalysisCase r;
    EXPECT_THROW(r.run(dir.write("r0.net", "t\nI1 0 1 1 DEGRAU\nR1 1 0 0\n")), FloatingPointFault);
    EXPECT_EQ(r.host.lines.back(), "Calculando...");
    fp_clear();
}

TEST(AnalysisRun, FlagsRaisedBeforeTheRunAreNotItsFaults) {
    ScratchDir dir;
    AnalysisCase r;
    r.host.file_name = dir.write("teste.net", worked_example);
    std::feraiseexcept(FE_INVALID | FE_DIVBYZERO);
    EXPECT_TRUE(run_analysis(*r.tables, r.host));
    fp_clear();
}

TEST(AnalysisRun, EmptyDispersionIsADivisionByZero) {
    ScratchDir dir;
    AnalysisCase r;
    r.host.dispersion_text = "";
    EXPECT_THROW(r.run(dir.write("teste.net", worked_example)), FloatingPointFault);
    fp_clear();
}

TEST(AnalysisRun, SecondSmallerRunOffersOnlyItsOwnVariables) {
    ScratchDir dir;
    AnalysisCase r;
    ASSERT_TRUE(r.run(dir.write("grande.net", "t\nV1 1 0 1 DEGRAU\nR1 1 2 1\nR2 2 3 1\nR3 3 0 1\n")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("grande.n4")));
    r.host.lines.clear();
    r.host.selection = {1, 2, 3, 4};
    r.host.set(AnalysisOption::details, true);
    ASSERT_TRUE(r.run(dir.write("pequeno.net", "t\nI1 0 1 1 DEGRAU\nR1 1 0 2\n")));
    EXPECT_EQ(r.host.listed_variables, std::vector<std::string>{"1"});
    int listed = 0, saved = 0;
    for (const auto& line : r.host.lines) {
        listed += line.rfind("Numerador ", 0) == 0 && line.back() == ':';
        saved += line.find("salvo no arquivo") != std::string::npos;
    }
    EXPECT_EQ(listed, 1);
    EXPECT_EQ(saved, 2);
    EXPECT_TRUE(std::filesystem::exists(dir.file("pequeno.n1")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("pequeno.n2")));
}

}  // namespace
}  // namespace quorvat
