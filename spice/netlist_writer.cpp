// From the flat circuit to the text of our netlist: the sensing branches of F and H,
// names that our reader carries, the source types and the header.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "engine/limits.h"
#include "engine/text.h"
#include "spice/circuit.h"

namespace quorvat::spice {

namespace {

bool allowed_char(char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' ||
           ch == '.' || ch == '+' || ch == '-';
}

bool fits(const std::string& name) {
    if (name.empty() || name.size() > static_cast<std::size_t>(max_name_length)) return false;
    for (char ch : name)
        if (!allowed_char(ch)) return false;
    return true;
}

std::string number(double value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)error;
    return std::string(buffer, end);
}

// Names of one kind (nodes, or elements): the names asked for where they fit and are
// free, short replacements otherwise. Compared without case, as SPICE does.
class Names {
public:
    explicit Names(std::set<std::string> taken = {}) : taken_(std::move(taken)) {}

    // First pass: every name that fits and is free is kept for its key.
    void ask(const std::string& key, const std::string& wanted) {
        if (names_.count(key) || !fits(wanted) || !taken_.insert(lower(wanted)).second) return;
        names_[key] = wanted;
    }
    // Second pass: the others get prefix + "_" + a number that is free.
    const std::string& give(const std::string& key, const std::string& prefix) {
        auto found = names_.find(key);
        if (found != names_.end()) return found->second;
        std::string name;
        do name = prefix + "_" + std::to_string(++counters_[prefix]);
        while (!taken_.insert(lower(name)).second);
        return names_[key] = name;
    }
    const std::string& operator[](const std::string& key) const { return names_.at(key); }

private:
    std::set<std::string> taken_;
    std::map<std::string, std::string> names_;
    std::map<std::string, int> counters_;
};

// "A, B, C" for a note, the first ten names and how many more.
std::string name_list(const std::vector<std::string>& names) {
    std::string list;
    for (std::size_t i = 0; i < names.size() && i < 10; ++i) list += (i ? ", " : "") + to_utf8(names[i]);
    if (names.size() > 10) list += " e mais " + std::to_string(names.size() - 10);
    return list;
}

int extra_currents(char kind) {
    switch (kind) {
        case 'V':
        case 'E':
        case 'F':
        case 'O':
        case 'L': return 1;
        case 'H': return 2;
        default: return 0;
    }
}

class Writer {
public:
    Writer(const FlatCircuit& circuit, const ImportOptions& options, Diagnostics& diagnostics)
        : circuit_(circuit), options_(options), diagnostics_(diagnostics) {}

    std::string write(const std::string& deck_name, std::vector<std::string>& warnings, PointTable* point);

private:
    void settle_sources();
    void settle_source(FlatElement& element, bool network);
    void settle_phases();
    void add_ports();
    bool resolve_references();
    void route_sensed_currents();
    void choose_names();
    std::string element_line(const FlatElement& element) const;
    PointTable operating_point() const;
    static std::string point_header(const PointTable& point);
    std::string internal_node(const std::string& why) {
        std::string key = "\n" + std::to_string(internal_.size());  // no deck node has a line feed
        internal_.emplace_back(key, why);
        return key;
    }

    const FlatCircuit& circuit_;
    const ImportOptions& options_;
    Diagnostics& diagnostics_;
    std::vector<FlatElement> elements_;  // in netlist order, K last
    std::map<std::string, std::size_t> index_;
    std::vector<std::pair<std::string, std::string>> internal_;  // node key, what it joins
    std::set<std::string> removed_;                              // ammeters replaced by sensing branches
    std::vector<std::string> replacements_;                      // header lines
    std::vector<std::string> internal_lines_;                    // header lines
    std::set<std::string> named_nodes_;
    std::vector<std::string> zeroed_;        // sources without AC in an AC deck
    std::vector<std::string> dropped_ics_;   // initial conditions left out of network functions
    Names node_names_{{"0"}};
    bool network_ = false;  // the results are network functions
    Names element_names_;
};

// What each source becomes. In an AC deck (a source with AC, or --fontes impulso) the
// results are network functions: the AC values drive them, and DC values, transient
// functions and initial conditions play no part, as in SPICE's AC analysis. In a deck
// without AC the DC values and the steps of the transient functions drive step responses.
void Writer::settle_sources() {
    bool network = options_.sources == SourceMode::impulse;
    for (const FlatElement& element : elements_)
        network = network || (options_.sources == SourceMode::as_written && (element.kind == 'V' || element.kind == 'I') &&
                              element.source.has_ac);
    network_ = network;
    for (FlatElement& element : elements_) {
        if (element.kind == 'V' || element.kind == 'I') settle_source(element, network);
        if (element.kind == 'R' && element.has_ac_value) {
            diagnostics_.note(element.origin, "resistência AC " + significant(element.ac_value, 9) +
                                                  (network ? " usada; a DC é " + significant(element.value, 9)
                                                           : " ignorada: sem fonte AC, vale a DC"));
            if (network) element.value = element.ac_value;
        }
        if (element.offset != 0.0) {
            // A constant output, like a DC value: no part in network functions nor around
            // an operating point; a step deck has nothing to stand for it.
            if (network || circuit_.small_signal)
                diagnostics_.note(element.origin, circuit_.small_signal
                                                      ? "termo constante do POLY descartado no circuito de pequenos sinais"
                                                      : "termo constante do POLY ignorado: não muda as funções de rede");
            else
                diagnostics_.refuse(element.origin, "POLY com termo constante num deck sem AC: só nas funções de rede "
                                                    "ou num circuito de pequenos sinais ele é descartado");
        }
        if ((element.kind == 'C' || element.kind == 'L') && element.has_second && network) {
            element.has_second = false;
            dropped_ics_.push_back(element.full_name);
        }
    }
    if (network) settle_phases();
    if (!zeroed_.empty())
        diagnostics_.note("fontes sem AC valem 0 nas funções de rede, como na análise AC: " + name_list(zeroed_));
    if (!dropped_ics_.empty())
        diagnostics_.note("condições iniciais deixadas fora das funções de rede, como na análise AC: " +
                          name_list(dropped_ics_));
}

void Writer::settle_source(FlatElement& element, bool network) {
    FlatElement::Source& source = element.source;
    element.ammeter = element.kind == 'V' && !source.has_ac && source.function.empty() && source.dc == 0.0;
    if (circuit_.small_signal && !source.has_ac) {
        // Around the operating point the DC values and transient functions are spent:
        // only the AC values drive the small-signal circuit.
        element.value = 0.0;
        element.ammeter = element.kind == 'V';
        element.impulse = options_.sources == SourceMode::impulse || network;
        return;
    }
    if (options_.sources == SourceMode::as_written && network) {
        element.impulse = true;
        element.value = source.has_ac ? source.ac : 0.0;
        if (!source.has_ac && (source.dc != 0.0 || !source.function.empty())) zeroed_.push_back(element.full_name);
        if (source.has_ac && !source.function.empty())
            diagnostics_.note(element.origin, "função " + source.function + " ignorada: a fonte tem AC");
        return;
    }
    element.impulse = options_.sources == SourceMode::impulse;
    if (source.has_ac) {
        element.value = source.ac;
        if (!source.function.empty())
            diagnostics_.note(element.origin, "função " + source.function + " ignorada: a fonte tem AC");
    } else if (!source.function.empty() && source.has_change) {
        element.value = source.change;
        diagnostics_.note(element.origin, "função " + source.function + " trocada por " +
                                              (element.impulse ? "impulso" : "degrau") +
                                              " da variação entre o valor inicial e o final");
    } else if (!source.function.empty() && source.has_dc) {
        element.value = source.dc;
        diagnostics_.note(element.origin, "função " + source.function + " ignorada: vale o valor DC");
    } else if (!source.function.empty()) {
        diagnostics_.refuse(element.origin, "função " + source.function +
                                                " não tem degrau equivalente e a fonte não tem valor AC nem DC");
    } else {
        element.value = source.dc;
    }
}

// Network functions have real coefficients: every AC source must share one phase, up to
// a sign. A phase common to all only turns every response, and is left out with a note.
void Writer::settle_phases() {
    bool first = true;
    double common = 0.0;
    for (FlatElement& element : elements_) {
        if ((element.kind != 'V' && element.kind != 'I') || !element.source.has_ac || element.value == 0.0) continue;
        double phase = std::fmod(element.source.phase, 360.0);
        if (phase < 0.0) phase += 360.0;
        if (first) {
            common = std::fmod(phase, 180.0);
            first = false;
        }
        double turn = std::fmod(phase - common + 360.0, 360.0);
        if (std::fabs(turn) < 1e-9 || std::fabs(turn - 360.0) < 1e-9) continue;
        if (std::fabs(turn - 180.0) < 1e-9) {
            element.value = -element.value;
            diagnostics_.note(element.origin, "fase 180 graus além da das outras fontes: valor AC com o sinal trocado");
            continue;
        }
        diagnostics_.refuse(element.origin, "fase AC diferente da das outras fontes AC: funções de rede de coeficientes "
                                            "reais não a representam; analise uma fonte de cada vez");
    }
    if (common != 0.0) {
        diagnostics_.note("fase " + significant(common, 9) +
                          " graus comum às fontes AC deixada de fora: cada resposta do deck é a do netlist vezes e^(j·" +
                          significant(common, 9) + "°)");
    }
}

// An RF port (portnum) is its source with the resistance z0 in series: a resistor from
// the + node to a new node, where the source now begins.
void Writer::add_ports() {
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        if (elements_[i].kind != 'V' || !elements_[i].source.port) continue;
        FlatElement resistor;
        resistor.kind = 'R';
        resistor.value = elements_[i].source.z0;
        resistor.key = elements_[i].key + "\nz0";
        resistor.full_name = elements_[i].full_name + ".z0";
        resistor.candidate = "Rz0_" + elements_[i].candidate;
        resistor.origin = elements_[i].origin;
        std::string inner = internal_node("entre " + resistor.candidate + " (z0 da porta) e " + elements_[i].full_name);
        resistor.nodes = {elements_[i].nodes[0], inner};
        elements_[i].nodes[0] = inner;
        elements_.insert(elements_.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(resistor));
    }
}

bool Writer::resolve_references() {
    bool ok = true;
    for (const FlatElement& element : circuit_.elements) {
        for (const std::string& ref : element.refs) {
            auto found = index_.find(ref);
            char wanted = element.kind == 'K' ? 'L' : 'V';
            if (found == index_.end() || elements_[found->second].kind != wanted) {
                diagnostics_.refuse(element.origin, wanted == 'L' ? "indutor não encontrado"
                                                                  : "a corrente medida não é de uma fonte V conhecida");
                ok = false;
            }
        }
    }
    return ok;
}

// Our F and H sense the current of their own short-circuited input branch. An ammeter
// (a 0 V source) that they name gives way to their input branches, in series between
// its nodes; a source with a voltage keeps its place with the branches in series
// with it through new internal nodes. Each branch carries the named source's current
// from its + node to its - node, as SPICE measures it.
void Writer::route_sensed_currents() {
    std::map<std::string, std::vector<std::size_t>> sensing;  // V key: its F and H, in order
    for (std::size_t i = 0; i < elements_.size(); ++i)
        if (elements_[i].kind == 'F' || elements_[i].kind == 'H') sensing[elements_[i].refs[0]].push_back(i);
    for (auto& [source_key, users] : sensing) {
        FlatElement& source = elements_[index_[source_key]];
        std::string from = source.nodes[0], to = source.nodes[1];
        if (source.ammeter) {
            removed_.insert(source_key);
            std::string list;
            for (std::size_t user : users) list += (list.empty() ? "" : ", ") + elements_[user].full_name;
            diagnostics_.note(describe(source.origin) + " (fonte de 0 V trocada pelo ramo de entrada de " + list + ")");
        } else {
            from = internal_node("entre " + source.full_name + " e a entrada de " + elements_[users[0]].full_name);
            source.nodes[1] = from;
        }
        for (std::size_t k = 0; k < users.size(); ++k) {
            FlatElement& user = elements_[users[k]];
            std::string next = k + 1 == users.size()
                                   ? to
                                   : internal_node("entre as entradas de " + user.full_name + " e de " +
                                                   elements_[users[k + 1]].full_name);
            user.nodes.push_back(from);
            user.nodes.push_back(next);
            from = next;
        }
    }
}

void Writer::choose_names() {
    for (const FlatElement& element : elements_) {
        if (removed_.count(element.key)) continue;
        element_names_.ask(element.key, element.candidate);
        for (const std::string& node : element.nodes)
            if (node != "0" && node[0] != '\n') node_names_.ask(node, circuit_.node_names.at(node));
    }
    for (const FlatElement& element : elements_) {
        if (removed_.count(element.key)) continue;
        const std::string& name =
            element_names_.give(element.key, element.fallback.empty() ? std::string(1, element.kind) : element.fallback);
        if (lower(name) != lower(element.full_name)) replacements_.push_back(to_utf8(element.full_name) + " -> " + name);
        for (const std::string& node : element.nodes) {
            if (node == "0") continue;
            bool internal = node[0] == '\n';
            bool first = !named_nodes_.count(node);
            const std::string& node_name = node_names_.give(node, "n");
            if (!first) continue;
            named_nodes_.insert(node);
            if (internal) {
                for (const auto& [key, why] : internal_)
                    if (key == node) internal_lines_.push_back(node_name + ": nó novo " + why);
            } else if (node_name != circuit_.node_names.at(node)) {
                replacements_.push_back(to_utf8(circuit_.node_names.at(node)) + " -> " + node_name);
            }
        }
    }
}


std::string Writer::element_line(const FlatElement& element) const {
    std::string line = element_names_[element.key];
    if (element.kind == 'K') {
        line += ' ' + element_names_[element.refs[0]] + ' ' + element_names_[element.refs[1]];
    } else {
        for (const std::string& node : element.nodes) line += ' ' + (node == "0" ? node : node_names_[node]);
    }
    if (element.kind != 'O') line += ' ' + number(element.value);
    if ((element.kind == 'C' || element.kind == 'L') && element.has_second) line += " IC=" + number(element.second);
    if (element.kind == 'V' || element.kind == 'I') line += element.impulse ? " IMPULSO" : " DEGRAU";
    return line;
}

const char* unit_of(char kind) {
    switch (kind) {
        case 'R': return "Ω";
        case 'C': return "F";
        case 'L': return "H";
        default: return "S";
    }
}

// The operating point in the netlist's names: nodes as written when a node left the
// netlist with its device (a node that only an off device touched).
PointTable Writer::operating_point() const {
    PointTable point;
    for (const NamedValue& node : circuit_.node_voltages) {
        auto name = circuit_.node_names.find(node.name);
        if (name == circuit_.node_names.end()) continue;
        std::string shown = named_nodes_.count(node.name) ? node_names_[node.name] : to_utf8(name->second);
        point.nodes.push_back(PointValue{shown, node.value, "V"});
    }
    for (const DeviceReport& device : circuit_.devices) {
        DevicePoint shown{to_utf8(device.name), to_utf8(device.model), device.region, {}, {}};
        for (const NamedValue& value : device.bias)
            shown.bias.push_back(PointValue{value.name, value.value, value.name[0] == 'i' ? "A" : "V"});
        for (const std::string& key : device.elements) {
            const FlatElement& element = elements_[index_.at(key)];
            shown.small_signal.push_back(PointValue{element_names_[key], element.value, unit_of(element.kind)});
        }
        point.devices.push_back(std::move(shown));
    }
    return point;
}

std::string Writer::point_header(const PointTable& point) {
    auto value = [](const PointValue& v) {
        char text[96];
        std::snprintf(text, sizeof text, "%s = %.6g %s", v.name.c_str(), v.value, v.unit);
        return std::string(text);
    };
    // Values a few to a line, so that the header stays readable.
    auto lines = [&](const std::vector<PointValue>& values, const char* indent) {
        std::string text;
        for (std::size_t i = 0; i < values.size(); i += 4) {
            text += indent;
            for (std::size_t j = i; j < values.size() && j < i + 4; ++j) text += (j > i ? "; " : "") + value(values[j]);
            text += '\n';
        }
        return text;
    };
    std::string text = "* Ponto de operação (ngspice); cada dispositivo trocado pelo seu circuito de pequenos sinais.\n";
    text += "* Tensões dos nós:\n" + lines(point.nodes, "*   ");
    for (const DevicePoint& device : point.devices) {
        text += "* " + device.name + ", modelo " + device.model;
        if (!device.region.empty()) text += ", região " + device.region;
        text += ":\n" + lines(device.bias, "*   ") + lines(device.small_signal, "*     ");
    }
    return text;
}

std::string Writer::write(const std::string& deck_name, std::vector<std::string>& warnings, PointTable* point) {
    for (const FlatElement& element : circuit_.elements)
        if (element.kind != 'K') elements_.push_back(element);
    for (const FlatElement& element : circuit_.elements)
        if (element.kind == 'K') elements_.push_back(element);  // after the inductors it names
    settle_sources();
    add_ports();
    for (std::size_t i = 0; i < elements_.size(); ++i) index_[elements_[i].key] = i;
    if (!resolve_references()) return {};
    route_sensed_currents();
    choose_names();

    std::string body;
    int elements = 0, variables = 0;
    for (const FlatElement& element : elements_) {
        if (removed_.count(element.key)) continue;
        body += element_line(element) + '\n';
        ++elements;
        variables += extra_currents(element.kind);
    }
    int nodes = static_cast<int>(named_nodes_.size());
    variables += nodes;

    std::string title = to_utf8(circuit_.title);
    std::string text = (title.empty() ? "Deck SPICE importado" : title) + '\n';
    text += "* Importado do deck SPICE " + to_utf8(deck_name) + " por quorvat-cli importar.\n";
    switch (options_.sources) {
        case SourceMode::as_written:
            text += network_ ? "* Fontes com AC: impulso do valor AC (funções de rede); as outras valem 0.\n"
                             : "* Fontes sem AC: degrau do valor DC.\n";
            break;
        case SourceMode::impulse: text += "* Fontes: todas como impulso (--fontes impulso).\n"; break;
        case SourceMode::step: text += "* Fontes: todas como degrau (--fontes degrau).\n"; break;
    }
    if (!replacements_.empty()) {
        text += "* Nomes trocados (deck -> netlist):\n";
        for (const std::string& line : replacements_) text += "*   " + line + '\n';
    }
    if (!internal_lines_.empty()) {
        text += "* Nós criados (correntes medidas por F e H, portas RF):\n";
        for (const std::string& line : internal_lines_) text += "*   " + line + '\n';
    }
    if (circuit_.small_signal) {
        PointTable table = operating_point();
        text += point_header(table);
        if (point) *point = std::move(table);
    }
    auto limit = [&](int count, int most, const char* what) {
        if (count > most)
            warnings.push_back("o netlist tem " + std::to_string(count) + " " + what +
                               "; a eliminação em ponto flutuante aceita até " + std::to_string(most) +
                               ". Para circuitos maiores, use o cálculo exato (opção --exato, ou \"Cálculo exato\" "
                               "nas opções)");
    };
    limit(nodes, max_nodes, "nós");
    limit(variables, max_variables, "variáveis");
    limit(elements, max_elements, "elementos");
    for (const std::string& line : diagnostics_.notes()) text += "* Nota: " + line + '\n';
    for (const std::string& line : warnings) text += "* Aviso: " + line + '\n';
    // The title and the comments quote the deck: control characters there (a NUL byte
    // above all, which the reader refuses on any line) become '?'.
    for (char& c : text)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') || c == 0x7f) c = '?';
    return text + body;
}

}  // namespace

std::string write_netlist(const FlatCircuit& circuit, const ImportOptions& options, const std::string& deck_name,
                          Diagnostics& diagnostics, std::vector<std::string>& warnings, PointTable* point) {
    Writer writer(circuit, options, diagnostics);
    return writer.write(deck_name, warnings, point);
}

}  // namespace quorvat::spice
