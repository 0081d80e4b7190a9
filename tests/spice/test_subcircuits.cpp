// Subcircuits: nested instances flattened with hierarchical names, parameters passed
// down, and --amp-op turning a subcircuit's instances into our ideal op-amp.
#include <gtest/gtest.h>

#include "spice_testing.h"

namespace quorvat::spice {
namespace {

using testing::element_lines;
using testing::import_text;

const char* const nested_deck =
    "nested\n"
    ".param rtop=1k\n"
    ".subckt rc in out params: r=10 c=1n\n"
    "R1 in mid {r}\n"
    "C1 mid 0 {c}\n"
    "R2 mid out {rtop}\n"
    ".ends rc\n"
    ".subckt pair a b\n"
    "X1 a m rc r=100\n"
    "Xsecond m b rc c=2n\n"
    ".ends\n"
    "V1 in 0 AC 1\n"
    "XP in OUT pair\n"
    "Rload out gnd 1meg\n";

TEST(SpiceSubcircuits, NestedInstancesAreFlattenedWithHierarchicalNames) {
    ImportResult r = import_text(nested_deck);
    ASSERT_TRUE(r.ok) << r.refusals[0];
    EXPECT_EQ(element_lines(r.netlist),
              "V1 in 0 1 IMPULSO\n"
              "R1.XP.X1 in XP.X1.mid 100\n"
              "C1.XP.X1 XP.X1.mid 0 1e-09\n"
              "R2.XP.X1 XP.X1.mid XP.m 1000\n"
              "R_1 XP.m n_1 10\n"
              "C_1 n_1 0 2e-09\n"
              "R_2 n_1 OUT 1000\n"
              "Rload OUT 0 1e+06\n");
    // Every name that differs from the deck's full name is listed in the header.
    for (const char* line : {"*   XP.X1.R1 -> R1.XP.X1\n", "*   XP.Xsecond.R1 -> R_1\n",
                             "*   XP.Xsecond.mid -> n_1\n", "*   XP.Xsecond.R2 -> R_2\n"})
        EXPECT_NE(r.netlist.find(line), std::string::npos) << line << r.netlist;
}

TEST(SpiceSubcircuits, OpAmpOption) {
    const char* deck =
        "amp\n"
        ".subckt opamp out inn inp vcc vee\n"
        "E1 out 0 inp inn 100k\n"
        ".ends\n"
        "V1 in 0 AC 1\n"
        "R1 in n 1k\n"
        "R2 n out 10k\n"
        "XU1 out n 0 vp vn opamp\n"
        "VP vp 0 15\n"
        "VN vn 0 -15\n";
    struct Case {
        const char* option;
        const char* amplifier;  // its line in the netlist
    } cases[] = {
        {nullptr, "E1.XU1 out 0 0 n 1e+05\n"},
        {"opamp:3,2,1", "OXU1 out 0 0 n\n"},
        {"OPAMP:inp,inn,out", "OXU1 out 0 0 n\n"},
    };
    for (const Case& c : cases) {
        ImportOptions options;
        if (c.option) {
            OpAmpSubcircuit op_amp;
            std::string error;
            ASSERT_TRUE(parse_op_amp(c.option, op_amp, error)) << error;
            options.op_amps.push_back(op_amp);
        }
        ImportResult r = import_text(deck, options);
        ASSERT_TRUE(r.ok) << r.refusals[0];
        EXPECT_NE(element_lines(r.netlist).find(c.amplifier), std::string::npos) << r.netlist;
    }
    OpAmpSubcircuit op_amp;
    std::string error;
    for (const char* bad : {"opamp", "opamp:1,2", ":1,2,3", "opamp:1,,3"}) EXPECT_FALSE(parse_op_amp(bad, op_amp, error)) << bad;
    ImportOptions wrong;
    wrong.op_amps.push_back({"opamp", "7", "2", "1"});
    ImportResult r = import_text(deck, wrong);
    ASSERT_EQ(r.refusals.size(), 1u);
    EXPECT_EQ(r.refusals[0], "linha 8: XU1 out n 0 vp vn opamp (pinos de --amp-op opamp inexistentes)");
}

}  // namespace
}  // namespace quorvat::spice
