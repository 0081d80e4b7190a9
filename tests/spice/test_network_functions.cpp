// Decks whose network functions are known in closed form import and analyse to them:
// each variable's transform, evaluated on the jω axis, against the formula.
#include <complex>
#include <functional>

#include <gtest/gtest.h>

#include "spice_testing.h"

namespace quorvat::spice {
namespace {

using cplx = std::complex<double>;

struct Expectation {
    const char* variable;
    std::function<cplx(cplx)> transform;  // of the variable, for the deck's excitation
};

struct DeckCase {
    const char* what;
    const char* deck;
    const char* op_amp;  // --amp-op, or nullptr
    double scale;        // rad/s around which the functions are checked
    std::vector<Expectation> expected;
};

cplx parallel(cplx a, cplx b) { return a * b / (a + b); }

// The ladder R1 = 1 MΩ, C1 = 1 µF, L1 = 250 H, C2 = 4 µF, R2 = 10 kΩ: node a or out.
cplx ladder(cplx s, bool out) {
    cplx load = parallel(1.0 / (s * 4e-6), 1e4);
    cplx shunt = parallel(1.0 / (s * 1e-6), s * 250.0 + load);
    cplx a = shunt / (1e6 + shunt);
    return out ? a * load / (s * 250.0 + load) : a;
}

// Transformer: R1 = 1, L1 = 1, L2 = 4, k = 0.9, load 10, driven through the dots.
cplx transformer_load(cplx s) {
    double l1 = 1.0, l2 = 4.0, m = 0.9 * std::sqrt(l1 * l2), r1 = 1.0, rl = 10.0;
    cplx i1 = 1.0 / (r1 + s * l1 - s * s * m * m / (s * l2 + rl));
    return rl * s * m * i1 / (s * l2 + rl);
}

const std::vector<DeckCase>& cases() {
    static const std::vector<DeckCase> table = {
        {"RC, AC source: the network function",
         "RC\nV1 in 0 DC 0 AC 1\nR1 in out 1k\nC1 out 0 1u\n.ac dec 10 1 100k\n.end\n", nullptr, 1e3,
         {{"out", [](cplx s) { return 1.0 / (1.0 + s * 1e-3); }}}},
        {"RC, DC source: the step response of 5 V",
         "RC\nV1 in 0 5\nR1 in out 1k\nC1 out 0 1u\n", nullptr, 1e3,
         {{"out", [](cplx s) { return 5.0 / (s * (1.0 + s * 1e-3)); }}}},
        {"series RLC, AC source with 180 degrees",
         "RLC\nV1 in 0 AC 2 180\nR1 in a 100\nL1 a out 10mH\nC1 out 0 1uF\n", nullptr, 1e4,
         {{"out", [](cplx s) { return -2.0 / (s * s * 1e-8 + s * 1e-4 + 1.0); }}}},
        {"Sallen-Key low-pass with an op-amp subcircuit",
         "Sallen-Key\n.subckt amp inp inn out\nE1 out 0 inp inn 1e6\n.ends\n.param r=10k\n"
         "V1 in 0 AC 1\nR1 in a {r}\nR2 a b {r}\nC1 a out 20n\nC2 b 0 10n\nX1 b out out amp\n",
         "amp:1,2,3", 1e4,
         {{"out", [](cplx s) { return 1.0 / (s * s * 1e4 * 1e4 * 20e-9 * 10e-9 + s * 10e-9 * 2e4 + 1.0); }}}},
        {"ladder with meg, m, u and p",
         "ladder\nV1 in 0 AC 1\nR1 in a 1meg\nC1 a 0 1u\nL1 a out 250000m\nC2 out 0 4000000p\nR2 out 0 0.01MEG\n",
         nullptr, 10.0, {{"a", [](cplx s) { return ladder(s, false); }}, {"out", [](cplx s) { return ladder(s, true); }}}},
        {"transformer", "trafo\nV1 in 0 AC 1\nR1 in p 1\nL1 p 0 1\nL2 s 0 4\nK1 L1 L2 0.9\nRL s 0 10\n", nullptr, 1.0,
         {{"s", transformer_load}}},
        {"linear POLY sources: E in series, G in parallel, F sensing an ammeter",
         "poly\nV1 in 0 AC 1\nR1 in a 1k\nR2 a 0 1k\nE1 o1 0 POLY(2) (in,0) (a,0) 0 2 3\nR3 o1 0 1k\n"
         "G1 0 o2 POLY(2) in 0 a 0 0 1m 2m 0 0 0\nR4 o2 0 1k\nVs in x 0\nR5 x 0 1k\nF1 0 o3 POLY(1) Vs 0 5\n"
         "R6 o3 0 100\n",
         nullptr, 1.0,
         {{"o1", [](cplx) { return cplx(3.5); }},
          {"o2", [](cplx) { return cplx(2.0); }},
          {"o3", [](cplx) { return cplx(0.5); }}}},
        {"F and H through one 0 V ammeter",
         "ammeter\nV1 in 0 AC 1\nR1 in m 1k\nVam m 0 0\nF1 0 o1 Vam 10\nR2 o1 0 200\nH1 o2 0 Vam 500\n", nullptr,
         1.0,
         {{"o1", [](cplx) { return cplx(2.0); }}, {"o2", [](cplx) { return cplx(0.5); }}}},
        {"F and H through a shared voltage source with an RC load",
         "shared\nVs in 0 AC 1\nR1 in x 1k\nC1 x 0 1u\nF2 0 o3 Vs 1\nR3 o3 0 1k\nH2 o4 0 Vs 1k\n", nullptr, 1e3,
         // I(Vs) flows into its + node: minus the current the source drives into R1 and C1.
         {{"o3", [](cplx s) { return -1.0 / (1.0 + 1.0 / (s * 1e-3)); }},
          {"o4", [](cplx s) { return -1.0 / (1.0 + 1.0 / (s * 1e-3)); }}}},
        {"real-style deck: .if picks C1, .global supply, ac= resistance, IC= and DC values left out",
         "* active-style test deck\n.param topo=2 rload=2k\n.global vcc\nVcc vcc 0 DC 12\nVin in 0 DC 1.27 AC 1\n"
         "R1 in out 1k ac=4k\n.if (topo == 1)\nC1 out 0 1u\n.elseif (topo == 2)\nC1 out 0 250n IC=3\n.else\n"
         "C1 out 0 10u\n.endif\nXb out buf\n.subckt buf a\nRb a vcc {rload}\n.ends\n.ac dec 10 10 100k\n.end\n",
         nullptr, 3e3,
         // 4 kΩ into 2 kΩ (to the supply, an AC ground) parallel to 250 nF
         {{"out", [](cplx s) { return 1.0 / (3.0 + s * 1e-3); }}}},
        {"real-style deck: RF port, model resistor in the resistor code, .func, POLY(1) buffer, .if",
         "Two-section RC\n.func half(x) {x/2}\n.param c0=2n\n.model rmod R(tc1=0)\n"
         "V1 in 0 dc 0 ac 1 portnum 1 z0 50\nR1 in a rmod 4K7\nC1 a 0 {half(c0)}\nE1 b 0 POLY(1) a 0 0.5 2\n"
         ".if (c0 > 1n)\nR2 b out 1k\n.else\nR2 b out 10k\n.endif\nC2 out 0 1n\n",
         nullptr, 3e5,
         {{"a", [](cplx s) { return 1.0 / (1.0 + s * 4750e-9); }},
          {"out", [](cplx s) { return 2.0 / ((1.0 + s * 4750e-9) * (1.0 + s * 1e-6)); }}}},
    };
    return table;
}

TEST(SpiceNetworkFunctions, ImportedDecksAnalyseToTheirClosedForms) {
    for (const DeckCase& c : cases()) {
        SCOPED_TRACE(c.what);
        ImportOptions options;
        if (c.op_amp) {
            OpAmpSubcircuit op_amp;
            std::string error;
            ASSERT_TRUE(parse_op_amp(c.op_amp, op_amp, error));
            options.op_amps.push_back(op_amp);
        }
        ImportResult imported = testing::import_text(c.deck, options);
        ASSERT_TRUE(imported.ok) << imported.refusals[0];
        testing::Analysis analysis(imported.netlist);
        ASSERT_TRUE(analysis.ok()) << imported.netlist << analysis.log();
        for (const Expectation& e : c.expected)
            for (double w : {0.1, 0.5, 1.0, 2.0, 10.0}) {
                cplx s(0.0, w * c.scale);
                cplx got = analysis.at(e.variable, s), want = e.transform(s);
                EXPECT_LT(std::abs(got - want), 1e-8 * std::abs(want)) << e.variable << " at " << s << ": " << got
                                                                      << " instead of " << want;
            }
    }
}

}  // namespace
}  // namespace quorvat::spice
