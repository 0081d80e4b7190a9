// Subcircuit expansion: every X instance replaced by the elements of its definition,
// with hierarchical names, or by an ideal op-amp when the user asked for one.
#include <memory>
#include <set>
#include <string>

#include "spice/circuit.h"

namespace quorvat::spice {

namespace {

constexpr std::size_t max_depth = 32;
constexpr std::size_t max_flat_elements = 100000;  // far beyond the analysis, short of exhausting memory
// Text the expansion keeps (hierarchical names, node names, quoted lines): long instance
// names multiply along the hierarchy, so the count of elements alone does not bound memory.
constexpr std::size_t max_flat_bytes = 64u << 20;

std::string upper_first(std::string name) {
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

bool is_ground(const std::string& key) { return key == "0" || key == "gnd"; }

// Where the lines being expanded stand: the instance path, the pins of the instance
// and its parameters.
struct Scope {
    std::string path;                          // "X1.X2" as written; empty at the top
    std::map<std::string, std::string> pins;  // pin key: node key outside
    const ParamScope* params = nullptr;
    std::vector<std::string> open;             // subcircuits being expanded, outermost first
    double copies = 1.0;                       // m= of the instances around: parallel copies
};

// m= on an X line puts that many copies of the instance in parallel: the elements that
// scale with copies (R, L divided; C, F, G, I multiplied) take it, the others keep
// their values, as the reference simulator does.
void multiply(FlatElement& element, double copies) {
    switch (element.kind) {
        case 'R':
        case 'L':
            element.value /= copies;
            element.ac_value /= copies;
            break;
        case 'C':
        case 'F':
        case 'G':
            element.value *= copies;
            for (double& gain : element.gains) gain *= copies;
            break;
        case 'I':
            element.source.dc *= copies;
            element.source.ac *= copies;
            element.source.change *= copies;
            break;
        default: break;
    }
}

class Flattener {
public:
    Flattener(const Deck& deck, const ImportOptions& options, FlatCircuit& circuit, Diagnostics& diagnostics)
        : deck_(deck), options_(options), circuit_(circuit), diagnostics_(diagnostics) {}

    void run() {
        Scope top;
        top.params = deck_params();
        expand(deck_.top, top);
    }

private:
    std::string node(const std::string& word, const Scope& scope) {
        std::string key = lower(word);
        if (is_ground(key)) return "0";
        if (auto pin = scope.pins.find(key); pin != scope.pins.end()) return pin->second;
        if (deck_.globals.count(key)) {  // one node of the whole circuit, whatever the instance
            circuit_.node_names.emplace(key, word);
            return key;
        }
        std::string full = scope.path.empty() ? word : scope.path + "." + word;
        key = lower(full);
        if (circuit_.node_names.emplace(key, full).second) bytes_ += 2 * full.size();
        return key;
    }

    std::string full_name(const std::string& name, const Scope& scope) const {
        return scope.path.empty() ? name : scope.path + "." + name;
    }

    // The netlist name an element asks for: its own name, then the instance path.
    std::string candidate(const std::string& name, const Scope& scope, const std::string& prefix = "") const {
        return upper_first(prefix + (scope.path.empty() ? name : name + "." + scope.path));
    }

    void add(FlatElement element) {
        bytes_ += 2 * element.key.size() + element.full_name.size() + element.candidate.size() +
                  element.origin.text.size() + element.origin.file.size();
        for (const std::string& text : element.nodes) bytes_ += text.size();
        for (const std::string& text : element.refs) bytes_ += text.size();
        if (!keys_.insert(element.key).second) {
            diagnostics_.refuse(element.origin, "nome " + element.full_name + " repetido");
            return;
        }
        if (element.gains.empty()) circuit_.elements.push_back(std::move(element));
        else add_poly(element);
    }

    // A linear POLY source as one element per input: current outputs (G, F) in
    // parallel, voltage outputs (E, H) in series through new nodes. The first keeps the
    // source's name; the others add _2, _3...
    void add_poly(const FlatElement& poly) {
        const std::size_t count = poly.gains.size();
        const bool series = poly.kind == 'E' || poly.kind == 'H';
        std::string from = poly.nodes[0];
        for (std::size_t i = 0; i < count; ++i) {
            FlatElement term = poly;
            std::string suffix = i == 0 ? "" : "_" + std::to_string(i + 1);
            term.key = i == 0 ? poly.key : "\x01" + poly.key + suffix;  // no deck element has \x01
            term.full_name = poly.full_name + suffix;
            term.candidate = poly.candidate + suffix;
            term.value = poly.gains[i];
            term.gains.clear();
            term.offset = i == 0 ? poly.offset : 0.0;
            std::string to = poly.nodes[1];
            if (series && i + 1 < count) {
                to = "\x01" + poly.key + "#" + std::to_string(i + 1);
                circuit_.node_names.emplace(to, poly.candidate + "_n" + std::to_string(i + 1));
            }
            term.nodes = {series ? from : poly.nodes[0], series ? to : poly.nodes[1]};
            if (poly.kind == 'E' || poly.kind == 'G')
                term.nodes.insert(term.nodes.end(), {poly.nodes[2 + 2 * i], poly.nodes[3 + 2 * i]});
            else
                term.refs = {poly.refs[i]};
            from = to;
            circuit_.elements.push_back(std::move(term));
        }
    }

    void expand(const std::vector<Statement>& body, const Scope& scope) {
        for (const Statement& statement : body) {
            if (circuit_.elements.size() >= max_flat_elements)
                return diagnostics_.refuse(statement.origin, "subcircuitos expandem-se em elementos demais (mais de " +
                                                                 std::to_string(max_flat_elements) + ")");
            if (bytes_ > max_flat_bytes)
                return diagnostics_.refuse(statement.origin,
                                           "subcircuitos expandem-se em texto demais (nomes e linhas de mais de 64 MiB)");
            const std::string& name = statement.words[0];
            if (name[0] == 'x' || name[0] == 'X') {
                instance(statement, scope);
                continue;
            }
            FlatElement element;
            element.full_name = full_name(name, scope);
            element.key = lower(element.full_name);
            element.candidate = candidate(name, scope);
            ElementScope lines;
            lines.node = [&](const std::string& word) { return node(word, scope); };
            lines.element = [&](const std::string& word) { return lower(full_name(word, scope)); };
            lines.params = scope.params;
            lines.deck = &deck_;
            if (!parse_element(statement, lines, element, diagnostics_)) continue;
            if (scope.copies != 1.0) multiply(element, scope.copies);
            add(std::move(element));
        }
    }

    // The pin position (0-based) named by an --amp-op field: a position from 1, or a pin name.
    bool pin_index(const std::string& field, const Subcircuit* sub, std::size_t count, std::size_t& index) {
        if (!field.empty() && field.find_first_not_of("0123456789") == std::string::npos && field.size() < 4) {
            index = std::stoul(field) - 1;
            return index < count;
        }
        if (!sub) return false;
        for (std::size_t i = 0; i < sub->pins.size(); ++i)
            if (lower(sub->pins[i]) == lower(field)) {
                index = i;
                return true;
            }
        return false;
    }

    const OpAmpSubcircuit* op_amp_for(const std::string& key) const {
        for (const OpAmpSubcircuit& op_amp : options_.op_amps)
            if (lower(op_amp.name) == key) return &op_amp;
        return nullptr;
    }

    void op_amp(const Statement& statement, const Scope& scope, const OpAmpSubcircuit& mapping, const Subcircuit* sub,
                const std::vector<std::string>& pins) {
        const std::string& name = statement.words[0];
        std::size_t plus = 0, minus = 0, output = 0;
        if (sub && sub->pins.size() != pins.size())
            return diagnostics_.refuse(statement.origin, "número de pinos diferente da definição de " + sub->name);
        if (!pin_index(mapping.plus, sub, pins.size(), plus) || !pin_index(mapping.minus, sub, pins.size(), minus) ||
            !pin_index(mapping.output, sub, pins.size(), output))
            return diagnostics_.refuse(statement.origin, "pinos de --amp-op " + mapping.name + " inexistentes");
        FlatElement element;
        element.kind = 'O';
        element.full_name = full_name(name, scope);
        element.key = lower(element.full_name);
        element.candidate = candidate(name, scope, "O");
        element.nodes = {node(pins[output], scope), "0", node(pins[plus], scope), node(pins[minus], scope)};
        element.origin = statement.origin;
        add(std::move(element));
    }

    void instance(const Statement& statement, const Scope& scope) {
        const std::vector<std::string>& words = statement.words;
        std::size_t end = 1;
        while (end < words.size() && words[end].find('=') == std::string::npos && lower(words[end]) != "params:") ++end;
        if (end < 2) return diagnostics_.refuse(statement.origin, "falta o nome do subcircuito");
        std::string sub_key = lower(words[end - 1]);
        std::vector<std::string> pins(words.begin() + 1, words.begin() + static_cast<std::ptrdiff_t>(end - 1));
        auto found = deck_.subcircuits.find(sub_key);
        const Subcircuit* sub = found == deck_.subcircuits.end() ? nullptr : &found->second;
        if (const OpAmpSubcircuit* mapping = op_amp_for(sub_key)) return op_amp(statement, scope, *mapping, sub, pins);
        if (!sub) return diagnostics_.refuse(statement.origin, "subcircuito " + words[end - 1] + " não definido");
        if (sub->pins.size() != pins.size())
            return diagnostics_.refuse(statement.origin, "número de pinos diferente da definição de " + sub->name);
        for (const std::string& open : scope.open)
            if (open == sub_key) return diagnostics_.refuse(statement.origin, "subcircuito usado dentro de si mesmo");
        if (scope.open.size() >= max_depth) return diagnostics_.refuse(statement.origin, "subcircuitos aninhados demais");

        ParamScope params(deck_params());
        for (const auto& [name, expression] : sub->defaults) params.define(name, expression);
        double copies = 1.0;
        for (const auto& [name, expression] : assignments(words, end)) {
            double value;
            std::string error;
            if (!evaluate(expression, scope.params, value, error))
                return diagnostics_.refuse(statement.origin, "parâmetro " + name + ": " + error);
            if (name == "m") {
                if (!(value > 0.0)) return diagnostics_.refuse(statement.origin, "m deve ser positivo");
                copies = value;
                continue;
            }
            params.define_value(name, value);
        }
        for (const auto& [name, expression] : sub->params) params.define(name, expression);

        Scope inner;
        inner.path = full_name(words[0], scope);
        for (std::size_t i = 0; i < pins.size(); ++i) inner.pins[lower(sub->pins[i])] = node(pins[i], scope);
        inner.params = &params;
        inner.open = scope.open;
        inner.open.push_back(sub_key);
        inner.copies = scope.copies * copies;
        expand(sub->body, inner);
    }

    // Subcircuit parameters see the deck's global ones.
    const ParamScope* deck_params() {
        if (!global_) {
            global_ = std::make_unique<ParamScope>();
            for (const auto& [name, expression] : deck_.params) global_->define(name, expression);
            for (const FunctionDefinition& f : deck_.functions)
                global_->define_function(f.name, {f.parameters, f.body});
        }
        return global_.get();
    }

    const Deck& deck_;
    const ImportOptions& options_;
    FlatCircuit& circuit_;
    Diagnostics& diagnostics_;
    std::set<std::string> keys_;
    std::unique_ptr<ParamScope> global_;
    std::size_t bytes_ = 0;  // text kept by the expansion so far
};

}  // namespace

void flatten(const Deck& deck, const ImportOptions& options, FlatCircuit& circuit, Diagnostics& diagnostics) {
    circuit.title = deck.title;
    Flattener flattener(deck, options, circuit, diagnostics);
    flattener.run();
}

}  // namespace quorvat::spice
