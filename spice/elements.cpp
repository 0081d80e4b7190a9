// The element lines of the linear subset (R, C, L, K, E, G, F, H, V and I, linear POLY
// sources among them) and of the devices handed over to the operating point (D, Q, M, J).
#include <algorithm>
#include <cmath>
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
    return parts;
}

// One note for all the ignored parameters of a line, naming the first few: a note per
// parameter, each quoting the line, would grow with the square of the line.
constexpr std::size_t max_named_parameters = 8;

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
    bool value_of(const std::string& text, double& value) {
        std::string error;
        if (evaluate(text, scope_.params, value, error)) return true;
        return refuse("valor inválido " + text + ": " + error);
    }
    bool nodes(std::size_t count) {
        if (words_.size() < count + 1) return refuse("faltam nós");
        for (std::size_t i = 1; i <= count; ++i) element_.nodes.push_back(scope_.node(words_[i]));
        return true;
    }
    bool passive();
    bool coupling();
    bool voltage_controlled();
    bool current_controlled();
    bool poly(bool currents);
    bool device();
    bool source();
    bool transient_change(const std::string& function, const std::vector<double>& args, double& change);

    const std::vector<std::string>& words_;
    const ElementScope& scope_;
    FlatElement& element_;
    Diagnostics& diagnostics_;
    const Origin& origin_;
};

// R, C, L: two nodes, the value (bare or as R=, C=, L=, value=), IC= for C and L, and
// the multiplier m= of parallel copies.
bool LineReader::passive() {
    if (!nodes(2)) return false;
    std::vector<std::string> loose;
    Assignments named = assignments(words_, 3, &loose);
    bool has_value = false;
    if (!loose.empty()) {
        if (!value_of(loose[0], element_.value)) return false;
        has_value = true;
        if (loose.size() > 1) return refuse("campo não reconhecido: " + loose[1]);
    }
    double copies = 1.0;
    const char kind = element_.kind;
    std::vector<std::string> ignored;  // the first few names, each once
    std::size_t more_ignored = 0;
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
        } else if (name == "m") {
            if (!value_of(expression, copies)) return false;
            if (!(copies > 0.0)) return refuse("multiplicador m deve ser positivo");
        } else if (std::find(ignored.begin(), ignored.end(), name) == ignored.end()) {
            if (ignored.size() < max_named_parameters) ignored.push_back(name);
            else ++more_ignored;
        }
    }
    if (!ignored.empty()) diagnostics_.note(origin_, ignored_parameters(ignored, more_ignored));
    if (!has_value) return refuse("falta o valor");
    if (kind == 'R' && element_.value == 0.0) return refuse("resistência nula");
    element_.value = kind == 'C' ? element_.value * copies : element_.value / copies;
    return true;
}

bool LineReader::coupling() {
    if (words_.size() > 4) return refuse("acoplamento de mais de dois indutores");
    if (words_.size() < 4) return refuse("faltam campos");
    element_.refs = {scope_.element(words_[1]), scope_.element(words_[2])};
    if (!value_of(words_[3], element_.value)) return false;
    if (std::fabs(element_.value) > 1.0) return refuse("coeficiente de acoplamento fora de [-1, 1]");
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
bool LineReader::transient_change(const std::string& function, const std::vector<double>& args, double& change) {
    if (function == "pulse" || function == "exp") {
        if (args.size() < 2) return refuse(function + " com menos de dois valores");
        change = args[1] - args[0];
        return true;
    }
    if (function == "pwl") {
        if (args.size() < 2 || args.size() % 2 != 0) return refuse("PWL sem pares tempo, valor");
        change = args.back() - args[1];
        return true;
    }
    return refuse("função " + function + " não tem degrau equivalente; use AC ou DC");
}

// V and I: DC value (bare or after DC), AC magnitude and phase, transient function.
bool LineReader::source() {
    if (!nodes(2)) return false;
    std::vector<std::string> parts = source_parts(words_, 3);
    double dc = 0.0, ac = 0.0, phase = 0.0;
    bool has_ac = false;
    std::string function;
    std::vector<double> args;
    auto number_at = [&](std::size_t i, double& value) {
        std::string error;
        return i < parts.size() && evaluate(parts[i], scope_.params, value, error);
    };
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string word = lower(parts[i]);
        if (word == "dc") {
            if (number_at(i + 1, dc)) ++i;
        } else if (word == "ac") {
            has_ac = true;
            ac = 1.0;
            if (number_at(i + 1, ac)) {
                ++i;
                if (number_at(i + 1, phase)) ++i;
            }
        } else if (word == "pulse" || word == "sin" || word == "exp" || word == "pwl" || word == "sffm" ||
                   word == "am" || word == "trnoise" || word == "trrandom" || word == "pat") {
            function = word;
            double arg;
            while (number_at(i + 1, arg)) args.push_back(arg), ++i;
        } else if (starts_with(word, "distof")) {
            double ignored;
            while (number_at(i + 1, ignored)) ++i;
            diagnostics_.note(origin_, word + " ignorado");
        } else if (i == 0) {
            if (!value_of(parts[i], dc)) return false;
        } else {
            return refuse("campo não reconhecido: " + parts[i]);
        }
    }
    if (has_ac && phase != 0.0) {
        if (std::fabs(phase) != 180.0) return refuse("fase AC diferente de 0 e de 180 graus");
        ac = -ac;
        diagnostics_.note(origin_, "fase de 180 graus: valor AC com o sinal trocado");
    }
    double change = 0.0;
    bool use_function = !function.empty() && !has_ac;
    if (use_function && !transient_change(function, args, change)) return false;
    if (!function.empty() && has_ac) diagnostics_.note(origin_, "função " + function + " ignorada: a fonte tem AC");
    element_.value = has_ac ? ac : use_function ? change : dc;
    element_.has_ac = has_ac;
    element_.ac = ac;
    element_.impulse = scope_.sources == SourceMode::impulse || (scope_.sources == SourceMode::as_written && has_ac);
    element_.ammeter = element_.kind == 'V' && !has_ac && function.empty() && dc == 0.0;
    if (use_function)
        diagnostics_.note(origin_, "função " + function + " trocada por " +
                                       (element_.impulse ? "impulso" : "degrau") + " da variação entre o valor inicial e o final");
    return true;
}

// D, Q, M, J: their nodes and model; the rest of the line is the simulator's.
bool LineReader::device() {
    const char kind = element_.kind;
    std::size_t count = kind == 'D' ? 2 : kind == 'M' ? 4 : 3;
    // A bipolar transistor's fourth node, the substrate, stands where its model would.
    auto is_model = [&](std::size_t i) { return scope_.models && scope_.models->count(lower(words_[i])) > 0; };
    if (kind == 'Q' && words_.size() > 5 && !is_model(4) && is_model(5)) count = 4;
    if (words_.size() < count + 2) return refuse("faltam nós ou o modelo");
    if (!nodes(count)) return false;
    element_.model = words_[count + 1];
    return true;
}

bool LineReader::read() {
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
