// quorvat-cli importar, and SPICE decks given to analisar and verificar.
#include <sys/wait.h>

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

const char* const rc_deck =
    "RC low-pass\n"
    "V1 in 0 DC 0 AC 1\n"
    "R1 in out 1k\n"
    "C1 out 0 1u\n"
    ".ac dec 10 1 100k\n"
    ".end\n";

const char* const refused_deck = "bad\nD1 a 0 dm\nR1 a 0 1k\nB1 a b V={1}\n";
const char* const diode_deck = "diodo\nV1 a 0 DC 5 AC 1\nR1 a b 1k\nD1 b 0 dm\n.model dm D(IS=1e-14)\n";

TEST(CliImport, CommandsOnDecks) {
    ScratchDir dir;
    dir.write("rc.cir", rc_deck);
    dir.write("rc_spice.net", rc_deck);
    dir.write("bad.sp", refused_deck);
    dir.write("diodo.cir", diode_deck);
    const std::string refusal =
        "Deck SPICE bad.sp recusado:\n"
        "  linha 4: B1 a b V={1} (fora do subconjunto linear: fonte comportamental)\n";
    struct Case {
        const char* arguments;
        int status;
        const char* out;  // text that standard output must hold
        std::string err;  // standard error, whole
    } cases[] = {
        {"importar rc.cir", 0, "RC low-pass\n* Importado do deck SPICE rc.cir", ""},
        {"importar rc.cir", 0, "V1 in 0 1 IMPULSO\nR1 in out 1000\nC1 out 0 1e-06\n", ""},
        {"importar --fontes degrau --saida rc.net rc.cir", 0, "Netlist gravado em rc.net\n", ""},
        {"importar bad.sp", 1, "", refusal},
        {"importar --saida bad.net bad.sp", 1, "", refusal},
        {"importar --fontes rampa rc.cir", 2, "", ""},
        {"importar", 2, "", ""},
        {"analisar rc.cir", 0, "Importação: linha 5: .ac dec 10 1 100k (ignorado: não descreve o circuito)\n", ""},
        {"analisar --spice rc_spice.net", 0, "Resultados salvos como rc_spice.*\n", ""},
        {"analisar bad.sp", 1, "", refusal},
        {"analisar --amp-op opamp rc.cir", 2, "", ""},
        {"verificar rc.cir", 0, "out                0       1", ""},
        {"importar diodo.cir", 0, "V1 a 0 1 IMPULSO\nR1 a b 1000\nrd_D1 b 0 ", ""},
        {"importar --ponto diodo.cir", 0, "D1 (modelo dm)\n  id", ""},
        {"importar --ponto rc.cir", 0, "não tem diodos nem transistores", ""},
    };
    for (const Case& c : cases) {
        Outcome o = run_cli(dir, c.arguments);
        EXPECT_EQ(o.status, c.status) << c.arguments << "\n" << o.err;
        EXPECT_NE(o.out.find(c.out), std::string::npos) << c.arguments << "\n" << o.out;
        if (c.status != 2) {
            EXPECT_EQ(o.err, c.err) << c.arguments;
        }
    }
    // What the commands wrote: the step netlist, the deck's results under its base name,
    // and nothing for a refused deck.
    EXPECT_NE(read_file(dir.file("rc.net")).find("V1 in 0 1 DEGRAU\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.file("rc.n2")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("rc_spice.d3")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.net")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.n1")));
}

TEST(CliImport, ImportedNetlistAnalysesLikeTheDeck) {
    ScratchDir dir;
    dir.write("rc.cir", rc_deck);
    ASSERT_EQ(run_cli(dir, "importar --saida copia.net rc.cir").status, 0);
    ASSERT_EQ(run_cli(dir, "analisar rc.cir").status, 0);
    ASSERT_EQ(run_cli(dir, "analisar copia.net").status, 0);
    for (const char* suffix : {".n1", ".d1", ".n2", ".d2", ".n3", ".d3"})
        EXPECT_EQ(read_file(dir.file(std::string("rc") + suffix)), read_file(dir.file(std::string("copia") + suffix)))
            << suffix;
}

}  // namespace
