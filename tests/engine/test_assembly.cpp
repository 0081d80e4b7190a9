// The numbering of the extra currents, the stamps of every element kind, and the listing
// of the system after each stamp.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/c_locale.h"
#include "engine/assembly.h"
#include "engine/fp_fault.h"
#include "support/fake_host.h"

namespace quorvat {
namespace {

using testing::FakeHost;

// A circuit built element by element, as the netlist reader would leave it: nodes are
// numbered by first appearance, ground is "0".
struct Circuit {
    std::unique_ptr<EngineTables> tables = std::make_unique<EngineTables>();
    FakeHost host;

    Circuit() {
        tables->element_count = 0;
        tables->variable_count = 0;
        tables->set_variable_name(0, "0");
    }

    int node(const std::string& name) {
        for (int i = 0; i <= tables->variable_count; ++i)
            if (name == tables->variable_name(i)) return i;
        tables->set_variable_name(++tables->variable_count, name);
        return tables->variable_count;
    }

    ElementRecord& add(const std::string& name, const std::vector<std::string>& nodes, double value,
                       double second_value = 0.0) {
        ElementRecord& e = tables->elements[++tables->element_count];
        e = ElementRecord{};
        std::snprintf(e.name, sizeof e.name, "%s", name.c_str());
        e.value = value;
        e.second_value = second_value;
        int32_t* fields[] = {&e.a, &e.b, &e.c, &e.d};
        for (std::size_t i = 0; i < nodes.size(); ++i) *fields[i] = node(nodes[i]);
        return e;
    }
    void source(const std::string& name, const std::string& a, const std::string& b, double value, char type) {
        add(name, {a, b}, value).y = type;
    }
    // K between the elements named first and second, as the reader finds them.
    void coupling(const std::string& name, int first, int second, double k, double mutual) {
        ElementRecord& e = add(name, {}, k, mutual);
        e.a = first;
        e.b = second;
    }

    void assemble() {
        tables->node_count = tables->variable_count;
        ASSERT_TRUE(number_variables(*tables, host));
        fp_clear();
        stamp_elements(*tables, host);
    }
    const StampEntry& at(int r, int c) const { return tables->stamp[r][c]; }
};

// The text of one listed entry, formatted with room for any double.
std::string entry_text(double c0, double c1) {
    if (c0 == 0.0 && c1 == 0.0) return "........... ";
    CLocaleScope c_numbers;
    char buffer[800];
    std::snprintf(buffer, sizeof buffer, "%+4.2fs%+4.2f ", c1, c0);
    return buffer;
}

struct Expected {
    int r, c;
    double c0, c1;
};

// Rows 1..n, columns 1..n+1 hold exactly the listed entries and zero elsewhere.
void expect_system(const Circuit& circuit, const std::vector<Expected>& entries) {
    const int n = circuit.tables->variable_count;
    for (int r = 1; r <= n; ++r)
        for (int c = 1; c <= n + 1; ++c) {
            Expected want{r, c, 0.0, 0.0};
            for (const Expected& e : entries)
                if (e.r == r && e.c == c) want = e;
            EXPECT_EQ(circuit.at(r, c).c0, want.c0) << "entry (" << r << ", " << c << ")";
            EXPECT_EQ(circuit.at(r, c).c1, want.c1) << "entry (" << r << ", " << c << ")";
        }
}

void expect_entry(const Circuit& circuit, int r, int c, double c0, double c1) {
    EXPECT_EQ(circuit.at(r, c).c0, c0) << "entry (" << r << ", " << c << ")";
    EXPECT_EQ(circuit.at(r, c).c1, c1) << "entry (" << r << ", " << c << ")";
}

TEST(StampListing, VoltageSourceAndResistor) {
    for (char type : {'D', 'I'}) {
        Circuit circuit;
        circuit.source("V1", "1", "0", 1, type);
        circuit.add("R1", {"1", "0"}, 1000);
        circuit.host.set(AnalysisOption::list_stamps, true);
        circuit.assemble();
        const std::string step = type == 'D' ? "+0.00s+1.00 " : "+1.00s+0.00 ";
        const std::vector<std::string> expected = {
            "Sistema após a estampa de V1",
            "........... +0.00s+1.00 ........... ",
            "+0.00s+1.00 ........... " + step,
            "Sistema após a estampa de R1",
            "+0.00s+0.00 +0.00s+1.00 ........... ",
            "+0.00s+1.00 ........... " + step,
        };
        EXPECT_EQ(circuit.host.lines, expected);
        EXPECT_STREQ(circuit.tables->variable_name(2), "jV1");
        EXPECT_EQ(circuit.at(1, 1).c0, 0.001);
    }
}

TEST(StampListing, WorkedExampleAfterEachElement) {
    Circuit circuit;
    circuit.source("I1", "0", "1", 1, 'D');
    circuit.add("R1", {"1", "2"}, 1);
    circuit.add("C1", {"1", "0"}, 1);
    circuit.add("C2", {"2", "0"}, 1);
    circuit.host.set(AnalysisOption::list_stamps, true);
    circuit.assemble();
    const std::vector<std::string> expected = {
        "Sistema após a estampa de I1",
        "........... ........... +0.00s+1.00 ",
        "........... ........... ........... ",
        "Sistema após a estampa de R1",
        "+0.00s+1.00 +0.00s-1.00 +0.00s+1.00 ",
        "+0.00s-1.00 +0.00s+1.00 ........... ",
        "Sistema após a estampa de C1",
        "+1.00s+1.00 +0.00s-1.00 +0.00s+1.00 ",
        "+0.00s-1.00 +0.00s+1.00 ........... ",
        "Sistema após a estampa de C2",
        "+1.00s+1.00 +0.00s-1.00 +0.00s+1.00 ",
        "+0.00s-1.00 +1.00s+1.00 ........... ",
    };
    EXPECT_EQ(circuit.host.lines, expected);
}

TEST(StampListing, NothingWithoutTheCheckBoxAndHugeEntriesAreNotCut) {
    Circuit quiet;
    quiet.add("R1", {"1", "0"}, 1);
    quiet.assemble();
    EXPECT_TRUE(quiet.host.lines.empty());

    // Rows longer than any fixed line buffer are written whole.
    Circuit huge;
    huge.add("G1", {"1", "0", "1", "0"}, 1e300);
    huge.add("C1", {"1", "2"}, -1e300);
    huge.add("C2", {"1", "3"}, -1e300);
    huge.host.set(AnalysisOption::list_stamps, true);
    huge.assemble();
    const auto& lines = huge.host.lines;
    ASSERT_EQ(lines.size(), 3u * 4u);
    std::string expected_row;
    const EngineTables& t = *huge.tables;
    for (int c = 1; c <= 4; ++c) expected_row += entry_text(t.stamp[1][c].c0, t.stamp[1][c].c1);
    EXPECT_GT(expected_row.size(), 1200u);
    EXPECT_EQ(lines[lines.size() - 3], expected_row);
    EXPECT_EQ(t.stamp[1][1].c1, -2e300);
}

TEST(Numbering, ExtraCurrentsInElementOrder) {
    Circuit circuit;
    circuit.add("R1", {"a", "0"}, 1);
    circuit.source("V1", "a", "0", 1, 'D');
    circuit.add("H1", {"b", "0", "a", "0"}, 2);
    circuit.add("L1", {"a", "b"}, 1);
    circuit.add("L2", {"b", "0"}, 1);
    circuit.coupling("K1", 4, 5, 0.5, 0.5);
    circuit.add("O1", {"c", "0", "a", "b"}, 0);
    circuit.tables->node_count = circuit.tables->variable_count;
    ASSERT_TRUE(number_variables(*circuit.tables, circuit.host));
    const EngineTables& t = *circuit.tables;
    const std::vector<std::string> names = {"a", "b", "c", "jV1", "jxH1", "jyH1", "jL1", "jL2", "jO1"};
    ASSERT_EQ(t.variable_count, 9);
    for (int i = 1; i <= 9; ++i) EXPECT_EQ(t.variable_name(i), names[i - 1]);
    EXPECT_EQ(t.elements[2].x, 4);
    EXPECT_EQ(t.elements[3].x, 5);
    EXPECT_EQ(t.elements[3].y, 6);
    EXPECT_EQ(t.elements[6].x, t.elements[4].x);
    EXPECT_EQ(t.elements[6].y, t.elements[5].x);
    EXPECT_TRUE(circuit.host.lines.empty());
}

TEST(Numbering, TwoCurrentsOfATransresistanceCannotPassTheLimit) {
    Circuit circuit;
    // 23 nodes and one voltage source: 24 variables, then H would make 26.
    for (int i = 1; i <= 23; ++i) circuit.add("R" + std::to_string(i), {"n" + std::to_string(i), "0"}, 1);
    circuit.source("V1", "n1", "0", 1, 'D');
    circuit.add("H1", {"n2", "0", "n3", "0"}, 1);
    circuit.tables->node_count = circuit.tables->variable_count;
    EXPECT_FALSE(number_variables(*circuit.tables, circuit.host));
    ASSERT_EQ(circuit.host.lines.size(), 1u);
    EXPECT_EQ(circuit.host.lines[0], "As correntes extra excederam o número de variáveis permitido (25)");

    Circuit exact;  // 24 variables and one more current: exactly 25 is accepted
    for (int i = 1; i <= 23; ++i) exact.add("R" + std::to_string(i), {"n" + std::to_string(i), "0"}, 1);
    exact.source("V1", "n1", "0", 1, 'D');
    exact.add("E1", {"n2", "0", "n3", "0"}, 1);
    exact.tables->node_count = exact.tables->variable_count;
    EXPECT_TRUE(number_variables(*exact.tables, exact.host));
    EXPECT_EQ(exact.tables->variable_count, 25);
}

TEST(Stamps, PassiveElementsAndInitialConditions) {
    Circuit circuit;
    circuit.add("R1", {"1", "2"}, 4);
    circuit.add("C1", {"2", "0"}, 2, 0.5);
    circuit.add("G1", {"3", "0", "1", "2"}, 7);
    circuit.source("I1", "0", "3", 3, 'I');
    circuit.source("I2", "3", "0", 5, 'D');
    circuit.assemble();
    // rhs: s C w into node 2; impulse 3 into node 3 and step 5 out of it.
    expect_system(circuit, {{1, 1, 0.25, 0}, {1, 2, -0.25, 0}, {2, 1, -0.25, 0}, {2, 2, 0.25, 2}, {2, 4, 0, 1},
                            {3, 1, 7, 0}, {3, 2, -7, 0}, {3, 4, -5, 3}});
}

TEST(Stamps, SourcesWithBranchEquations) {
    Circuit circuit;
    circuit.source("V1", "1", "2", 2, 'I');      // x = 4: V_1 - V_2 = 2 s
    circuit.add("E1", {"3", "0", "1", "2"}, 5);  // x = 5: V_3 - 5 (V_1 - V_2) = 0
    circuit.add("F1", {"3", "2", "1", "0"}, 6);  // x = 6: 6 x from 3 to 2, input 1-0 shorted
    circuit.add("H1", {"2", "3", "3", "1"}, 8);  // x = 7: V_2 - V_3 = 8 y; y = 8: input 3-1 shorted
    circuit.add("O1", {"1", "3", "2", "0"}, 0);  // x = 9: output from 1 to 3, V_2 = 0
    circuit.assemble();
    ASSERT_EQ(circuit.tables->variable_count, 9);
    expect_system(circuit, {{1, 4, 1, 0}, {2, 4, -1, 0}, {4, 1, 1, 0}, {4, 2, -1, 0}, {4, 10, 0, 2},
                            {3, 5, 1, 0}, {5, 3, 1, 0}, {5, 1, -5, 0}, {5, 2, 5, 0},
                            {3, 6, 6, 0}, {2, 6, -6, 0}, {1, 6, 1, 0}, {6, 1, 1, 0},
                            {2, 7, 1, 0}, {3, 7, -1, 0}, {3, 8, 1, 0}, {1, 8, -1, 0}, {7, 2, 1, 0},
                            {7, 3, -1, 0}, {8, 3, 1, 0}, {8, 1, -1, 0}, {7, 8, -8, 0},
                            {1, 9, 1, 0}, {3, 9, -1, 0}, {9, 2, 1, 0}});
}

TEST(Stamps, InductorsAndMutualInductance) {
    Circuit circuit;
    circuit.add("L1", {"1", "0"}, 2, 0.5);    // x = 3, initial current 0.5
    circuit.add("L2", {"2", "1"}, 8, -0.25);  // x = 4
    circuit.coupling("K1", 1, 2, 0.75, 3);    // M = 3
    circuit.assemble();
    // rhs: s L w of the branch's own inductor plus s M w of the other.
    expect_system(circuit, {{1, 3, 1, 0}, {3, 1, -1, 0}, {3, 3, 0, 2}, {2, 4, 1, 0}, {1, 4, -1, 0},
                            {4, 2, -1, 0}, {4, 1, 1, 0}, {4, 4, 0, 8}, {3, 4, 0, 3}, {4, 3, 0, 3},
                            {3, 5, 0, 2 * 0.5 + 3 * -0.25}, {4, 5, 0, 8 * -0.25 + 3 * 0.5}});
}

TEST(Stamps, ResistorWithBothEndsOnOneNodeLeavesAnExactZero) {
    Circuit circuit;
    circuit.add("R1", {"1", "1"}, 3);
    circuit.host.set(AnalysisOption::list_stamps, true);
    circuit.assemble();
    expect_entry(circuit, 1, 1, 0, 0);
    EXPECT_EQ(circuit.host.lines.back(), "........... ........... ");
}

TEST(Stamps, StaleEntriesAreClearedBeforeStamping) {
    Circuit circuit;
    circuit.add("R1", {"1", "0"}, 2);
    for (auto& row : circuit.tables->stamp)
        for (auto& entry : row) entry = StampEntry{1, 9.0, 9.0};
    circuit.assemble();
    expect_entry(circuit, 1, 1, 0.5, 0);
    expect_entry(circuit, 1, 2, 0, 0);
    expect_entry(circuit, 0, 0, 0.5, 0);
}

TEST(Stamps, ZeroResistorFaultsAtItsStampAfterTheListingsBefore) {
    Circuit circuit;
    circuit.source("I1", "0", "1", 1, 'D');
    circuit.add("R1", {"1", "0"}, 0);
    circuit.add("C1", {"1", "0"}, 1);
    circuit.host.set(AnalysisOption::list_stamps, true);
    circuit.tables->node_count = circuit.tables->variable_count;
    ASSERT_TRUE(number_variables(*circuit.tables, circuit.host));
    fp_clear();
    EXPECT_THROW(stamp_elements(*circuit.tables, circuit.host), FloatingPointFault);
    const std::vector<std::string> expected = {"Sistema após a estampa de I1", "........... +0.00s+1.00 "};
    EXPECT_EQ(circuit.host.lines, expected);
    fp_clear();
}

}  // namespace
}  // namespace quorvat
