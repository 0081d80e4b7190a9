#include "spice/deck.h"

#include "spice/values.h"

namespace quorvat::spice {

namespace {

bool is_separator(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == ','; }

// Dot commands that do not describe the circuit (analyses, outputs, options of the
// common simulators); they are skipped with a note.
bool describes_nothing(const std::string& word) {
    static const char* const known[] = {
        ".ac",     ".dc",       ".tran",   ".op",     ".print",  ".plot",    ".probe",   ".options", ".option",
        ".opt",    ".save",     ".meas",   ".measure", ".width", ".backanno", ".four",   ".fourier", ".noise",
        ".tf",     ".sens",     ".disto",  ".pz",     ".nodeset", ".ic",     ".title",   ".csparam", ".list",
        ".protect", ".unprotect", ".status", ".stat", ".eval",   ".alarm",   ".fanout",  ".help",    ".store",
        ".tr",     ".generator", ".gen",   ".sp",     ".mark",   ".unmark",  ".echo",    ".dcvolt",  ".save"};
    for (const char* k : known)
        if (word == k) return true;
    return false;
}

// Dot commands that change the circuit between analyses, or sweep it.
bool changes_the_circuit(const std::string& word) {
    static const char* const known[] = {".step", ".alter", ".data", ".modify", ".delete", ".fault", ".unfault", ".get"};
    for (const char* k : known)
        if (word == k) return true;
    return false;
}

// The text of a line after its first word.
std::string rest_of(const std::string& text) {
    std::size_t at = text.find_first_of(" \t");
    if (at == std::string::npos) return {};
    std::size_t begin = text.find_first_not_of(" \t", at);
    return begin == std::string::npos ? std::string() : text.substr(begin);
}

bool is_name_char(char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_';
}

// The names an expression mentions, in lower case.
std::set<std::string> names_in(const std::string& expression) {
    std::set<std::string> names;
    for (std::size_t i = 0; i < expression.size();) {
        if (!is_name_char(expression[i])) {
            ++i;
            continue;
        }
        std::size_t start = i;
        while (i < expression.size() && (is_name_char(expression[i]) || expression[i] == '.')) ++i;
        bool number = expression[start] >= '0' && expression[start] <= '9';
        if (!number) names.insert(lower(expression.substr(start, i - start)));
    }
    return names;
}

// ".func name(a, b) {body}", ".func name(a,b) = body" or with the body in quotes.
bool parse_function(const std::string& text, FunctionDefinition& function) {
    std::size_t open = text.find('('), close = text.find(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    std::string name = text.substr(0, open);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    if (name.empty()) return false;
    for (char ch : name)
        if (!is_name_char(ch)) return false;
    function.name = lower(name);
    std::string list = text.substr(open + 1, close - open - 1);
    for (const std::string& word : split_words(list)) function.parameters.push_back(lower(word));
    std::string body = text.substr(close + 1);
    std::size_t begin = body.find_first_not_of(" \t=");
    if (begin == std::string::npos) return false;
    function.body = body.substr(begin);
    return true;
}

// ".model NAME TYPE(p=1 q=2)" and ".model NAME TYPE p=1 q=2".
Model parse_model(const std::vector<std::string>& words, const Origin& origin) {
    Model model;
    model.origin = origin;
    std::string rest;
    for (std::size_t i = 2; i < words.size(); ++i) rest += (rest.empty() ? "" : " ") + words[i];
    std::size_t end = 0;
    while (end < rest.size() && is_name_char(rest[end])) ++end;
    model.type = lower(rest.substr(0, end));
    std::string params = rest.substr(end);
    for (char& ch : params)
        if (ch == '(' || ch == ')') ch = ' ';
    model.params = assignments(split_words(params), 0);
    return model;
}

// Replaces a word "(a b c)" at words[at] by the words a, b and c.
void unwrap_nodes(std::vector<std::string>& words, std::size_t at) {
    if (words.size() <= at || words[at].size() < 2 || words[at].front() != '(' || words[at].back() != ')') return;
    std::vector<std::string> inner = split_words(std::string_view(words[at]).substr(1, words[at].size() - 2));
    words.erase(words.begin() + static_cast<std::ptrdiff_t>(at));
    words.insert(words.begin() + static_cast<std::ptrdiff_t>(at), inner.begin(), inner.end());
}

// One level of .if ... .endif: whether the lines stand in the circuit now.
struct Conditional {
    bool outer_active;  // the lines around the block stand
    bool taken;         // a branch was chosen already
    bool active;        // the lines of the current branch stand
    Origin origin;
};

}  // namespace

bool is_device(const std::string& first_word) {
    if (first_word.empty()) return false;
    char kind = first_word[0];
    return kind == 'd' || kind == 'D' || kind == 'q' || kind == 'Q' || kind == 'm' || kind == 'M' || kind == 'j' ||
           kind == 'J';
}

std::vector<std::string> split_words(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && is_separator(text[i])) ++i;
        if (i >= text.size()) break;
        std::string word;
        int depth = 0;
        bool quoted = false;
        while (i < text.size() && (depth > 0 || quoted || !is_separator(text[i]))) {
            char ch = text[i++];
            if (ch == '\'') quoted = !quoted;
            else if (!quoted && (ch == '(' || ch == '{')) ++depth;
            else if (!quoted && (ch == ')' || ch == '}') && depth > 0) --depth;
            word += ch;
        }
        words.push_back(word);
    }
    // Join the spaced forms of "name=value".
    std::vector<std::string> joined;
    bool glue_next = false;
    for (std::string& word : words) {
        bool glue = glue_next || (word[0] == '=' && !joined.empty());
        if (glue) joined.back() += word;
        else joined.push_back(word);
        glue_next = joined.back().back() == '=';
    }
    return joined;
}

Assignments assignments(const std::vector<std::string>& words, std::size_t first, std::vector<std::string>* loose) {
    Assignments result;
    for (std::size_t i = first; i < words.size(); ++i) {
        const std::string& word = words[i];
        std::size_t equals = word.find('=');
        if (equals != std::string::npos && equals > 0 && word[0] != '{' && word[0] != '(' && word[0] != '\'') {
            result.emplace_back(lower(word.substr(0, equals)), word.substr(equals + 1));
        } else if (!result.empty()) {
            result.back().second += ' ' + word;
        } else if (loose) {
            loose->push_back(word);
        }
    }
    return result;
}

void parse_deck(const DeckSource& source, Deck& deck, Diagnostics& diagnostics) {
    deck.title = source.title;
    std::vector<Subcircuit> open;  // definitions being read, innermost last
    std::vector<Conditional> conditions;
    auto body = [&]() -> std::vector<Statement>& { return open.empty() ? deck.top : open.back().body; };
    // A .if condition, on the deck's parameters as defined so far.
    auto condition = [&](const Origin& line) {
        std::size_t open_at = line.text.find('('), blank = line.text.find_first_of(" \t");
        std::string text = open_at < blank ? line.text.substr(open_at) : rest_of(line.text);
        if (!open.empty()) {
            std::set<std::string> local;
            for (const auto& [name, value] : open.back().defaults) local.insert(name);
            for (const auto& [name, value] : open.back().params) local.insert(name);
            for (const std::string& name : names_in(text))
                if (local.count(name)) {
                    diagnostics.refuse(line, "condição com parâmetro do subcircuito (" + name +
                                                 "): só parâmetros globais são lidos em .if");
                    return false;
                }
        }
        ParamScope scope;
        for (const auto& [name, expression] : deck.params) scope.define(name, expression);
        for (const FunctionDefinition& f : deck.functions) scope.define_function(f.name, {f.parameters, f.body});
        double value = 0.0;
        std::string error;
        if (text.empty()) error = "falta a condição";
        else if (evaluate(text, &scope, value, error)) return value != 0.0;
        diagnostics.refuse(line, "condição inválida: " + error);
        return false;
    };
    for (const Origin& line : source.lines) {
        std::vector<std::string> words = split_words(line.text);
        if (words.empty()) continue;
        std::string word = lower(words[0]);
        // ".if(a>1)" written without a blank
        if (word.rfind(".if(", 0) == 0 || word.rfind(".elseif(", 0) == 0) word = word.substr(0, word.find('('));
        if (word == ".if") {
            bool outer = conditions.empty() || conditions.back().active;
            bool chosen = outer && condition(line);
            conditions.push_back(Conditional{outer, chosen, chosen, line});
            continue;
        }
        if (word == ".elseif" || word == ".else" || word == ".endif") {
            if (conditions.empty()) {
                diagnostics.refuse(line, word + " sem .if");
                continue;
            }
            Conditional& c = conditions.back();
            if (word == ".endif") {
                conditions.pop_back();
            } else if (word == ".else") {
                c.active = c.outer_active && !c.taken;
                c.taken = true;
            } else {
                c.active = c.outer_active && !c.taken && condition(line);
                c.taken = c.taken || c.active;
            }
            continue;
        }
        if (!conditions.empty() && !conditions.back().active) continue;
        // "V1 (1 0) ..." and ".subckt foo (a b)": nodes in parentheses, as one simulator writes them.
        if (word[0] != '.') unwrap_nodes(words, 1);
        else if (word == ".subckt") unwrap_nodes(words, 2);
        if (word[0] != '.') {
            body().push_back(Statement{line, words});
        } else if (word == ".subckt") {
            if (words.size() < 2) {
                diagnostics.refuse(line, "falta o nome do subcircuito");
                continue;
            }
            Subcircuit sub;
            sub.name = words[1];
            sub.origin = line;
            std::vector<std::string> pins;
            std::size_t params_at = words.size();
            for (std::size_t i = 2; i < words.size(); ++i) {
                if (lower(words[i]) == "params:" || words[i].find('=') != std::string::npos) {
                    params_at = lower(words[i]) == "params:" ? i + 1 : i;
                    break;
                }
                sub.pins.push_back(words[i]);
            }
            sub.defaults = assignments(words, params_at);
            open.push_back(std::move(sub));
        } else if (word == ".ends") {
            if (open.empty()) {
                diagnostics.refuse(line, ".ends sem .subckt");
                continue;
            }
            Subcircuit done = std::move(open.back());
            open.pop_back();
            std::string key = lower(done.name);
            if (deck.subcircuits.count(key)) diagnostics.refuse(line, "subcircuito " + done.name + " definido duas vezes");
            else deck.subcircuits.emplace(key, std::move(done));
        } else if (word == ".param" || word == ".params") {
            std::vector<std::string> loose;
            Assignments list = assignments(words, 1, &loose);
            if (words.size() == 1) diagnostics.note(line, ".param sem definições, ignorado");
            else if (!loose.empty()) diagnostics.refuse(line, ".param sem a forma nome=valor: " + loose[0]);
            Assignments& target = open.empty() ? deck.params : open.back().params;
            target.insert(target.end(), list.begin(), list.end());
        } else if (word == ".func") {
            FunctionDefinition function;
            if (!parse_function(rest_of(line.text), function))
                diagnostics.refuse(line, ".func sem a forma nome(argumentos) {expressão}");
            else deck.functions.push_back(function);
        } else if (word == ".global") {
            for (std::size_t i = 1; i < words.size(); ++i) deck.globals.insert(lower(words[i]));
        } else if (word == ".model") {
            if (words.size() < 3) diagnostics.refuse(line, "falta o tipo do modelo");
            else deck.models[lower(words[1])] = parse_model(words, line);
        } else if (word == ".temp") {
            if (words.size() != 2) diagnostics.refuse(line, ".temp com mais de uma temperatura: analise uma de cada vez");
            else deck.temperature = words[1];
        } else if (describes_nothing(word)) {
            if (word == ".ac") deck.ac_analysis = true;
            if (word == ".options" || word == ".option" || word == ".opt")
                for (const auto& [name, value] : assignments(words, 1)) {
                    if (name == "temp") deck.temperature = value;
                    if (name == "tnom") deck.nominal_temperature = value;
                }
            diagnostics.note(line, "ignorado: não descreve o circuito");
        } else if (changes_the_circuit(word)) {
            diagnostics.refuse(line, word + " muda o circuito entre análises: importe um caso de cada vez");
        } else {
            // An unknown command may describe part of the circuit (other simulators write
            // elements as .vsource, .macro, ...): never read the deck without it silently.
            diagnostics.refuse(line, "comando desconhecido: " + words[0]);
        }
    }
    for (const Subcircuit& sub : open) diagnostics.refuse(sub.origin, ".subckt sem .ends");
    for (const Conditional& c : conditions) diagnostics.refuse(c.origin, ".if sem .endif");
}

}  // namespace quorvat::spice
