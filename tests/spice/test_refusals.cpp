// What cannot be imported is refused all at once, one line each with its line number
// and text, and no netlist is written; limits beyond the analysis only warn.
#include <gtest/gtest.h>

#include "spice_testing.h"

namespace quorvat::spice {
namespace {

using testing::import_text;

TEST(SpiceRefusals, EveryRefusedLineIsListed) {
    ImportResult r = import_text(
        "refusals\n"
        "Z1 a 0 b zmod\n"
        "U1 a b 0 umod\n"
        "Y1 a 0 b 0 ymod\n"
        "O1 a 0 b 0 omod\n"
        "B1 a 0 V={v(b)*2}\n"
        "S1 a b c d smod\n"
        "W1 a b vc wmod\n"
        "T1 a 0 b 0 Z0=50 TD=1n\n"
        "A1 a b amod\n"
        "E1 a 0 POLY(1) b 0 0 1 2\n"
        "G1 a 0 VALUE={v(b)}\n"
        "E2 a 0 TABLE {v(b)} = (0,0) (1,1)\n"
        "X1 a b nada\n"
        "F1 a 0 Vnada 2\n"
        "H1 a 0 R1 2\n"
        "R1 a 0 1k\n"
        "V1 a 0 SIN(0 1 1k)\n"
        "R2 a 0 0\n"
        "K1 R1 L9 0.5\n"
        "R1 b 0 1\n"
        "E9 c 0 POLY(1) b 0 1 2\n");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.netlist.empty());
    std::vector<std::string> expected = {
        "linha 2: Z1 a 0 b zmod (fora do subconjunto linear: transistor MESFET)",
        "linha 3: U1 a b 0 umod (fora do subconjunto linear: linha de transmissão)",
        "linha 4: Y1 a 0 b 0 ymod (fora do subconjunto linear: linha de transmissão)",
        "linha 5: O1 a 0 b 0 omod (fora do subconjunto linear: linha de transmissão)",
        "linha 6: B1 a 0 V={v(b)*2} (fora do subconjunto linear: fonte comportamental)",
        "linha 7: S1 a b c d smod (fora do subconjunto linear: chave)",
        "linha 8: W1 a b vc wmod (fora do subconjunto linear: chave)",
        "linha 9: T1 a 0 b 0 Z0=50 TD=1n (fora do subconjunto linear: linha de transmissão)",
        "linha 10: A1 a b amod (fora do subconjunto linear: modelo de código)",
        "linha 11: E1 a 0 POLY(1) b 0 0 1 2 (POLY não linear: termo de grau 2 ou mais não nulo)",
        "linha 12: G1 a 0 VALUE={v(b)} (fonte controlada não linear (POLY, VALUE, TABLE))",
        "linha 13: E2 a 0 TABLE {v(b)} = (0,0) (1,1) (fonte controlada não linear (POLY, VALUE, TABLE))",
        "linha 14: X1 a b nada (subcircuito nada não definido)",
        "linha 15: F1 a 0 Vnada 2 (a corrente medida não é de uma fonte V conhecida)",
        "linha 16: H1 a 0 R1 2 (a corrente medida não é de uma fonte V conhecida)",
        "linha 18: V1 a 0 SIN(0 1 1k) (função sin não tem degrau equivalente e a fonte não tem valor AC nem DC)",
        "linha 19: R2 a 0 0 (resistência nula)",
        "linha 20: K1 R1 L9 0.5 (indutor não encontrado)",
        "linha 21: R1 b 0 1 (nome R1 repetido)",
        "linha 22: E9 c 0 POLY(1) b 0 1 2 (POLY com termo constante num deck sem AC: só nas funções de rede ou num "
        "circuito de pequenos sinais ele é descartado)",
    };
    EXPECT_EQ(r.refusals, expected);

    // Node names that begin like a keyword are no keyword.
    ImportResult nodes = import_text("t\nE3 a 0 andy 0 2\nG4 a 0 polyp 0 1m\nR1 a 0 1\n");
    EXPECT_TRUE(nodes.ok) << nodes.refusals[0];
}

TEST(SpiceRefusals, LimitsOfTheAnalysisOnlyWarn) {
    std::string deck = "escada\nV1 n0 0 AC 1\n";
    for (int i = 0; i < 30; ++i)
        deck += "R" + std::to_string(i) + " n" + std::to_string(i) + " n" + std::to_string(i + 1) + " 1\n";
    ImportResult r = import_text(deck);
    ASSERT_TRUE(r.ok);
    const std::string hint = ". Para circuitos maiores, use o cálculo exato (opção --exato, ou \"Cálculo exato\" nas opções)";
    std::vector<std::string> expected = {
        "o netlist tem 31 nós; a eliminação em ponto flutuante aceita até 25" + hint,
        "o netlist tem 32 variáveis; a eliminação em ponto flutuante aceita até 25" + hint};
    EXPECT_EQ(r.warnings, expected);
    EXPECT_NE(r.netlist.find("* Aviso: o netlist tem 31 nós"), std::string::npos);
    testing::Analysis analysis(r.netlist);
    EXPECT_FALSE(analysis.ok());
    EXPECT_NE(analysis.log().find("Número excessivo de nós (25)"), std::string::npos);
}

}  // namespace
}  // namespace quorvat::spice
