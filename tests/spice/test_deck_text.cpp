// The text of a deck: title, comments, continuations, .include and .lib, the blocks
// and commands that do not describe the circuit, .end.
#include <gtest/gtest.h>

#include "spice_testing.h"

namespace quorvat::spice {
namespace {

using testing::element_lines;
using testing::import_text;

TEST(SpiceDeckText, CommentsContinuationsAndEnd) {
    ImportResult r = import_text(
        "R9 is the title, not an element\n"
        "\n"
        "* a comment line\n"
        "   * an indented comment\n"
        "R1 a b ; the value comes next\n"
        "* a comment between a line and its continuation\n"
        "+ 1k\n"
        "C1 b 0 $ comment\n"
        "+ 1n\n"
        "+ IC=2\n"
        "R2 b 0 2$ a comment right after the value\n"
        ".END\n"
        "R3 c 0 1\n");
    ASSERT_TRUE(r.ok) << r.refusals[0];
    EXPECT_EQ(element_lines(r.netlist), "R1 a b 1000\nC1 b 0 1e-09 IC=2\nR2 b 0 2\n");
    EXPECT_EQ(r.netlist.substr(0, r.netlist.find('\n')), "R9 is the title, not an element");
}

TEST(SpiceDeckText, DotCommandsAreSkippedWithANote) {
    ImportResult r = import_text(
        "t\nR1 a 0 1\n.ac dec 10 1 1meg\n.tran 1u 1m\n.options reltol=1e-4\n.model dm D(Is=1e-14)\n"
        ".control\nrun\nplot v(a)\n.endc\n.print ac v(a)\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(element_lines(r.netlist), "R1 a 0 1\n");
    ASSERT_EQ(r.notes.size(), 5u);  // the .model is read by the elements that name it
    EXPECT_EQ(r.notes[0], "linha 7: .control (bloco .control ... .endc ignorado)");
    EXPECT_EQ(r.notes[1], "linha 3: .ac dec 10 1 1meg (ignorado: não descreve o circuito)");
    EXPECT_NE(r.netlist.find("* Nota: linha 4: .tran 1u 1m"), std::string::npos);
}

TEST(SpiceDeckText, IncludeAndLibraryFollowTheDecksFolder) {
    std::map<std::string, std::string> files = {
        {"/decks/parts/rede.inc", "R2 b 0 2k\n.include ../c.inc\n.end\nR8 x 0 1\n"},
        {"/decks/c.inc", "C1 b 0 1u\n"},
        {"/decks/lib/modelos.lib", ".lib tipico\nR3 b 0 3k\n.endl\n.lib lento\nR4 b 0 4k\n.endl\n"},
    };
    ImportResult r = import_text("t\nR1 a b 1k\n.include 'parts/rede.inc'\n.lib lib/modelos.lib lento\n", {}, files);
    ASSERT_TRUE(r.ok) << r.refusals[0];
    EXPECT_EQ(element_lines(r.netlist), "R1 a b 1000\nR2 b 0 2000\nC1 b 0 1e-06\nR4 b 0 4000\n");

    ImportResult missing = import_text("t\n.include nada.inc\n.lib lib/modelos.lib rapido\n", {}, files);
    EXPECT_FALSE(missing.ok);
    ASSERT_EQ(missing.refusals.size(), 2u);
    EXPECT_EQ(missing.refusals[0], "linha 2: .include nada.inc (arquivo /decks/nada.inc inexistente)");
    EXPECT_EQ(missing.refusals[1], "linha 3: .lib lib/modelos.lib rapido (seção rapido não encontrada)");

    ImportResult loop = import_text("t\n.include eu.inc\n", {}, {{"/decks/eu.inc", ".include eu.inc\n"}});
    ASSERT_EQ(loop.refusals.size(), 1u);
    EXPECT_NE(loop.refusals[0].find("inclusões encadeadas demais"), std::string::npos);
}

}  // namespace
}  // namespace quorvat::spice
