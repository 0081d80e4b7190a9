// The element lines of the linear subset (R, C, L, K, E, G, F, H, V and I, linear POLY
// sources among them) and of the devices handed over to the operating point (D, Q, M, J).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "spice/circuit.h"

namespace quorvat::spice {

namespace {

// Why an element kind outside the subset is refused.
const char* refused_kind(char kind) {
    switch (kind) {
        case 'Z': return "transistor MESFET";
        case 'B': return "fonte comportamental";
        case 'S':
        case 'W': return "chave";
        case 'T':
        case 'O':
        case 'U':
        case 'Y': return "linha de transmissão";
        case 'A': return "modelo de código";
        default: return "elemento desconhecido";
    }
}

bool starts_with(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The form of a controlled source named by the word after its output nodes, when it is
// not one gain: "poly" for POLY(2), VALUE={...}, TABLE {...}, "{" for an expression.
std::string form_word(const std::vector<std::string>& words) {
    if (words.size() < 4) return {};
    std::string word = lower(words[3]);
    if (word[0] == '{') return "{";
    return word.substr(0, word.find_first_of("({='"));
}

bool nonlinear_form(const std::vector<std::string>& words) {
    std::string head = form_word(words);
    if (head == "{") return true;
    static const char* const forms[] = {"value", "table", "laplace", "freq", "vol", "cur", "and", "or", "nand", "nor"};
    for (const char* form : forms)
        if (head == form) return true;
    return false;
}

// Splits the words of a source's value part at parentheses and commas, keeping braced
// and quoted expressions whole: "PULSE(0" "1)" -> PULSE 0 1.
std::vector<std::string> source_parts(const std::vector<std::string>& words, std::size_t first) {
    std::vector<std::string> parts;
    for (std::size_t w = first; w < words.size(); ++w) {
        std::string part;
        int braces = 0;
        bool quoted = false;
        for (char ch : words[w]) {
            if (ch == '\'') quoted = !quoted;
            if (!quoted && ch == '{') ++braces;
            if (!quoted && ch == '}' && braces > 0) --braces;
            if (!quoted && braces == 0 && (ch == '(' || ch == ')' || ch == ',' || ch == ' ' || ch == '\t')) {
                if (!part.empty()) parts.push_back(part);
                part.clear();
            } else {
                part += ch;
            }
        }
        if (!part.empty()) parts.push_back(part);
    }
    // "dc=1.27", "ac=1", "z0=50": the keyword and its value as two parts.
    std::vector<std::string> split;
    for (const std::string& part : parts) {
        std::size_t equals = part.find('=');
        bool keyword = equals != std::string::npos && equals > 0 && part[0] != '{' && part[0] != '\'';
        for (std::size_t i = 0; keyword && i < equals; ++i)
            keyword = (part[i] >= 'a' && part[i] <= 'z') || (part[i] >= 'A' && part[i] <= 'Z') ||
                      (part[i] >= '0' && part[i] <= '9');
        if (!keyword) {
            split.push_back(part);
            continue;
        }
        split.push_back(part.substr(0, equals));
        if (equals + 1 < part.size()) split.push_back(part.substr(equals + 1));
    }
    return split;
}

// The model types that a resistor, a capacitor and an inductor may name.
bool model_fits(char kind, const std::string& type) {
    switch (kind) {
        case 'R': return type == "r" || type == "res";
        case 'C': return type == "c" || type == "cap";
        case 'L': return type == "l" || type == "ind";
        default: return false;
    }
}

// One note for all the ignored parameters of a line, naming the first few: a note per
// parameter, each quoting the line, would grow with the square of the line.
std::string ignored_parameters(const std::vector<std::string>& names, std::size_t more) {
    if (names.size() == 1 && more == 0) return "parâmetro " + names[0] + " ignorado";
    std::string text = "parâmetros";
    for (std::size_t i = 0; i < names.size(); ++i) text += (i ? ", " : " ") + names[i];
    if (more > 0) text += " e mais " + std::to_string(more);
    return text + " ignorados";
}

class LineReader {
public:
    LineReader(const Statement& statement, const ElementScope& scope, FlatElement& element, Diagnostics& diagnostics)
        : words_(statement.words), scope_(scope), element_(element), diagnostics_(diagnostics),
          origin_(statement.origin) {}

    bool read();

private:
    bool refuse(const std::string& why) {
        diagnostics_.refuse(origin_, why);
        return false;
    }
    // A refusal that depends on the parameters of the instance names the element.
    bool refuse_here(const std::string& why) {
        if (element_.full_name.find('.') == std::string::npos) return refuse(why);
        return refuse(why + " em " + element_.full_name);
    }
    bool value_of(const std::string& text, double& value) {
        std::string error;
        if (evaluate(text, scope_.params, value, error)) return true;
        return refuse_here("valor inválido " + text + ": " + error);
    }
    bool nodes(std::size_t count) {
        if (words_.size() < count + 1) return refuse("faltam nós");
        for (std::size_t i = 1; i <= count; ++i) element_.nodes.push_back(scope_.node(words_[i]));
        return true;
    }
    bool passive();
    bool temperature_factor(const Assignments& instance, const Model* model, double& factor);
    bool coupling();
    bool voltage_controlled();
    bool current_controlled();
    bool poly(bool currents);
    bool device();
    bool source();
    bool transient_change(const std::string& function, const std::vector<double>& args);

    const std::vector<std::string>& words_;
    const ElementScope& scope_;
    FlatElement& element_;
    Diagnostics& diagnostics_;
    const Origin& origin_;
};

// The change of an R, C or L with temperature: 1 + tc1·ΔT + tc2·ΔT², or 1.01^(tce·ΔT)
// for R when tce is given, ΔT from the element's temp= or dtemp=, the deck's .temp and the nominal
// temperature. 1 when the deck runs at the nominal temperature.
bool LineReader::temperature_factor(const Assignments& instance, const Model* model, double& factor) {
    factor = 1.0;
    double tc1 = 0.0, tc2 = 0.0, tce = 0.0, nominal = 27.0, circuit = 27.0, dtemp = 0.0, own = 0.0;
    bool has_own = false;
    auto read = [&](const Assignments& list) {
        for (const auto& [name, expression] : list) {
            double* target = name == "tc1" ? &tc1 : name == "tc2" ? &tc2 : name == "tce" ? &tce
                           : name == "tnom" ? &nominal : name == "dtemp" ? &dtemp : name == "temp" ? &own : nullptr;
            if (target && !value_of(expression, *target)) return false;
            if (name == "temp") has_own = true;
        }
        return true;
    };
    const Deck* deck = scope_.deck;
    if (deck && !deck->temperature.empty() && !value_of(deck->temperature, circuit)) return false;
    if (deck && !deck->nominal_temperature.empty() && !value_of(deck->nominal_temperature, nominal)) return false;
    if (model && !read(model->params)) return false;  // a model's tnom overrides the deck's
    if (!read(instance)) return false;
    double delta = (has_own ? own : circuit + dtemp) - nominal;
    if (delta == 0.0 || (tc1 == 0.0 && tc2 == 0.0 && tce == 0.0)) return true;
    // With tce given the exponential law replaces the quadratic one.
    factor = tce != 0.0 ? std::pow(1.01, tce * delta) : 1.0 + tc1 * delta + tc2 * delta * delta;
    if (!(factor > 0.0) || !std::isfinite(factor)) return refuse_here("valor não positivo na temperatura do circuito");
    diagnostics_.note(origin_, "valor multiplicado por " + significant(factor, 9) + ": coeficientes de temperatura a " +
                                   significant(nominal + delta, 6) + " °C");
    return true;
}

// R, C, L: two nodes, the value (bare or as R=, C=, L=, value=) and a model name in
// either order, IC= for C and L, ac= (R), m= and scale=, and the temperature.
bool LineReader::passive() {
    if (!nodes(2)) return false;
    // "(w=2u l=1u)": instance parameters in parentheses, as one simulator writes them.
    std::vector<std::string> words;
    for (std::size_t i = 0; i < words_.size(); ++i) {
        const std::string& word = words_[i];
        bool grouped = word.size() >= 2 && word.front() == '(' && word.back() == ')';
        if (i < 3 || !grouped || word.find('=') == std::string::npos) {
            words.push_back(word);
            continue;
        }
        for (std::string& inner : split_words(std::string_view(word).substr(1, word.size() - 2)))
            words.push_back(std::move(inner));
    }
    std::vector<std::string> loose;
    Assignments named = assignments(words, 3, &loose);
    const char kind = element_.kind;
    const Model* model = nullptr;
    bool has_value = false;
    for (const std::string& word : loose) {
        const Model* found = nullptr;
        if (scope_.deck)
            if (auto m = scope_.deck->models.find(lower(word)); m != scope_.deck->models.end()) found = &m->second;
        if (found && !model) {
            if (!model_fits(kind, found->type))
                return refuse("o modelo " + word + " é do tipo " + found->type + ", não de " +
                              (kind == 'R' ? "resistor" : kind == 'C' ? "capacitor" : "indutor"));
            model = found;
        } else if (!has_value) {
            if (!value_of(word, element_.value)) return false;
            has_value = true;
        } else {
            return refuse("campo não reconhecido: " + word);
        }
    }
    double copies = 1.0, scale = 1.0;
    Assignments temperature;
    std::vector<std::string> geometry;
    std::vector<std::string> ignored;  // parameters that do not change the response, each once
    for (const auto& [name, expression] : named) {
        bool value_name = name == "value" || (kind == 'R' && (name == "r" || name == "resistance")) ||
                          (kind == 'C' && (name == "c" || name == "capacitance")) ||
                          (kind == 'L' && (name == "l" || name == "inductance"));
        if (value_name && !has_value) {
            if (!value_of(expression, element_.value)) return false;
            has_value = true;
        } else if (name == "ic" && kind != 'R') {
            if (!value_of(expression, element_.second)) return false;
            element_.has_second = true;
        } else if (name == "ac" && kind == 'R') {
            if (!value_of(expression, element_.ac_value)) return false;
            element_.has_ac_value = true;
        } else if (name == "m" || name == "scale") {
            double& target = name == "m" ? copies : scale;
            if (!value_of(expression, target)) return false;
            if (!(target > 0.0)) return refuse_here(name + " deve ser positivo");
        } else if (name == "temp" || name == "dtemp" || name == "tc1" || name == "tc2" ||
                   (name == "tce" && kind == 'R')) {
            temperature.emplace_back(name, expression);
        } else if (name == "noisy" || name == "noise" || name == "bv_max") {
            if (std::find(ignored.begin(), ignored.end(), name) == ignored.end()) ignored.push_back(name);
        } else if (name == "l" || name == "w" || name == "nt") {
            geometry.push_back(name);
        } else {
            return refuse("parâmetro desconhecido: " + name);
        }
    }
    if (!ignored.empty()) diagnostics_.note(origin_, ignored_parameters(ignored, 0) + ": sem efeito na resposta");
    if (!has_value && model && kind == 'R') {
        // A semiconductor resistor: sheet resistance times length over width, each etched
        // on both sides; the width by default 10 µm.
        double sheet = 0.0, width = 10e-6, length = 0.0, narrow = 0.0, shorten = 0.0;
        bool has_sheet = false, has_length = false;
        for (const auto& [name, expression] : model->params) {
            double* target = name == "rsh" ? &sheet : name == "defw" ? &width : name == "narrow" ? &narrow
                           : name == "short" ? &shorten : nullptr;
            if (target && !value_of(expression, *target)) return false;
            has_sheet = has_sheet || name == "rsh";
        }
        for (const auto& [name, expression] : named) {
            if (name == "l" && !value_of(expression, length)) return false;
            if (name == "w" && !value_of(expression, width)) return false;
            has_length = has_length || name == "l";
        }
        if (has_sheet && has_length) {
            double net_length = length - 2.0 * shorten, net_width = width - 2.0 * narrow;
            if (!(net_width > 0.0) || !(net_length > 0.0)) return refuse_here("geometria sem área: l ou w nulo depois do corte");
            element_.value = sheet * net_length / net_width;
            has_value = true;
            geometry.clear();
        }
    }
    if (!has_value) return refuse(model ? "falta o valor: só o resistor com rsh no modelo e l= é calculado"
                                        : "falta o valor");
    if (!geometry.empty()) diagnostics_.note(origin_, "parâmetro " + geometry[0] + " ignorado: o valor foi dado");
    if (model) {
        for (const auto& [name, expression] : model->params) {
            bool multiplier = (kind == 'R' && (name == "r" || name == "res")) ||
                              (kind == 'C' && (name == "c" || name == "cap")) ||
                              (kind == 'L' && (name == "l" || name == "ind"));
            bool nonlinear = name == "vc1" || name == "vc2" || name == "il1" || name == "il2";
            double parameter = 0.0;
            if ((multiplier || nonlinear) && !value_of(expression, parameter)) return false;
            if (multiplier && parameter != 1.0)
                return refuse("o modelo dá " + name + "=" + expression +
                              ": multiplicador num simulador, valor padrão noutro; escreva o valor no elemento");
            if (nonlinear && parameter != 0.0)
                return refuse("o modelo dá " + name + ": valor que depende do ponto de operação");
        }
    }
    double factor = 1.0;
    if ((model || !temperature.empty() || (scope_.deck && !scope_.deck->temperature.empty())) &&
        !temperature_factor(temperature, model, factor))
        return false;
    if (kind == 'R' && element_.value == 0.0) return refuse("resistência nula");
    if (kind == 'R' && element_.has_ac_value && element_.ac_value == 0.0) return refuse("resistência AC nula");
    double per_copy = kind == 'C' ? copies : 1.0 / copies;
    element_.value *= scale * per_copy * factor;
    element_.ac_value *= scale * per_copy * factor;
    return true;
}

bool LineReader::coupling() {
    if (words_.size() > 4) return refuse("acoplamento de mais de dois indutores");
    if (words_.size() < 4) return refuse("faltam campos");
    element_.refs = {scope_.element(words_[1]), scope_.element(words_[2])};
    if (!value_of(words_[3], element_.value)) return false;
    if (std::fabs(element_.value) > 1.0) return refuse_here("coeficiente de acoplamento fora de [-1, 1]");
    return true;
}

// POLY(k) of a controlled source: its k controlling pairs of nodes (E, G) or sensed
// sources (F, H), then the coefficients p0, p1..pk, and beyond them the terms of higher
// degree, which must be zero: a sum of k gains and a constant.
bool LineReader::poly(bool currents) {
    std::vector<std::string> parts = source_parts(words_, 3);
    std::size_t k = 0;
    if (parts.size() >= 2 && parts[1].size() < 3 && parts[1].find_first_not_of("0123456789") == std::string::npos)
        k = std::stoul(parts[1]);
    if (k == 0) return refuse("POLY sem o número de entradas");
    std::size_t first = 2 + (currents ? k : 2 * k);
    if (parts.size() < first) return refuse("POLY com menos entradas que as declaradas");
    for (std::size_t i = 2; i < first; ++i) {
        if (currents) element_.refs.push_back(scope_.element(parts[i]));
        else element_.nodes.push_back(scope_.node(parts[i]));
    }
    std::vector<double> coefficients;
    for (std::size_t i = first; i < parts.size(); ++i) {
        double value;
        if (!value_of(parts[i], value)) return false;
        coefficients.push_back(value);
    }
    for (std::size_t i = k + 1; i < coefficients.size(); ++i)
        if (coefficients[i] != 0.0) return refuse("POLY não linear: termo de grau 2 ou mais não nulo");
    coefficients.resize(std::max(coefficients.size(), k + 1), 0.0);
    element_.offset = coefficients[0];
    element_.gains.assign(coefficients.begin() + 1, coefficients.begin() + static_cast<std::ptrdiff_t>(k + 1));
    return true;
}

bool LineReader::voltage_controlled() {
    if (form_word(words_) == "poly") return nodes(2) && poly(false);
    if (nonlinear_form(words_)) return refuse("fonte controlada não linear (POLY, VALUE, TABLE)");
    if (!nodes(4)) return false;
    if (words_.size() != 6) return refuse(words_.size() < 6 ? "falta o ganho" : "campo não reconhecido: " + words_[6]);
    return value_of(words_[5], element_.value);
}

bool LineReader::current_controlled() {
    if (form_word(words_) == "poly") return nodes(2) && poly(true);
    if (nonlinear_form(words_)) return refuse("fonte controlada não linear (POLY, VALUE, TABLE)");
    if (!nodes(2)) return false;
    if (words_.size() != 5) return refuse(words_.size() < 5 ? "falta o ganho" : "campo não reconhecido: " + words_[5]);
    element_.refs = {scope_.element(words_[3])};
    return value_of(words_[4], element_.value);
}

// The step that stands for a transient function: its change from the initial to the
// final level. SIN and the modulated forms have none.
bool LineReader::transient_change(const std::string& function, const std::vector<double>& args) {
    FlatElement::Source& source = element_.source;
    if (function == "pulse" || function == "exp") {
        if (args.size() < 2) return refuse(function + " com menos de dois valores");
        source.change = args[1] - args[0];
        source.has_change = true;
    } else if (function == "pwl") {
        if (args.size() < 2 || args.size() % 2 != 0) return refuse("PWL sem pares tempo, valor");
        source.change = args.back() - args[1];
        source.has_change = true;
    }
    return true;
}

// V and I: DC value (bare, after DC or dc=), AC magnitude and phase (AC or ac=), the
// transient function, and the RF port (portnum, z0). What they become is settled by
// the writer, which knows whether the deck is an AC deck.
bool LineReader::source() {
    if (!nodes(2)) return false;
    std::vector<std::string> parts = source_parts(words_, 3);
    FlatElement::Source& source = element_.source;
    std::vector<double> args;
    bool has_portnum = false;
    auto number_at = [&](std::size_t i, double& value) {
        std::string error;
        return i < parts.size() && evaluate(parts[i], scope_.params, value, error);
    };
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string word = lower(parts[i]);
        if (word == "dc") {
            source.has_dc = true;
            if (number_at(i + 1, source.dc)) ++i;
        } else if (word == "ac") {
            source.has_ac = true;
            source.ac = 1.0;
            if (number_at(i + 1, source.ac)) {
                ++i;
                if (number_at(i + 1, source.phase)) ++i;
            }
        } else if (word == "pulse" || word == "sin" || word == "exp" || word == "pwl" || word == "sffm" ||
                   word == "am" || word == "trnoise" || word == "trrandom" || word == "pat") {
            source.function = word;
            double arg;
            while (number_at(i + 1, arg)) args.push_back(arg), ++i;
        } else if (starts_with(word, "distof")) {
            double ignored;
            while (number_at(i + 1, ignored)) ++i;
            diagnostics_.note(origin_, word + " ignorado");
        } else if ((word == "portnum" || word == "z0") && element_.kind == 'V') {
            double number;
            if (!number_at(i + 1, number)) return refuse("falta o valor de " + word);
            ++i;
            if (word == "portnum") has_portnum = true;
            else if (!(number > 0.0)) return refuse_here("z0 deve ser positivo");
            else source.z0 = number;
        } else if (i == 0) {
            if (!value_of(parts[i], source.dc)) return false;
            source.has_dc = true;
        } else {
            return refuse("campo não reconhecido: " + parts[i]);
        }
    }
    if (has_portnum) {
        source.port = true;
        if (source.z0 == 0.0) source.z0 = 50.0;
    } else if (source.z0 != 0.0) {
        return refuse("z0 sem portnum");
    }
    if (!source.function.empty() && !transient_change(source.function, args)) return false;
    return true;
}

// Value forms of another simulator's dialect (gnucap), named for the refusal.
std::string foreign_form(const std::vector<std::string>& words, char kind) {
    static const char* const functions[] = {"generator", "complex", "fit", "posy", "tanh"};
    for (std::size_t i = kind == 'E' || kind == 'G' ? 5 : 3; i < words.size(); ++i) {
        std::string word = lower(words[i]);
        std::string head = word.substr(0, word.find('('));
        for (const char* f : functions)
            if (head == f) return head + "(...)";
        bool passive = kind == 'R' || kind == 'C' || kind == 'L';
        if (passive && (word == "ac" || word == "dc" || word == "tran" || word == "op" || word == "all"))
            return "valores por análise (" + word + " ...)";
    }
    return {};
}

// D, Q, M, J: their nodes and model; the rest of the line is the simulator's.
bool LineReader::device() {
    const char kind = element_.kind;
    std::size_t count = kind == 'D' ? 2 : kind == 'M' ? 4 : 3;
    // A bipolar transistor's fourth node, the substrate, stands where its model would.
    auto is_model = [&](std::size_t i) { return scope_.deck && scope_.deck->models.count(lower(words_[i])) > 0; };
    if (kind == 'Q' && words_.size() > 5 && !is_model(4) && is_model(5)) count = 4;
    if (words_.size() < count + 2) return refuse("faltam nós ou o modelo");
    if (!nodes(count)) return false;
    element_.model = words_[count + 1];
    return true;
}

bool LineReader::read() {
    if (std::string form = foreign_form(words_, element_.kind); !form.empty())
        return refuse("sintaxe do gnucap, " + form + ": escreva o elemento em SPICE");
    switch (element_.kind) {
        case 'D':
        case 'Q':
        case 'M':
        case 'J': return device();
        case 'R':
        case 'C':
        case 'L': return passive();
        case 'K': return coupling();
        case 'E':
        case 'G': return voltage_controlled();
        case 'F':
        case 'H': return current_controlled();
        case 'V':
        case 'I': return source();
        default: return refuse(std::string("fora do subconjunto linear: ") + refused_kind(element_.kind));
    }
}

}  // namespace

bool parse_element(const Statement& statement, const ElementScope& scope, FlatElement& element,
                   Diagnostics& diagnostics) {
    char first = statement.words[0][0];
    element.kind = (first >= 'a' && first <= 'z') ? static_cast<char>(first - 'a' + 'A') : first;
    element.origin = statement.origin;
    LineReader reader(statement, scope, element, diagnostics);
    return reader.read();
}

}  // namespace quorvat::spice
