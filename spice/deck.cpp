#include "spice/deck.h"

#include "spice/values.h"

namespace quorvat::spice {

namespace {

bool is_separator(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == ','; }

// Dot commands that do not describe the circuit; they are skipped with a note.
bool describes_nothing(const std::string& word) {
    static const char* const known[] = {".ac",    ".dc",      ".tran",  ".op",    ".print",   ".plot",  ".probe",
                                        ".options", ".option", ".opt",  ".save",  ".meas",    ".measure", ".temp",
                                        ".width", ".backanno", ".four", ".noise", ".tf",      ".sens",  ".disto",
                                        ".pz",    ".nodeset", ".ic",    ".global", ".title",  ".csparam", ".func"};
    for (const char* k : known)
        if (word == k) return true;
    return false;
}

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
    // The models of a deck with devices go to the simulator: not ignored then.
    bool devices = false;
    for (const Origin& line : source.lines) devices = devices || is_device(first_word(line.text));
    std::vector<Subcircuit> open;  // definitions being read, innermost last
    auto body = [&]() -> std::vector<Statement>& { return open.empty() ? deck.top : open.back().body; };
    for (const Origin& line : source.lines) {
        std::vector<std::string> words = split_words(line.text);
        if (words.empty()) continue;
        std::string word = lower(words[0]);
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
            if (!loose.empty() || list.empty()) diagnostics.refuse(line, ".param sem a forma nome=valor");
            Assignments& target = open.empty() ? deck.params : open.back().params;
            target.insert(target.end(), list.begin(), list.end());
        } else if (word == ".model") {
            if (words.size() > 1) deck.models.insert(lower(words[1]));
            if (!devices) diagnostics.note(line, "modelo ignorado");
        } else if (describes_nothing(word)) {
            diagnostics.note(line, "ignorado: não descreve o circuito");
        } else {
            diagnostics.note(line, "comando desconhecido, ignorado");
        }
    }
    for (const Subcircuit& sub : open) diagnostics.refuse(sub.origin, ".subckt sem .ends");
}

}  // namespace quorvat::spice
