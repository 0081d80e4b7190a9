// The netlist reader: conversions, echoes, node numbering, limits and refusals.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/fp_fault.h"
#include "engine/netlist.h"
#include "engine/scanner.h"
#include "support/fake_host.h"

namespace quorvat {
namespace {

using testing::FakeHost;

struct Reading {
    std::unique_ptr<EngineTables> tables = std::make_unique<EngineTables>();
    FakeHost host;
    bool ok = false;

    explicit Reading(const std::string& body, const std::string& title = "titulo\n") {
        tables->set_variable_name(0, "0");
        ok = read_netlist(*tables, host, title + body);
    }
    const ElementRecord& element(int i) const { return tables->elements[i]; }
    std::string node(int i) const { return tables->variable_name(i); }
};

TEST(NetlistReader, TitleOnlyGivesNoElementAndNoNode) {
    Reading r("", "R1 1 0 1\n");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.tables->element_count, 0);
    EXPECT_EQ(r.tables->variable_count, 0);
    EXPECT_TRUE(r.host.lines.empty());
}

TEST(NetlistReader, EchoesEveryKindWithItsFormat) {
    Reading r(
        "r1 a 0 1000\n"
        "C1 a 0 1e-6\n"
        "C2 a b 2 IC=0.5\n"
        "C3 b 0 3 0.25\n"
        "L1 b c 1e-3\n"
        "L2 c 0 4 IC=-1\n"
        "K1 L1 L2 0.5\n"
        "G1 a 0 b 0 2\n"
        "E1 d 0 a b 10\n"
        "F1 d 0 c 0 3\n"
        "H1 e 0 c 0 7\n"
        "O1 f 0 a e\n"
        "i1 0 a 1 degrau\n"
        "V1 g 0 2.5 IMPULSO\n"
        "* a comment line\n"
        ".end\n");
    ASSERT_TRUE(r.ok) << r.host.text();
    const std::vector<std::string> expected = {
        "R1 a 0 1000",
        "C1 a 0 1e-06 () 0",
        "C2 a b 2 ( IC=) 0.5",
        "C3 b 0 3 ( ) 0.25",
        "L1 b c 0.001 () 0",
        "L2 c 0 4 ( IC=) -1",
        "K1 L1 L2 0.5",
        "(L1 está na linha 5, L2 está na linha 6)",
        "G1 a 0 b 0 2",
        "E1 d 0 a b 10",
        "F1 d 0 c 0 3",
        "H1 e 0 c 0 7",
        "O1 f 0 a e",
        "I1 0 a 1 Degrau",
        "V1 g 0 2.5 IMPULSO",
    };
    EXPECT_EQ(r.host.lines, expected);
    EXPECT_EQ(r.tables->element_count, 14);
    // Nodes in order of first appearance, element by element and field by field.
    EXPECT_EQ(r.tables->variable_count, 7);
    EXPECT_EQ(r.node(1), "a");
    EXPECT_EQ(r.node(2), "b");
    EXPECT_EQ(r.node(3), "c");
    EXPECT_EQ(r.node(7), "g");
    EXPECT_EQ(r.element(1).a, 1);
    EXPECT_EQ(r.element(1).b, 0);
    EXPECT_DOUBLE_EQ(r.element(7).second_value, 0.5 * std::sqrt(1e-3 * 4.0));
    EXPECT_EQ(r.element(7).a, 5);
    EXPECT_EQ(r.element(7).b, 6);
    EXPECT_EQ(r.element(13).y, 'D');
    EXPECT_EQ(r.element(14).y, 'I');
    EXPECT_EQ(r.element(12).c, 1);
    EXPECT_EQ(r.element(12).d, 5);
}

TEST(NetlistReader, NodesAreExactWords) {
    Reading r("R1 a A 1\nR2 0 00 1\n");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.tables->variable_count, 3);
    EXPECT_EQ(r.element(2).a, 0);
    EXPECT_EQ(r.element(2).b, 3);
}

TEST(NetlistReader, NumbersFollowTheDecimalNotationOnly) {
    Reading r("R1 1 0 -.5e+2\nR2 1 0 +7.\nR3 1 0 1E3\r\n");
    ASSERT_TRUE(r.ok) << r.host.text();
    EXPECT_EQ(r.element(1).value, -50.0);
    EXPECT_EQ(r.element(2).value, 7.0);
    EXPECT_EQ(r.element(3).value, 1000.0);
}

TEST(NetlistReader, UnitSuffixOnAFinalNumberIsRefused) {
    for (const char* line : {"R1 1 0 1k\n", "G1 1 0 2 0 3m\n", "K1 L1 L2 0.5x\n", "R1 1 0 1e\n"}) {
        std::string body = std::string("L1 1 0 1\nL2 2 0 1\n") + line;
        Reading r(body);
        EXPECT_FALSE(r.ok) << line;
        ASSERT_FALSE(r.host.lines.empty());
        std::string word = std::string(line).substr(std::string(line).rfind(' ') + 1);
        word.pop_back();
        EXPECT_EQ(r.host.lines.back(), "Valor inválido: " + word) << line;
    }
}

TEST(NetlistReader, TextAfterAFinalNumberIsSkippedWithTheLine) {
    Reading r("R1 1 0 1 ohm de carga\nR2 1 0 2\n");
    ASSERT_TRUE(r.ok) << r.host.text();
    EXPECT_EQ(r.tables->element_count, 2);
}

TEST(NetlistReader, SuffixOnACapacitanceOrSourceValueIsAnInvalidValue) {
    Reading capacitor("C1 1 0 1u\n");
    EXPECT_FALSE(capacitor.ok);
    EXPECT_EQ(capacitor.host.lines.back(), "Valor inválido: 1u");
    Reading source("I1 0 1 1m DEGRAU\n");
    EXPECT_FALSE(source.ok);
    EXPECT_EQ(source.host.lines.back(), "Valor inválido: 1m");
}

TEST(NetlistReader, InitialConditionIsReadFromItsOwnLineOnly) {
    // A following command line is ignored, not turned into an element.
    Reading command("C1 1 0 1\n.end\n");
    ASSERT_TRUE(command.ok) << command.host.text();
    EXPECT_EQ(command.tables->element_count, 1);
    EXPECT_EQ(command.element(1).second_value, 0.0);
    // A following line that starts with a number is not swallowed as the condition.
    Reading number("L1 1 0 2\n3 R1 1 0\n");
    EXPECT_FALSE(number.ok);
    EXPECT_EQ(number.element(1).second_value, 0.0);
    EXPECT_EQ(number.host.lines.front(), "L1 1 0 2 () 0");
    EXPECT_EQ(number.host.lines.back(), "Elemento desconhecido: 3");
    // Last line of the file, and a following element.
    Reading last("C1 1 0 1");
    EXPECT_TRUE(last.ok);
    Reading next("C1 1 0 1\nR1 1 0 5\n");
    ASSERT_TRUE(next.ok);
    EXPECT_EQ(next.tables->element_count, 2);
}

TEST(NetlistReader, LowerCaseInitialConditionIsNotRecognised) {
    Reading r("C1 1 0 1 ic=0.5\n");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.host.lines.front(), "C1 1 0 1 ( ) 0");
    EXPECT_EQ(r.element(1).second_value, 0.0);
}

TEST(NetlistReader, SourceTypes) {
    Reading idegrau("I1 0 1 1 Idegrau\n");
    ASSERT_TRUE(idegrau.ok);
    EXPECT_EQ(idegrau.element(1).y, 'I');
    Reading s("V1 1 0 1 SENO\n");
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.host.lines.back(), "Fonte inválida SENO");
    // At the end of the file a missing type word stays "Impulso".
    Reading end("V1 1 0 1");
    ASSERT_TRUE(end.ok);
    EXPECT_EQ(end.host.lines.back(), "V1 1 0 1 Impulso");
    // Without a type word the next line's first word is taken as the type.
    Reading next("V1 1 0 1\nR1 1 0 1\n");
    EXPECT_FALSE(next.ok);
    EXPECT_EQ(next.host.lines.back(), "Fonte inválida R1");
    // A source reads four fields: a further word on its line is the next element.
    Reading extra("V1 1 0 1 DEGRAU R2 1 0 3\n");
    ASSERT_TRUE(extra.ok);
    EXPECT_EQ(extra.tables->element_count, 2);
}

TEST(NetlistReader, LongWordsAreRefusedNotSplit) {
    Reading name("R12345678901 1 0 1\n");
    EXPECT_FALSE(name.ok);
    EXPECT_EQ(name.host.lines.back(), "Campo com mais de 10 caracteres: R12345678901");
    Reading node("R1 no_muito_longo 0 1\n");
    EXPECT_FALSE(node.ok);
    EXPECT_EQ(node.host.lines.back(), "Campo com mais de 10 caracteres: no_muito_longo");
    // Ten characters are accepted; UTF-8 characters count once each.
    Reading ten("R123456789 abcdefghij 0 1\nR2 coração 0 1\n");
    EXPECT_TRUE(ten.ok) << ten.host.text();
    // A long comment is no field.
    Reading comment("*um comentário bem comprido\nR1 1 0 1\n");
    EXPECT_TRUE(comment.ok);
}

TEST(NetlistReader, IncompleteElementsAreRefused) {
    struct Case {
        const char* body;
        const char* message;
    } cases[] = {
        {"R1 1 0", "Elemento incompleto: R1"},
        {"R1 1 0 abc\n", "Elemento incompleto: R1"},
        {"C1 1\n", "Elemento incompleto: C1"},
        {"L1 1 0 x\n", "Elemento incompleto: L1"},
        {"I1 0 1\n", "Elemento incompleto: I1"},
        {"G1 1 0 2 0\n", "Elemento incompleto: G1"},
        {"O1 1 0 2", "Elemento incompleto: O1"},
        {"L1 1 0 1\nK1 L1", "Elemento incompleto: K1"},
    };
    for (const Case& c : cases) {
        Reading r(c.body);
        EXPECT_FALSE(r.ok) << c.body;
        ASSERT_FALSE(r.host.lines.empty()) << c.body;
        EXPECT_EQ(r.host.lines.back(), c.message) << c.body;
    }
}

TEST(NetlistReader, CouplingNeedsEarlierInductors) {
    Reading ok("L1 1 0 1\nL2 2 0 4\nK1 L1 L2 0.5\n");
    ASSERT_TRUE(ok.ok);
    EXPECT_EQ(ok.host.lines.back(), "(L1 está na linha 1, L2 está na linha 2)");
    EXPECT_DOUBLE_EQ(ok.element(3).second_value, 1.0);
    Reading lower("L1 1 0 1\nL2 2 0 4\nK1 l1 l2 0.5\n");
    EXPECT_FALSE(lower.ok);
    EXPECT_EQ(lower.host.lines.back(), "Indutor não encontrado.");
    Reading later("L1 1 0 1\nK1 L1 L2 0.5\nL2 2 0 4\n");
    EXPECT_FALSE(later.ok);
    EXPECT_EQ(later.host.lines.back(), "Indutor não encontrado.");
    Reading resistor("L1 1 0 1\nR2 2 0 4\nK1 L1 R2 0.5\n");
    EXPECT_FALSE(resistor.ok);
    EXPECT_EQ(resistor.host.lines.back(), "Indutor não encontrado.");
    // The last of several equal names wins.
    Reading twice("L1 1 0 1\nL1 2 0 9\nL2 3 0 1\nK1 L1 L2 1\n");
    ASSERT_TRUE(twice.ok);
    EXPECT_EQ(twice.element(4).a, 2);
}

TEST(NetlistReader, NegativeInductanceProductIsAFloatingPointFault) {
    fp_clear();
    EXPECT_THROW(Reading("L1 1 0 -1\nL2 2 0 4\nK1 L1 L2 0.5\n"), FloatingPointFault);
    fp_clear();
}

TEST(NetlistReader, ElementLimitCountsCommentsAfterTheLast) {
    std::string body;
    for (int i = 1; i <= 200; ++i) body += "R" + std::to_string(i) + " 1 0 1\n* comentario\n";
    Reading full(body);
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.host.lines.back(), "O programa só aceita até 200 elementos");
    body.erase(body.rfind("* comentario"));
    Reading exact(body);
    EXPECT_TRUE(exact.ok);
    EXPECT_EQ(exact.tables->element_count, 200);
}

TEST(NetlistReader, NodeLimitIsReportedPerNewNameAndReadingGoesOn) {
    std::string body;
    for (int i = 1; i <= 25; ++i) body += "R" + std::to_string(i) + " n" + std::to_string(i) + " 0 1\n";
    body += "R26 x 0 1\nR27 n1 y 1\nR28 1 0 1\n";
    Reading r(body);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.tables->node_overflow, 1);
    EXPECT_EQ(r.tables->element_count, 28);
    int messages = 0;
    for (const auto& line : r.host.lines) messages += line == "O programa só aceita até 25 nós";
    EXPECT_EQ(messages, 3);
    // The message follows the echo of the element that brought the name.
    auto echo = std::find(r.host.lines.begin(), r.host.lines.end(), "R26 x 0 1");
    ASSERT_NE(echo, r.host.lines.end());
    EXPECT_EQ(*(echo + 1), "O programa só aceita até 25 nós");
    EXPECT_EQ(r.element(26).a, 25);
}

TEST(NetlistReader, UnknownKind) {
    Reading r("X1 1 0 1\n");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.host.lines.back(), "Elemento desconhecido: X1");
}

TEST(Scanner, NumberConversionConsumesAsScanfDoes) {
    Scanner sign("-x");
    double value = 7;
    EXPECT_FALSE(sign.read_number(value));
    EXPECT_EQ(sign.peek(), 'x');  // the sign is consumed, the x is not
    EXPECT_EQ(value, 7);
    Scanner point(" .end");
    EXPECT_FALSE(point.read_number(value));
    EXPECT_EQ(point.peek(), 'e');
    for (const char* refused : {"inf", "nan", "infinity"}) {
        Scanner s(refused);
        EXPECT_FALSE(s.read_number(value)) << refused;
    }
    Scanner hex("0x1p3");
    ASSERT_TRUE(hex.read_number(value));
    EXPECT_EQ(value, 0.0);
    EXPECT_EQ(hex.peek(), 'x');
}

TEST(Scanner, HugeNumberRaisesOverflowTinyOneUnderflowsQuietly) {
    fp_clear();
    Scanner tiny("1e-400");
    double value = 1;
    ASSERT_TRUE(tiny.read_number(value));
    EXPECT_EQ(value, 0.0);
    EXPECT_NO_THROW(fp_check());
    Scanner huge("-1e400");
    ASSERT_TRUE(huge.read_number(value));
    EXPECT_TRUE(std::isinf(value) && value < 0);
    EXPECT_THROW(fp_check(), FloatingPointFault);
    fp_clear();
}

TEST(Scanner, LenientConversions) {
    EXPECT_EQ(lenient_to_double(""), 0.0);
    EXPECT_EQ(lenient_to_double("abc"), 0.0);
    EXPECT_EQ(lenient_to_double(" 2.5e-9"), 2.5e-9);
    EXPECT_EQ(lenient_to_double("1e12x"), 1e12);
    EXPECT_EQ(lenient_to_double("1,5"), 1.0);  // the decimal separator is always the full stop
    EXPECT_EQ(lenient_to_double("nan"), 0.0);
    EXPECT_EQ(lenient_to_int("12abc"), 12);
    EXPECT_EQ(lenient_to_int("  -5"), -5);
    EXPECT_EQ(lenient_to_int("+"), 0);
    EXPECT_EQ(lenient_to_int("99999999999"), 2147483647);
    EXPECT_EQ(lenient_to_int("abc"), 0);
}

}  // namespace
}  // namespace quorvat

namespace quorvat {
namespace {

// Inputs that an independent model of the reader told apart from what it did.
TEST(NetlistReaderRules, FieldsAreReadByTheirOwnRules) {
    struct Case {
        const char* body;
        bool ok;
        const char* last_line;  // the last log line
    } cases[] = {
        // The initial condition comes from the element's own line, whatever white space ends it.
        {"C1 1 0 1\v\n2.5\n", false, "Elemento desconhecido: 2.5"},
        {"C1 1 0 1\f\nR1 1 0 1\n", true, "R1 1 0 1"},
        // A keyword run longer than the echo is consumed whole.
        {"C1 1 0 1                                         IC=2 0 1 1 DEGRAU\nR1 1 0 1\n", true, "R1 1 0 1"},
        // An exponent letter without digits, or bytes glued to a number, make the field invalid.
        {"V1 1 0 2E+ DEGRAU\n", false, "Valor inválido: 2E+"},
        {"C1 1 0 1e IC=2\n", false, "Valor inválido: 1e"},
        {"C1 1 0 1 IC=2x\n", false, "Valor inválido: 2x"},
        {"I1 0 1 3k DEGRAU\n", false, "Valor inválido: 3k"},
        {"C1 1 0 1IC=2\n", true, "C1 1 0 1 (IC=) 2"},
        // What does not begin like a number leaves the element incomplete.
        {"R1 1 0 nan\n", false, "Elemento incompleto: R1"},
        {"R1 1 0 -\n", false, "Elemento incompleto: R1"},
        // A long name is shown as written.
        {"rabcdefghijk 1 0 1\n", false, "Campo com mais de 10 caracteres: rabcdefghijk"},
    };
    for (const Case& c : cases) {
        Reading r(c.body);
        EXPECT_EQ(r.ok, c.ok) << c.body;
        if (*c.last_line) {
            ASSERT_FALSE(r.host.lines.empty()) << c.body;
            EXPECT_EQ(r.host.lines.back(), c.last_line) << c.body;
        }
    }
    // A NUL byte is refused with its line, before anything is read.
    Reading nul(std::string("R1 1 0 1\nR2 a\0b 0 1\nR3 a\0b 0 1\n", 31));
    EXPECT_FALSE(nul.ok);
    EXPECT_EQ(nul.host.lines, std::vector<std::string>{"Linha 3 do netlist contém um caractere nulo"});
    Reading long_run("C1 1 0 1                                         IC=2 0 1 1 DEGRAU\n");
    EXPECT_EQ(long_run.tables->element_count, 1);
    EXPECT_EQ(long_run.element(1).second_value, 2.0);
}

TEST(NetlistReaderRules, HugeValuesFitWhereTheirResultDoes) {
    // √(L1·L2) of two 1e200 H inductors is 1e200: the coupling must not overflow.
    Reading k("L1 1 0 1e200\nL2 2 0 1e200\nK1 L1 L2 0.5\nLa 1 0 1e-200\nLb 2 0 4e-200\nK2 La Lb 1\n");
    ASSERT_TRUE(k.ok) << k.host.text();
    EXPECT_DOUBLE_EQ(k.element(3).second_value, 5e199);
    EXPECT_DOUBLE_EQ(k.element(6).second_value, 2e-200);
    try {
        Reading overflow("R1 1 0 1\nR22 1 0 1e400\n");
        ADD_FAILURE() << "no fault";
    } catch (const FloatingPointFault& fault) {
        EXPECT_STREQ(fault.what(), "Estouro em ponto flutuante em R22.");
    }
    fp_clear();
}

}  // namespace
}  // namespace quorvat
