#include "engine/netlist.h"

#include <cfenv>
#include <cmath>
#include <cstring>
#include <string>

#include "engine/fp_fault.h"
#include "engine/scanner.h"
#include "engine/text.h"

namespace quorvat {

namespace {

constexpr std::size_t max_keyword_length = 40;  // the run of I, C, = and blanks before an initial condition

// √(L1·L2). Inductances far from 1 (1e200 H) are taken root by root, so that the product
// neither overflows nor underflows while the result fits; a negative product stays an
// invalid operation.
double mutual_root(double l1, double l2) {
    double a = std::fabs(l1), b = std::fabs(l2);
    bool ordinary = a > 1e-150 && a < 1e150 && b > 1e-150 && b < 1e150;
    if (ordinary || (l1 < 0.0) != (l2 < 0.0) || a == 0.0 || b == 0.0) return std::sqrt(l1 * l2);
    return std::sqrt(a) * std::sqrt(b);
}

char upper(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }

void copy_name(char (&destination)[name_size], const std::string& name) {
    std::strncpy(destination, name.c_str(), name_size - 1);
    destination[name_size - 1] = '\0';
}

// Reads the fields of one element line. Each field that a kind requires must convert;
// a word longer than ten characters, or a final number glued to other characters, ends
// the run with its own message instead of being split or half-read.
class ElementReader {
public:
    ElementReader(EngineTables& tables, LogSink& log, Scanner& in, ElementRecord& element)
        : tables_(tables), log_(log), in_(in), element_(element) {}

    bool read(char kind);

private:
    bool word(std::string& out, bool& converted);
    bool required_word(std::string& out) {
        bool converted = false;
        if (!word(out, converted)) return false;
        return converted || incomplete();
    }
    bool required_number(double& out) { return number_field(out, {}); }
    bool number_field(double& out, std::string_view followers);
    void check_overflow();
    bool final_number(double& out);
    bool incomplete() {
        log_message(log_, "Elemento incompleto: %s", element_.name);
        return false;
    }
    int32_t node(const std::string& name) { return find_node(tables_, log_, name); }

    bool two_terminal_with_value();
    bool capacitor_or_inductor();
    bool source();
    bool four_terminal_with_value();
    bool operational_amplifier();
    bool coupling();

    EngineTables& tables_;
    LogSink& log_;
    Scanner& in_;
    ElementRecord& element_;
    std::string w1_, w2_, w3_, w4_;
};

// Reads a word; false (message logged) when it is too long. converted tells whether a
// word was there at all (false only at the end of the file).
bool ElementReader::word(std::string& out, bool& converted) {
    converted = in_.read_word(out);
    if (converted && character_count(out) > static_cast<std::size_t>(max_name_length)) {
        log_message(log_, "Campo com mais de %d caracteres: %s", max_name_length, out.c_str());
        return false;
    }
    return true;
}

// A number field. A field that begins like a number (a digit, or a sign or point before
// one) but is not one, or a number glued to bytes other than those of followers ("2E+",
// "1e", "2x"), is "Valor inválido" with the field as written; a field that is no number
// at all ("nan", "-") leaves the element incomplete.
bool ElementReader::number_field(double& out, std::string_view followers) {
    in_.skip_white();
    std::size_t start = in_.position();
    bool read = in_.read_number(out);
    check_overflow();
    if (read && (in_.at_end() || is_white(in_.peek()) || followers.find(in_.peek()) != std::string_view::npos))
        return true;
    std::string_view text = in_.text();
    auto digit = [&](std::size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
    std::size_t k = start;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
    if (k < text.size() && text[k] == '.') ++k;
    if (!read && !digit(k)) return incomplete();
    std::size_t end = start;
    while (end < text.size() && !is_white(text[end])) ++end;
    std::string field(text.substr(start, end - start));
    log_message(log_, "Valor inválido: %s", field.c_str());
    return false;
}

// An overflow while a number is read names the element (its name is known by then).
void ElementReader::check_overflow() {
    if (int raised = std::fetestexcept(fp_fault_flags)) {
        fp_clear();
        throw FloatingPointFault(raised, to_utf8(element_.name));
    }
}

// The last number of its line: what follows must be white space, which is skipped with
// the rest of the line. "1k" is refused rather than read as 1.
bool ElementReader::final_number(double& out) {
    if (!number_field(out, {})) return false;
    in_.skip_rest_of_line();
    return true;
}

bool ElementReader::two_terminal_with_value() {
    if (!required_word(w1_) || !required_word(w2_) || !final_number(element_.value)) return false;
    log_message(log_, "%s %s %s %g", element_.name, w1_.c_str(), w2_.c_str(), element_.value);
    element_.a = node(w1_);
    element_.b = node(w2_);
    return true;
}

// C and L: the initial condition is taken only from the element's own line. When the
// line ends after the value, the condition is 0 and the next line is read normally.
bool ElementReader::capacitor_or_inductor() {
    element_.second_value = 0.0;
    if (!required_word(w1_) || !required_word(w2_) || !number_field(element_.value, "IC=")) return false;
    // The whole run of I, C, = and blanks is consumed; the echo shows at most its start.
    std::string keyword(in_.read_run("IC= ", std::string_view::npos).substr(0, max_keyword_length));
    in_.skip_blanks();
    if (!in_.at_end() && in_.peek() != '\n') {
        std::size_t before = in_.position();
        double condition = 0.0;
        if (in_.read_number(condition)) {
            in_.set_position(before);
            if (!final_number(element_.second_value)) return false;
        }
        // A byte that is no number stays unread and starts the next element.
    }
    log_message(log_, "%s %s %s %g (%s) %g", element_.name, w1_.c_str(), w2_.c_str(), element_.value,
                keyword.c_str(), element_.second_value);
    element_.a = node(w1_);
    element_.b = node(w2_);
    return true;
}

bool ElementReader::source() {
    std::string type = "Impulso";
    if (!required_word(w1_) || !required_word(w2_) || !required_number(element_.value)) return false;
    bool converted = false;
    std::string word_read;
    if (!word(word_read, converted)) return false;
    if (converted) type = word_read;  // at the end of the file the type stays "Impulso"
    type[0] = upper(type[0]);
    element_.y = static_cast<unsigned char>(type[0]);
    if (element_.y != 'I' && element_.y != 'D') {
        log_message(log_, "Fonte inválida %s", type.c_str());
        return false;
    }
    log_message(log_, "%s %s %s %g %s", element_.name, w1_.c_str(), w2_.c_str(), element_.value, type.c_str());
    element_.a = node(w1_);
    element_.b = node(w2_);
    return true;
}

bool ElementReader::four_terminal_with_value() {
    if (!required_word(w1_) || !required_word(w2_) || !required_word(w3_) || !required_word(w4_) ||
        !final_number(element_.value))
        return false;
    log_message(log_, "%s %s %s %s %s %g", element_.name, w1_.c_str(), w2_.c_str(), w3_.c_str(), w4_.c_str(),
                element_.value);
    element_.a = node(w1_);
    element_.b = node(w2_);
    element_.c = node(w3_);
    element_.d = node(w4_);
    return true;
}

bool ElementReader::operational_amplifier() {
    if (!required_word(w1_) || !required_word(w2_) || !required_word(w3_) || !required_word(w4_)) return false;
    in_.skip_rest_of_line();
    log_message(log_, "%s %s %s %s %s", element_.name, w1_.c_str(), w2_.c_str(), w3_.c_str(), w4_.c_str());
    element_.a = node(w1_);
    element_.b = node(w2_);
    element_.c = node(w3_);
    element_.d = node(w4_);
    return true;
}

// K: both names must be inductors declared before it; the last of equal names wins.
bool ElementReader::coupling() {
    if (!required_word(w1_) || !required_word(w2_) || !final_number(element_.value)) return false;
    log_message(log_, "%s %s %s %g", element_.name, w1_.c_str(), w2_.c_str(), element_.value);
    element_.a = 0;
    element_.b = 0;
    for (int j = 1; j < tables_.element_count; ++j) {
        const char* name = tables_.elements[j].name;
        if (w1_ == name) element_.a = j;
        if (w2_ == name) element_.b = j;
    }
    if (element_.a == 0 || element_.b == 0 || tables_.elements[element_.a].kind() != 'L' ||
        tables_.elements[element_.b].kind() != 'L') {
        log_message(log_, "Indutor não encontrado.");
        return false;
    }
    log_message(log_, "(%s está na linha %d, %s está na linha %d)", w1_.c_str(), element_.a, w2_.c_str(),
                element_.b);
    element_.second_value = element_.value * mutual_root(tables_.elements[element_.a].value,
                                                         tables_.elements[element_.b].value);
    fp_check();
    return true;
}

bool ElementReader::read(char kind) {
    switch (kind) {
        case 'R': return two_terminal_with_value();
        case 'C':
        case 'L': return capacitor_or_inductor();
        case 'I':
        case 'V': return source();
        case 'G':
        case 'E':
        case 'F':
        case 'H': return four_terminal_with_value();
        case 'O': return operational_amplifier();
        case 'K': return coupling();
        default:
            log_message(log_, "Elemento desconhecido: %s", element_.name);
            return false;
    }
}

}  // namespace

int32_t find_node(EngineTables& tables, LogSink& log, std::string_view name) {
    std::string key(name);
    if (auto found = tables.node_index.find(key); found != tables.node_index.end()) return found->second;
    const int32_t limit = tables.limits.nodes;
    if (tables.variable_count == limit) {
        // The design's message; the exact path names the circuit's count after reading.
        if (tables.limits.design()) log_message(log, "O programa só aceita até %d nós", limit);
        tables.node_overflow = 1;
        return limit;
    }
    ++tables.variable_count;
    tables.set_variable_name(tables.variable_count, key);
    tables.node_index.emplace(std::move(key), tables.variable_count);
    return tables.variable_count;
}

bool read_netlist(EngineTables& tables, LogSink& log, std::string_view text) {
    // A NUL byte would end the C strings of the tables inside a word: "a\0b" would become
    // a node shown as "a" and yet distinct from it.
    if (std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
        int line = 1;
        for (std::size_t i = 0; i < nul; ++i) line += text[i] == '\n';
        log_message(log, "Linha %d do netlist contém um caractere nulo", line);
        return false;
    }
    // Names already in the node table (ground, at least) are found by the index.
    tables.node_index.clear();
    for (int32_t i = 0; i <= tables.variable_count; ++i) tables.node_index.emplace(tables.variable_name(i), i);
    Scanner in(text);
    in.skip_rest_of_line();  // the title line
    std::string name;
    while (in.read_word(name)) {
        if (++tables.element_count > tables.limits.elements) {
            if (tables.limits.design())
                log_message(log, "O programa só aceita até %d elementos", max_elements);
            else
                log_message(log, "O circuito tem mais de %d elementos, o limite do cálculo exato.",
                            tables.limits.elements);
            return false;
        }
        char kind = upper(name[0]);
        if (kind == '*' || kind == '.') {  // comment or command line
            in.skip_rest_of_line();
            --tables.element_count;
            continue;
        }
        if (character_count(name) > static_cast<std::size_t>(max_name_length)) {
            log_message(log, "Campo com mais de %d caracteres: %s", max_name_length, name.c_str());
            return false;
        }
        name[0] = kind;
        if (static_cast<std::size_t>(tables.element_count) >= tables.elements.size())
            tables.elements.resize(static_cast<std::size_t>(tables.element_count) + 1);
        ElementRecord& element = tables.elements[tables.element_count];
        element = ElementRecord{};
        copy_name(element.name, name);
        ElementReader reader(tables, log, in, element);
        if (!reader.read(kind)) return false;
    }
    return true;
}

}  // namespace quorvat
