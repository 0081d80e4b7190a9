// Transistor decks imported at their operating point analyse to the simulator's own AC
// analysis of the same decks; devices without an equivalent and operating points that
// fail are refused with the reason.
#include <algorithm>
#include <cmath>
#include <complex>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "exact/exact_reference.h"
#include "oppoint/ngspice_solver.h"
#include "spice/importer.h"
#include "spice_testing.h"
#include "support/fake_host.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

using cplx = std::complex<double>;
constexpr double pi = 3.14159265358979323846;

class OperatingPoint : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!oppoint::ngspice_available(why)) GTEST_SKIP() << "sem a biblioteca do ngspice: " << why;
        options_.operating_point = &oppoint::ngspice_solver();
    }
    spice::ImportResult import(const std::string& deck) {
        return spice::testing::import_text(deck, options_);
    }
    spice::ImportOptions options_;
};

// The exact network functions of a netlist given in memory.
class ExactAnalysis {
public:
    explicit ExactAnalysis(const std::string& netlist) {
        host_.netlist = netlist;
        host_.file_name = dir_.file("deck.net");
        host_.options.insert(AnalysisOption::exact);
        fp_clear();
        ok_ = run_analysis(*tables_, host_, nullptr, &exact_);
    }
    bool ok() const { return ok_; }
    std::string log() const { return host_.text(); }
    bool has(const std::string& name) const { return index(name) > 0; }
    cplx at(const std::string& name, cplx s) const {
        int k = index(name);
        return tables_->num[k].Cte / tables_->den[k].Cte * horner(tables_->num[k], s) / horner(tables_->den[k], s);
    }

private:
    int index(const std::string& name) const {
        for (int k = 1; k <= tables_->variable_count; ++k)
            if (name == tables_->variable_name(k)) return k;
        return 0;
    }
    static cplx horner(const ResultPolynomial& p, cplx s) {
        cplx sum = 0.0;
        for (int i = p.degree; i >= 0; --i) sum = sum * s + p.c[i];
        return sum;
    }
    struct Host : testing::FakeHost {
        std::string netlist;
        bool supplied_netlist(std::string& text) override {
            text = netlist;
            return true;
        }
    };
    testing::ScratchDir dir_;
    Host host_;
    exact::ExactReference exact_;
    std::unique_ptr<EngineTables> tables_ = std::make_unique<EngineTables>();
    bool ok_ = false;
};

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Series resistances (internal nodes), junction and gate capacitances, a JFET, a MOSFET
// whose drain and source swap (vds < 0), a PNP with its substrate capacitance, m=2.
// V(k) nearly vanishes near 200 Hz, where the simulator's own convergence tolerance
// would show: the tolerances are tightened.
const char* const every_device =
    "dispositivos\n.options reltol=1e-10 vntol=1e-15 abstol=1e-18\nVDD vdd 0 DC 10\nVIN in 0 DC 0 AC 1\nC1 in g 1u\nRG g 0 1meg\n"
    "RD vdd d 2k\nJ1 d g s jm\nRS s 0 500\nCS s 0 10u\n"
    ".model jm NJF(VTO=-2 BETA=1m LAMBDA=0.02 RD=20 RS=10 CGS=3p CGD=1p)\n"
    "RA d a 10k\nD1 a 0 dm\n.model dm D(IS=1e-14 RS=5 CJO=2p TT=10n)\n"
    "M1 0 d e 0 nm L=2u W=20u M=2\nRE vdd e 20k\n"
    ".model nm NMOS(LEVEL=1 VTO=0.8 KP=50u LAMBDA=0.03 GAMMA=0.5 RD=30 RS=20 TOX=20n CGSO=0.2n CGDO=0.4n "
    "CJ=0.3m CBD=5f CBS=6f)\n"
    "Q1 0 e k sub qp\nVSUB sub 0 DC 10\nRK vdd k 47k\n"
    ".model qp PNP(IS=1e-15 BF=80 VAF=40 RB=100 RE=2 RC=15 CJE=2p CJC=1p TF=0.5n XCJC=0.6)\n";

TEST_F(OperatingPoint, ExamplesAgreeWithTheSimulatorsAcAnalysis) {
    testing::ScratchDir dir;
    dir.write("dispositivos.cir", every_device);
    struct Example {
        std::string deck;
        double fstart, fstop;  // Hz: 7 decades, 7 points each, 50 frequencies
    } examples[] = {
        {dir.file("dispositivos.cir"), 10.0, 1e8},
        {testing::source_path("examples/emissor_comum.cir"), 1.0, 1e7},
        {testing::source_path("examples/par_diferencial.cir"), 10.0, 1e8},
        // Last: its .options gmin=0 stays with the simulator for the rest of the process.
        {testing::source_path("examples/ampop_cmos.cir"), 1.0, 1e7},
    };
    for (const Example& example : examples) {
        SCOPED_TRACE(example.deck);
        const std::string& path = example.deck;
        spice::ImportResult imported = spice::import_deck_file(path, options_);
        ASSERT_TRUE(imported.ok) << imported.refusals[0];
        ASSERT_TRUE(imported.small_signal);
        ExactAnalysis ours(imported.netlist);
        ASSERT_TRUE(ours.ok()) << ours.log();

        std::vector<std::string> lines, nodes;
        std::string error;
        ASSERT_TRUE(spice::simulator_deck(path, lines, error)) << error;
        for (const spice::PointValue& node : imported.point.nodes) nodes.push_back(node.name);
        std::vector<double> frequencies;
        std::map<std::string, std::vector<cplx>> reference;
        std::vector<std::string> vectors;
        for (const std::string& node : nodes) vectors.push_back(lower(node));
        ASSERT_TRUE(oppoint::ngspice_ac(lines, vectors, 7, example.fstart, example.fstop, frequencies, reference, error))
            << error;
        ASSERT_EQ(frequencies.size(), 50u);
        double worst = 0.0;
        for (std::size_t f = 0; f < frequencies.size(); ++f) {
            cplx s(0.0, 2.0 * pi * frequencies[f]);
            double peak = 0.0;
            for (const std::string& node : vectors) peak = std::max(peak, std::abs(reference[node][f]));
            for (std::size_t n = 0; n < nodes.size(); ++n) {
                ASSERT_TRUE(ours.has(nodes[n])) << nodes[n];
                cplx expected = reference[vectors[n]][f];
                double error_here = std::abs(ours.at(nodes[n], s) - expected);
                // Nodes the simulator holds at zero (supplies) compare against the peak.
                double scale = std::max(std::abs(expected), 1e-9 * peak);
                worst = std::max(worst, error_here / scale);
                EXPECT_LE(error_here, 1e-6 * scale) << "V(" << nodes[n] << ") a " << frequencies[f] << " Hz";
            }
        }
        std::printf("%s: maior diferença relativa %.2e\n", path.c_str(), worst);
    }
}

TEST_F(OperatingPoint, DevicesWithoutAnEquivalentAreRefusedByName) {
    struct Case {
        const char* deck;
        const char* refusal;
    } cases[] = {
        {"bsim\nVD d 0 1\nM1 d d 0 0 nb L=1u W=10u\n.model nb nmos level=8\n",
         "linha 3: M1 d d 0 0 nb L=1u W=10u (transistor MOS M1, modelo nb: o modelo BSIM3 do simulador não tem o "
         "equivalente de pequenos sinais transcrito)"},
        {"excesso de fase\nVC c 0 5\nVB b 0 0.7\nQ1 c b 0 qx\n.model qx npn(ptf=30 tf=1n)\n",
         "linha 4: Q1 c b 0 qx (transistor bipolar Q1, modelo qx: fase em excesso (PTF) não tem equivalente de "
         "elementos concentrados)"},
        {"sem ponto\nVD a 0 1\nD1 a 0 dm\n.model dm D\n", nullptr},
    };
    std::filesystem::remove("b3v33check.log");
    for (const Case& c : cases) {
        spice::ImportResult r = import(c.deck);
        // The simulator's model check log is written in its own scratch directory.
        EXPECT_FALSE(std::filesystem::exists("b3v33check.log")) << c.deck;
        if (!c.refusal) {
            // Without the solver the device is refused, never written as a short or an open.
            spice::ImportResult plain = spice::testing::import_text(c.deck);
            ASSERT_FALSE(plain.ok);
            EXPECT_EQ(plain.refusals[0], "linha 3: D1 a 0 dm (diodo: o ponto de operação não é calculado aqui)");
            continue;
        }
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.netlist.empty());
        ASSERT_EQ(r.refusals.size(), 1u);
        EXPECT_EQ(r.refusals[0], c.refusal);
    }
}

TEST_F(OperatingPoint, FailingOperatingPointIsRefusedWithTheSimulatorsMessage) {
    // Two sources force one node to two voltages: the simulator gives up.
    spice::ImportResult r = import("conflito\nV1 a 0 5\nV2 a 0 2\nR1 a b 1\nD1 b 0 dm\n.model dm D(IS=1e-14)\n");
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(r.refusals.size(), 1u);
    EXPECT_EQ(r.refusals[0].rfind("o ponto de operação não convergiu: ", 0), 0u) << r.refusals[0];
    EXPECT_NE(r.refusals[0].find("op simulation(s) aborted"), std::string::npos) << r.refusals[0];

    // A deck the simulator cannot read at all: its message too.
    spice::ImportResult unknown = import("sem modelo\nV1 a 0 1\nD1 a 0 nada\n");
    EXPECT_FALSE(unknown.ok);
    ASSERT_EQ(unknown.refusals.size(), 1u);
    EXPECT_NE(unknown.refusals[0].find("nada"), std::string::npos) << unknown.refusals[0];

    // The simulator is still usable afterwards.
    spice::ImportResult good = import("diodo\nV1 a 0 DC 5 AC 1\nR1 a b 1k\nD1 b 0 dm\n.model dm D(IS=1e-14)\n");
    ASSERT_TRUE(good.ok) << good.refusals[0];
    EXPECT_NE(good.netlist.find("rd_D1 b 0 "), std::string::npos) << good.netlist;
}

}  // namespace
}  // namespace quorvat
