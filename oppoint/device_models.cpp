#include "oppoint/device_models.h"

#include <cmath>

namespace quorvat::oppoint {

namespace {

using spice::DeviceResult;
using spice::SmallSignalElement;

constexpr int ground = -1;

// Builds one device's equivalent; each value is read once, and a value the simulator
// does not give ends the transcription with a refusal.
class Builder {
public:
    Builder(const spice::DeviceRequest& device, DeviceValues& values, DeviceResult& result)
        : device_(device), values_(values), result_(result) {}

    bool failed() const { return !result_.refusal.empty(); }
    void refuse(const std::string& reason) {
        if (!failed()) result_.refusal = reason;
    }
    void region(const char* name) { result_.region = name; }

    double instance(const std::string& name) {
        double value = 0.0;
        if (!failed() && (!values_.instance(name, value) || !std::isfinite(value)))
            result_.refusal = "o simulador não informa " + name + " do dispositivo";
        return value;
    }
    double model(const std::string& name) {
        double value = 0.0;
        if (!failed() && (!values_.model(name, value) || !std::isfinite(value)))
            result_.refusal = "o simulador não informa o parâmetro " + name + " do modelo";
        return value;
    }
    void bias(const std::string& name, double value) {
        if (!failed()) result_.bias.push_back({name, value});
    }
    // The internal node behind a series resistance of the model, or the terminal itself.
    int behind(int terminal, double resistance, const char* role, const char* resistor) {
        if (resistance == 0.0) return terminal;
        int node = static_cast<int>(device_.terminals + result_.internal_nodes.size());
        result_.internal_nodes.push_back(role);
        add('R', resistor, {terminal, node}, resistance);
        return node;
    }
    void add(char kind, const std::string& role, std::vector<int> nodes, double value) {
        if (value != 0.0 && !failed()) result_.elements.push_back(SmallSignalElement{kind, role, std::move(nodes), value});
    }
    void resistor(const std::string& role, int a, int b, double conductance) {
        if (conductance != 0.0) add('R', role, {a, b}, 1.0 / conductance);
    }
    void capacitor(const std::string& role, int a, int b, double capacitance) { add('C', role, {a, b}, capacitance); }
    // A conductance written as a transconductance controlled by its own nodes.
    void conductance(const std::string& role, int a, int b, double value) { add('G', role, {a, b, a, b}, value); }
    void transconductance(const std::string& role, int out_plus, int out_minus, int in_plus, int in_minus, double value) {
        add('G', role, {out_plus, out_minus, in_plus, in_minus}, value);
    }
    int internal(const char* role) {
        result_.internal_nodes.push_back(role);
        return static_cast<int>(device_.terminals + result_.internal_nodes.size() - 1);
    }

private:
    const spice::DeviceRequest& device_;
    DeviceValues& values_;
    DeviceResult& result_;
};

double series_resistance(double resistance, double scale) { return resistance == 0.0 ? 0.0 : resistance / scale; }

void diode(Builder& b) {
    double m = b.instance("m"), area = b.instance("area");
    double rs = series_resistance(b.model("rs"), area * m);
    b.bias("id", b.instance("id"));
    b.bias("vd", b.instance("vd"));
    double gd = b.instance("gd"), cd = b.instance("cd");
    int anode = b.behind(0, rs, "ai", "rs");
    b.resistor("rd", anode, 1, gd);
    b.capacitor("cd", anode, 1, cd);
}

void bipolar(Builder& b, std::size_t terminals) {
    double m = b.instance("m"), area = b.instance("area");
    double rc = series_resistance(b.model("rc"), area), re = series_resistance(b.model("re"), area);
    if (b.model("ptf") != 0.0) b.refuse("fase em excesso (PTF) não tem equivalente de elementos concentrados");
    b.bias("ic", b.instance("ic"));
    b.bias("ib", b.instance("ib"));
    b.bias("vbe", b.instance("vbe"));
    b.bias("vbc", b.instance("vbc"));
    double gm = m * b.instance("gm"), gpi = m * b.instance("gpi"), gmu = m * b.instance("gmu");
    double go = m * b.instance("go"), gx = m * b.instance("gx");
    double cpi = m * b.instance("cqbe"), cmu = m * b.instance("cqbc"), cbx = m * b.instance("cqbx");
    double csub = m * b.instance("cqsub"), cmcb = m * b.instance("cexbc");
    // The substrate capacitance hangs from c' (vertical) or b' (lateral).
    double subs = 1.0;
    if (csub != 0.0) {
        subs = b.model("subs");
        if (subs != 1.0 && subs != -1.0)
            b.refuse("o simulador não informa se o substrato é vertical ou lateral (SUBS)");
    }
    if (b.failed()) return;
    int c = b.behind(0, rc / m, "ci", "rc");
    int base = gx != 0.0 ? b.internal("bi") : 1;
    b.resistor("rx", 1, base, gx);
    int e = b.behind(2, re / m, "ei", "re");
    int substrate = terminals > 3 ? 3 : ground;
    b.transconductance("gm", c, e, base, e, gm);
    b.resistor("rpi", base, e, gpi);
    b.resistor("rmu", base, c, gmu);
    b.resistor("ro", c, e, go);
    b.capacitor("cpi", base, e, cpi);
    b.capacitor("cmu", base, c, cmu);
    b.capacitor("cbx", 1, c, cbx);
    b.capacitor("ccs", subs < 0 ? base : c, substrate, csub);
    if (cmcb != 0.0) {
        // The charge of the base depends on Vb'c' too: a current s*cmcb*v(b'c') from b'
        // to e', made of a copy of v(b'c') driven into 1 H (whose voltage is then
        // s*v(b'c')) and a transconductance of that voltage.
        int x = b.internal("xq");
        b.transconductance("gbc", ground, x, base, c, 1.0);
        b.add('L', "lbc", {x, ground}, 1.0);
        b.transconductance("gqc", base, e, x, ground, cmcb);
    }
}

void mos(Builder& b) {
    // The simulator keeps vgs, vds and vbs in the sense of an n channel (a p channel's
    // are negated) but von and vdsat with their sign; vdsat is never negative in the
    // n sense, so its sign tells the type.
    double id = b.instance("id"), vgs = b.instance("vgs"), vds = b.instance("vds"), vbs = b.instance("vbs");
    double von = b.instance("von"), vdsat = b.instance("vdsat");
    double type = vdsat < 0.0 ? -1.0 : 1.0;
    b.bias("id", id);
    b.bias("vgs", type * vgs);
    b.bias("vds", type * vds);
    b.bias("vbs", type * vbs);
    b.bias("von", von);
    b.bias("vdsat", vdsat);
    double gm = b.instance("gm"), gds = b.instance("gds"), gmbs = b.instance("gmb");
    double gbd = b.instance("gbd"), gbs = b.instance("gbs");
    double cgs = b.instance("cgs"), cgd = b.instance("cgd"), cgb = b.instance("cgb");
    double cbd = b.instance("cbd"), cbs = b.instance("cbs");
    double gdrain = b.instance("drainconductance"), gsource = b.instance("sourceconductance");
    if (b.failed()) return;
    int d = b.behind(0, gdrain == 0.0 ? 0.0 : 1.0 / gdrain, "di", "rd");
    int s = b.behind(2, gsource == 0.0 ? 0.0 : 1.0 / gsource, "si", "rs");
    const int g = 1, bulk = 3;
    // In reverse mode (vds < 0) the channel's source is the drain side.
    bool normal = vds >= 0.0;
    int from = normal ? d : s, to = normal ? s : d;
    b.transconductance("gm", from, to, g, to, gm);
    b.transconductance("gmb", from, to, bulk, to, gmbs);
    b.conductance("gds", d, s, gds);
    b.resistor("rbd", bulk, d, gbd);
    b.resistor("rbs", bulk, s, gbs);
    b.capacitor("cgs", g, s, cgs);
    b.capacitor("cgd", g, d, cgd);
    b.capacitor("cgb", g, bulk, cgb);
    b.capacitor("cbd", bulk, d, cbd);
    b.capacitor("cbs", bulk, s, cbs);
    // The simulator's threshold and saturation voltage place the channel.
    double vgc = normal ? vgs : vgs - vds;  // gate to the channel's source side
    b.region(vgc < type * von ? "corte" : std::fabs(vds) < type * vdsat ? "triodo" : "saturação");
}

void jfet(Builder& b) {
    double m = b.instance("m"), area = b.instance("area");
    double rd = series_resistance(b.model("rd"), area * m), rs = series_resistance(b.model("rs"), area * m);
    b.bias("id", b.instance("id"));
    b.bias("vgs", b.instance("vgs"));
    b.bias("vgd", b.instance("vgd"));
    double gm = m * b.instance("gm"), gds = m * b.instance("gds");
    double ggs = m * b.instance("ggs"), ggd = m * b.instance("ggd");
    double cgs = m * b.instance("qgs"), cgd = m * b.instance("qgd");
    if (b.failed()) return;
    int d = b.behind(0, rd, "di", "rd");
    int s = b.behind(2, rs, "si", "rs");
    const int g = 1;
    b.transconductance("gm", d, s, g, s, gm);
    b.conductance("gds", d, s, gds);
    b.resistor("rgs", g, s, ggs);
    b.resistor("rgd", g, d, ggd);
    b.capacitor("cgs", g, s, cgs);
    b.capacitor("cgd", g, d, cgd);
}

}  // namespace

// The implementations whose AC stamps are transcribed here: Gummel-Poon, the Meyer
// MOSFETs of levels 1 to 3, the junction diode and the Shichman-Hodges JFET.
bool transcribed(char kind, const std::string& implementation) {
    switch (kind) {
        case 'D': return implementation == "Diode";
        case 'Q': return implementation == "BJT";
        case 'M': return implementation == "Mos1" || implementation == "Mos2" || implementation == "Mos3";
        case 'J': return implementation == "JFET";
        default: return false;
    }
}

spice::DeviceResult linearise(const spice::DeviceRequest& device, DeviceValues& values) {
    DeviceResult result;
    Builder builder(device, values, result);
    std::string implementation = values.implementation();
    if (!transcribed(device.kind, implementation))
        builder.refuse("o modelo " + (implementation.empty() ? std::string("do dispositivo") : implementation) +
                       " do simulador não tem o equivalente de pequenos sinais transcrito");
    else switch (device.kind) {
        case 'D': diode(builder); break;
        case 'Q': bipolar(builder, device.terminals); break;
        case 'M': mos(builder); break;
        case 'J': jfet(builder); break;
        default: result.refusal = "dispositivo sem equivalente de pequenos sinais"; break;
    }
    if (!result.refusal.empty()) {
        result.elements.clear();
        result.internal_nodes.clear();
    }
    return result;
}

}  // namespace quorvat::oppoint
