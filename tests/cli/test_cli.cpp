// quorvat-cli analisar as a process: its output, files and exit statuses.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/cli_run.h"
#include "support/test_files.h"

namespace {

using quorvat::testing::read_file;
using quorvat::testing::ScratchDir;
using quorvat::testing::run_cli;
using quorvat::testing::shell_quoted;
using Outcome = quorvat::testing::CliOutcome;

const char* const worked_example = "exemplo\nI1 0 1 1 DEGRAU\nR1 1 2 1\nC1 1 0 1\nC2 2 0 1\n";

TEST(CliAnalyze, WorkedExamplePrintsTheRunsLogAndWritesTheFiles) {
    ScratchDir dir;
    std::string net = dir.write("teste.net", worked_example);
    Outcome o = run_cli(dir, "analisar --selecionar 2 " + shell_quoted(net));
    EXPECT_EQ(o.status, 0) << o.err;
    std::string base = dir.file("teste");
    std::string expected =
        "\n"
        "Lendo netlist " + net + ":\n"
        "I1 0 1 1 DEGRAU\nR1 1 2 1\nC1 1 0 1 () 0\nC2 2 0 1 () 0\n"
        "Variáveis: \n0: 0\n1: 1\n2: 2\n"
        "O circuito tem 2 nós, 2 variáveis e 4 elementos\n"
        "Calculando...\n"
        "Tempo usado: 0 s\nMultiplicações de polinômios: 4\nDivisões de polinômios: 3\n"
        "Numerador 2 (2):\na0:  1.000000000000\nCte:  1.000000000000\n"
        "Denominador 2 (2):\na0:  0.000000000000\na1:  0.000000000000\na2:  2.000000000000\n"
        "a3:  1.000000000000\nCte:  1.000000000000\n"
        "Resultados salvos como " + base + ".*\n"
        "Análise terminada com sucesso.\n";
    EXPECT_TRUE(quorvat::testing::same_lines(o.out, expected));
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(read_file(base + ".n1"), "1\n 1.000000000000\n 1.000000000000\n 1.000000000000\n");
}

TEST(CliAnalyze, FlagsStandForTheDialog) {
    ScratchDir dir;
    std::string net = dir.write("teste.net", worked_example);
    Outcome o = run_cli(dir, "analisar --detalhes --sem-normalizar --estampas " + shell_quoted(net));
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("Sistema após a estampa de C2\n"), std::string::npos);
    EXPECT_NE(o.out.find("Integração: Grau do denominador 1 aumentado para 3\n"), std::string::npos);
    EXPECT_NE(o.out.find("Numerador 1 (1) salvo no arquivo " + dir.file("teste.n1") + "\n"), std::string::npos);
    EXPECT_EQ(o.out.find("Resultados salvos como"), std::string::npos);
}

TEST(CliAnalyze, LoggedFailureExitsWithOne) {
    ScratchDir dir;
    Outcome missing = run_cli(dir, "analisar " + shell_quoted(dir.file("nada.net")));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "\nArquivo " + dir.file("nada.net") + " inexistente\n");
    std::string singular = dir.write("s.net", "t\nI1 0 1 1 DEGRAU\nI2 0 2 1 DEGRAU\nR1 1 0 1\n");
    Outcome o = run_cli(dir, "analisar " + shell_quoted(singular));
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.out.find("Cálculo interrompido.\n"), std::string::npos);
}

TEST(CliAnalyze, FloatingPointFaultExitsWithThreeAfterTheLogLines) {
    ScratchDir dir;
    std::string net = dir.write("r0.net", "t\nI1 0 1 1 DEGRAU\nR1 1 0 0\n");
    Outcome o = run_cli(dir, "analisar " + shell_quoted(net));
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.out.find("R1 1 0 0\n"), std::string::npos);
    EXPECT_EQ(o.out.substr(o.out.size() - 14), "Calculando...\n");
    EXPECT_EQ(o.err, "Divisão por zero em ponto flutuante.\n");
}

TEST(CliAnalyze, UsageErrorsExitWithTwo) {
    ScratchDir dir;
    for (const char* words : {"analisar", "analisar --nada x.net", "analisar --zero", "analisar a.net b.net",
                              "analisar --selecionar 1,x a.net", "desconhecido"}) {
        Outcome o = run_cli(dir, words);
        EXPECT_EQ(o.status, 2) << words;
        EXPECT_NE(o.err.find("Uso: quorvat-cli"), std::string::npos) << words;
        EXPECT_EQ(o.out, "") << words;
    }
    Outcome help = run_cli(dir, "analisar --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--dispersao"), std::string::npos);
    EXPECT_EQ(run_cli(dir, "--help").status, 0);
}

TEST(CliAnalyze, NumericOptionsUseTheLenientConversion) {
    ScratchDir dir;
    std::string net = dir.write("teste.net", worked_example);
    // "1e12abc" converts as 1e12, so the run is the default one.
    Outcome o = run_cli(dir, "analisar --dispersao 1e12abc " + shell_quoted(net));
    EXPECT_EQ(o.status, 0);
    // An empty dispersion converts as 0: the first trimming divides by zero.
    Outcome zero = run_cli(dir, "analisar --dispersao '' " + shell_quoted(net));
    EXPECT_EQ(zero.status, 3);
}

TEST(CliVerify, TableAndExitStatus) {
    ScratchDir dir;
    std::string net = dir.write("teste.net", worked_example);
    Outcome ok = run_cli(dir, "verificar " + shell_quoted(net));
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.out.find("Análise terminada com sucesso.\n\nVerificação numérica em 16 frequências"), std::string::npos);
    EXPECT_NE(ok.out.find("Variável  Nome          Grau N  Grau D  Erro relativo  Situação\n"), std::string::npos);
    EXPECT_NE(ok.out.find("       1  1                  1       3"), std::string::npos) << ok.out;
    EXPECT_EQ(ok.out.find("impreciso"), std::string::npos);
    // A tolerance below any rounding marks every variable as inexact.
    Outcome strict = run_cli(dir, "verificar --tolerancia -1 " + shell_quoted(net));
    EXPECT_EQ(strict.status, 4);
    EXPECT_NE(strict.out.find("impreciso"), std::string::npos);
    EXPECT_EQ(run_cli(dir, "verificar " + shell_quoted(dir.file("nada.net"))).status, 1);
}

TEST(CliPairs, RootsAndExportsOfTheWorkedExample) {
    ScratchDir dir;
    std::string net = dir.write("teste.net", worked_example);
    ASSERT_EQ(run_cli(dir, "analisar " + shell_quoted(net)).status, 0);
    Outcome roots = run_cli(dir, "raizes " + shell_quoted(dir.file("teste.n1")));
    EXPECT_EQ(roots.status, 0) << roots.err;
    EXPECT_NE(roots.out.find("Denominador: " + dir.file("teste.d1") + "\n"), std::string::npos);
    EXPECT_NE(roots.out.find("Ganho: 1\nZeros: 1\n  -1\nPolos: 3\n  0  (multiplicidade 2)\n  -2\n"),
              std::string::npos)
        << roots.out;
    Outcome python = run_cli(dir, "exportar --formato python " + shell_quoted(dir.file("teste.n1")));
    EXPECT_EQ(python.status, 0);
    EXPECT_NE(python.out.find("b = [1, 1]\na = [1, 2, 0, 0]\n"), std::string::npos) << python.out;
    Outcome missing = run_cli(dir, "raizes " + shell_quoted(dir.file("teste.n9")));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(run_cli(dir, "exportar " + shell_quoted(dir.file("teste.n1"))).status, 2);
    EXPECT_EQ(run_cli(dir, "raizes " + shell_quoted(dir.file("teste.x1"))).status, 2);
}

}  // namespace

namespace {

// The command with standard output sent to stdout_target (a file or /dev/full); a hang
// ends after 20 s with a status the tests do not expect.
Outcome run_cli_to(const ScratchDir& dir, const std::string& arguments, const std::string& stdout_target) {
    std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    std::string command = "timeout 20 " + shell_quoted(QUORVAT_CLI) + " " + arguments + " >" +
                          shell_quoted(stdout_target) + " 2>" + shell_quoted(err) + " </dev/null";
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, stdout_target == out ? read_file(out) : "", read_file(err)};
}

std::string quoted_file(const ScratchDir& dir, const std::string& name) { return shell_quoted(dir.file(name)); }

TEST(CliFaults, FilesThatAreNotRegularOrTooLargeAreRefusedWithoutBlocking) {
    ScratchDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo.n1").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.n1"));
    std::filesystem::create_directory(dir.file("pasta.n1"));
    dir.write("grande.n1", std::string(2 * 1024 * 1024 + 1, ' '));  // beyond polynomial files of any degree
    const std::pair<const char*, const char*> files[] = {{"fifo.n1", "não é um arquivo comum"},
                                                         {"zero.n1", "não é um arquivo comum"},
                                                         {"pasta.n1", "não é um arquivo comum"},
                                                         {"grande.n1", "grande demais (mais de"}};
    for (const auto& [name, message] : files) {
        std::string file = quoted_file(dir, name);
        for (const std::string& command : {"analisar " + file, "verificar " + file, "raizes " + file + " " + file,
                                          "exportar --formato json " + file + " " + file, "plotar " + file}) {
            Outcome o = run_cli_to(dir, command, dir.file("stdout.txt"));
            EXPECT_EQ(o.status, 1) << command;
            EXPECT_NE((o.out + o.err).find(message), std::string::npos) << command << o.out << o.err;
        }
    }
}

TEST(CliFaults, StandardOutputWriteErrorsAreNeverSuccess) {
    ScratchDir dir;
    std::string net = dir.write("teste.net", worked_example);
    ASSERT_EQ(run_cli(dir, "analisar " + shell_quoted(net)).status, 0);
    std::string n1 = quoted_file(dir, "teste.n1");
    for (const std::string& command : {"analisar " + shell_quoted(net), "verificar " + shell_quoted(net), "raizes " + n1,
                                      "exportar --formato json " + n1, "plotar " + n1}) {
        Outcome o = run_cli_to(dir, command, "/dev/full");
        EXPECT_EQ(o.status, 1) << command;
        EXPECT_EQ(o.err, "quorvat-cli: erro ao escrever na saída padrão: disco cheio\n") << command;
    }
    Outcome png = run_cli(dir, "plotar --png /dev/full " + n1);
    EXPECT_EQ(png.status, 1);
    EXPECT_EQ(png.err, "quorvat-cli plotar: Erro ao gravar o arquivo /dev/full: disco cheio\n");
}

TEST(CliFaults, ResultFilesNeverReplaceTheNetlistOrAProtectedFile) {
    ScratchDir dir;
    std::string circuit = dir.write("circ.n1", worked_example);
    Outcome own = run_cli(dir, "analisar " + shell_quoted(circuit));
    EXPECT_EQ(own.status, 1);
    EXPECT_NE(own.out.find("O arquivo de resultado " + circuit + " é o próprio netlist"), std::string::npos);
    EXPECT_EQ(read_file(circuit), worked_example);
    EXPECT_FALSE(std::filesystem::exists(dir.file("circ.d1")));

    std::string net = dir.write("teste.net", worked_example);
    std::string old_n1 = dir.write("teste.n1", "velho\n"), old_d2 = dir.write("teste.d2", "protegido\n");
    std::filesystem::permissions(old_d2, std::filesystem::perms::owner_read);
    Outcome read_only = run_cli(dir, "analisar " + shell_quoted(net));
    if (geteuid() != 0) {  // root may write any file: there the old file is simply replaced
        EXPECT_EQ(read_only.status, 1);
        EXPECT_NE(read_only.out.find("Erro ao gravar o arquivo " + old_d2 + ": permissão negada"), std::string::npos);
        EXPECT_EQ(read_file(old_n1), "velho\n");
        EXPECT_EQ(read_file(old_d2), "protegido\n");
    }
}

TEST(CliFaults, NoSilentSuccessInVerificationRootsAndPlots) {
    ScratchDir dir;
    // A 1e-300 resistor leaves no frequency at which the direct solution can be used; the
    // exact solution is the reference instead.
    std::string tiny = dir.write("v.net", "t\nI1 0 1 1 DEGRAU\nR1 1 2 1e-300\nR2 2 0 1\nC1 1 0 1\n");
    Outcome exact = run_cli(dir, "verificar " + shell_quoted(tiny));
    EXPECT_EQ(exact.status, 0) << exact.out;
    // With capacitors of 1e-200 and 1e200 F the exact result does not fit in doubles
    // either: nothing can be verified.
    std::string vacuous =
        dir.write("w.net", "t\nI1 0 1 1 DEGRAU\nR1 1 2 1e-300\nR2 2 0 1\nC1 1 0 1e-200\nC2 2 0 1e200\n");
    Outcome unverified = run_cli(dir, "verificar " + shell_quoted(vacuous));
    EXPECT_EQ(unverified.status, 4);
    EXPECT_NE(unverified.out.find("não verificado"), std::string::npos);
    EXPECT_NE(unverified.out.find("Aviso: os resultados não puderam ser verificados"), std::string::npos);
    // A circuit without variables has nothing that could differ: no warning, status 0.
    Outcome empty = run_cli(dir, "verificar " + shell_quoted(dir.write("e.net", "t\nR1 0 0 1\n")));
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out.find("Aviso"), std::string::npos);

    dir.write("d.d1", "0\n1\n1\n");
    dir.write("d.n1", "2\n1e200\n0\n1e-200\n1\n");
    Outcome wide = run_cli(dir, "raizes " + quoted_file(dir, "d.n1"));
    EXPECT_EQ(wide.status, 0) << wide.err;
    EXPECT_NE(wide.out.find("Zeros: 2\n  0 ± 1e+200j"), std::string::npos) << wide.out;
    dir.write("e.d1", "0\n1\n1\n");
    dir.write("e.n1", "1\n1e300\n1e-300\n1\n");  // its root, -1e600, is beyond the double range
    Outcome beyond = run_cli(dir, "raizes " + quoted_file(dir, "e.n1"));
    EXPECT_EQ(beyond.status, 0);
    EXPECT_NE(beyond.out.find("Zeros: 1\n  -1.000000000e+600\n"), std::string::npos) << beyond.out;
    EXPECT_EQ(beyond.out.find("nan"), std::string::npos);

    dir.write("z.n1", "0\n1\n1\n");
    dir.write("z.d1", "1\n0\n0\n1\n");
    Outcome zero = run_cli(dir, "plotar " + quoted_file(dir, "z.n1"));
    EXPECT_EQ(zero.status, 1);
    EXPECT_NE(zero.out.find("Curva 1 (" + dir.file("z.n1") + " / " + dir.file("z.d1") +
                            ") não pode ser calculada em nenhum ponto\n"),
              std::string::npos);
    const std::pair<const char*, const char*> refused[] = {
        {"--wmax 1e400", "--wmax recusado"},
        {"--gmin 3 --gmax 3", "--gmin e --gmax recusados"},
        {"--wmin 5 --wmax 1", "--wmin e --wmax recusados"}};
    for (const auto& [options, message] : refused) {
        Outcome o = run_cli(dir, std::string("plotar ") + options + " " + quoted_file(dir, "d.n1"));
        EXPECT_EQ(o.status, 2) << options;
        EXPECT_NE(o.err.find(message), std::string::npos) << options << o.err;
    }
}

TEST(CliFaults, ControlCharactersAreShownNotSent) {
    ScratchDir dir;
    std::string net = dir.write("esc.net", "t\nI1 0 a\x1b[2Jb 1 DEGRAU\nR1 a\x1b[2Jb 0 1\nR2 a\xc2\x9b" "2J 0 1\n");
    Outcome o = run_cli(dir, "analisar " + shell_quoted(net));
    EXPECT_EQ(o.status, 0) << o.out;
    EXPECT_EQ(o.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(o.out.find("\xc2\x9b"), std::string::npos);
    EXPECT_NE(o.out.find("I1 0 a\xEF\xBF\xBD[2Jb 1 DEGRAU\n"), std::string::npos) << o.out;
    // The result files keep the bytes: only the terminal is protected.
    EXPECT_NE(read_file(dir.file("esc.n1")).size(), 0u);
}

}  // namespace
