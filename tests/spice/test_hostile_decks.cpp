// Decks made to exhaust the importer: every one ends with a netlist or a named refusal,
// with bounded output, and without reading an included file once its budget is spent.
#include <gtest/gtest.h>

#include "spice_testing.h"

namespace quorvat::spice {
namespace {

using testing::import_text;

std::string repeat(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

// Five levels of ten instances whose names are name_length long.
std::string long_names(int name_length) {
    std::string deck = "nomes\n";
    for (int level = 0; level < 5; ++level) {
        deck += ".subckt s" + std::to_string(level) + " a b\n";
        for (int k = 0; k < 10; ++k) {
            std::string name = (level < 4 ? "x" : "r") + std::to_string(k) + std::string(name_length, 'n');
            deck += name + " a b " + (level < 4 ? "s" + std::to_string(level + 1) : std::string("1k")) + "\n";
        }
        deck += ".ends\n";
    }
    return deck + "X1 1 0 s0\nV1 1 0 AC 1\n";
}

TEST(HostileDecks, EndWithANetlistOrANamedRefusal) {
    std::string chain = "cadeia\n.param p0=1\n";
    for (int i = 1; i <= 150; ++i)
        chain += ".param p" + std::to_string(i) + "=" + repeat("(", 150) + "p" + std::to_string(i - 1) +
                 repeat(")", 150) + "\n";
    chain += "R1 1 0 {p150}\nV1 1 0 AC 1\n";
    struct Case {
        const char* what;
        std::string deck;
        const char* expected;  // in the netlist when accepted, in the first refusal otherwise
        bool accepted;
    };
    const Case cases[] = {
        {"a power chain of 150,000 operands", "p\nR1 1 0 {" + repeat("1^", 149999) + "1}\nV1 1 0 AC 1\n",
         "R1 1 0 1\n", true},
        {"right-associative powers", "p\nR1 1 0 {2^3**2}\nV1 1 0 AC 1\n", "R1 1 0 512\n", true},
        {"150 parameters each nested 150 deep on the one before", chain, "expressão aninhada demais (mais de 1000",
         false},
        {"nested instances with names of 1,000 characters", long_names(1000), "expandem-se em texto demais", false},
        {"5,000 ignored parameters on one line", "n\nR1 1 0 1k " + repeat("noisy=0 noise=1 ", 2500) + "\nV1 1 0 AC 1\n",
         "(parâmetros noisy, noise ignorados: sem efeito na resposta)", true},
        {"100,000 continuation lines", "c\nR1 1 0 1k\n" + repeat("+ noisy=0\n", 100000) + "V1 1 0 AC 1\n",
         "(parâmetro noisy ignorado: sem efeito na resposta)", true},
        {"a number of 310 digits", "d\nC1 1 0 1" + std::string(309, '0') + "\nR1 1 0 1\n",
         "número fora do alcance (acima de 1.8e308)", false},
        {"a number below the doubles", "d\nC1 1 0 1e-400\nR1 1 0 1\n", "número fora do alcance (abaixo de 4.9e-324",
         false},
        {"a zero with a large negative exponent", "d\nC1 1 0 0.0e-400\nR1 1 0 1\nV1 1 0 AC 1\n", "C1 1 0 0\n", true},
    };
    for (const Case& c : cases) {
        ImportResult r = import_text(c.deck);
        EXPECT_EQ(r.ok, c.accepted) << c.what;
        if (c.accepted) {
            EXPECT_NE(r.netlist.find(c.expected), std::string::npos) << c.what << "\n" << r.netlist.substr(0, 2000);
            EXPECT_LT(r.netlist.size(), 4096u) << c.what;  // a note quotes its line once, by its start
        } else {
            ASSERT_FALSE(r.refusals.empty()) << c.what;
            EXPECT_NE(r.refusals.front().find(c.expected), std::string::npos) << c.what << "\n" << r.refusals.front();
            EXPECT_LT(r.refusals.front().size(), 600u) << c.what;
        }
    }
}

TEST(HostileDecks, IncludedFilesAreNotReadOnceTheBudgetIsSpent) {
    const std::string big(30u << 20, '*');  // one comment line of 30 MiB
    int reads = 0;
    FileReader reader = [&](const std::string&, std::string& text, std::string&) {
        ++reads;
        text = big;
        return true;
    };
    ImportResult r = import_deck("i\n" + repeat(".include grande.inc\n", 1000) + "R1 1 0 1\n", "/decks/deck.cir", {},
                                 reader);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(reads, 3);  // 60 MiB taken, the third passes the 64 MiB budget
    ASSERT_EQ(r.refusals.size(), 998u);
    EXPECT_EQ(r.refusals.front(), "linha 4: .include grande.inc (arquivos incluídos grandes demais (mais de 64 MiB ao todo))");
}

}  // namespace
}  // namespace quorvat::spice
