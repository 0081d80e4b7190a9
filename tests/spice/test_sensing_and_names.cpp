// F and H: the sensed current through a 0 V ammeter, through a source with a voltage,
// shared by several; and the names our netlist cannot carry, replaced and listed.
#include <gtest/gtest.h>

#include "spice_testing.h"

namespace quorvat::spice {
namespace {

using testing::element_lines;
using testing::import_text;

TEST(SpiceSensedCurrents, EachArrangement) {
    struct Case {
        const char* deck;
        const char* lines;
        const char* header;  // a header line the arrangement must produce
    } cases[] = {
        {// one F through an ammeter: the ammeter's branch becomes F's input
         "t\nV1 in 0 AC 1\nR1 in m 1k\nVam m 0 0\nF1 0 out Vam 10\nR2 out 0 200\n",
         "V1 in 0 1 IMPULSO\nR1 in m 1000\nF1 0 out m 0 10\nR2 out 0 200\n",
         "* Nota: linha 4: Vam m 0 0 (fonte de 0 V trocada pelo ramo de entrada de F1)\n"},
        {// F and H through one ammeter: their inputs in series, F first as in the deck
         "t\nV1 in 0 AC 1\nR1 in m 1k\nH1 o2 0 VAM 500\nVam m 0 DC 0\nF1 0 o1 vam 10\nR2 o1 0 200\n",
         "V1 in 0 1 IMPULSO\nR1 in m 1000\nH1 o2 0 m n_1 500\nF1 0 o1 n_1 0 10\nR2 o1 0 200\n",
         "*   n_1: nó novo entre as entradas de H1 e de F1\n"},
        {// a source with a voltage keeps its place, the inputs follow it in series
         "t\nVs in 0 AC 1\nR1 in 0 1k\nF2 0 o3 Vs 1\nR3 o3 0 1k\nH2 o4 0 Vs 1k\n",
         "Vs in n_1 1 IMPULSO\nR1 in 0 1000\nF2 0 o3 n_1 n_2 1\nR3 o3 0 1000\nH2 o4 0 n_2 0 1000\n",
         "*   n_1: nó novo entre Vs e a entrada de F2\n"},
        {// an ammeter nobody senses stays a source of 0 V
         "t\nV1 a 0 1\nVam a b 0\nR1 b 0 1\n", "V1 a 0 1 DEGRAU\nVam a b 0 DEGRAU\nR1 b 0 1\n", "* Fontes sem AC: degrau"},
    };
    for (const Case& c : cases) {
        ImportResult r = import_text(c.deck);
        ASSERT_TRUE(r.ok) << c.deck << r.refusals[0];
        EXPECT_EQ(element_lines(r.netlist), c.lines) << c.deck;
        EXPECT_NE(r.netlist.find(c.header), std::string::npos) << r.netlist;
    }
}

TEST(SpiceNames, ReplacementsFitOurLanguageAndAreListed) {
    ImportResult r = import_text(
        "kicad\n"
        "R1 /in Net-(C1-Pad1) 1k\n"
        "C1 Net-(C1-Pad1) GND 1u\n"
        "Rmuito_comprido /in n_1 2k\n"  // a deck node named like a replacement keeps its name
        "r2 N_1 0 3k\n"                 // SPICE names ignore case: N_1 is n_1
        "Cç /in 0 1n\n"
        "V1 /in 0 AC 1\n");
    ASSERT_TRUE(r.ok) << r.refusals[0];
    EXPECT_EQ(element_lines(r.netlist),
              "R1 n_2 n_3 1000\n"
              "C1 n_3 0 1e-06\n"
              "R_1 n_2 n_1 2000\n"
              "R2 n_1 0 3000\n"
              "C_1 n_2 0 1e-09\n"
              "V1 n_2 0 1 IMPULSO\n");
    EXPECT_NE(r.netlist.find("* Nomes trocados (deck -> netlist):\n"
                             "*   /in -> n_2\n"
                             "*   Net-(C1-Pad1) -> n_3\n"
                             "*   Rmuito_comprido -> R_1\n"
                             "*   Cç -> C_1\n"),
              std::string::npos)
        << r.netlist;
    // The netlist reads back: the engine accepts every name and node.
    testing::Analysis analysis(r.netlist);
    EXPECT_TRUE(analysis.ok()) << analysis.log();
}

}  // namespace
}  // namespace quorvat::spice
