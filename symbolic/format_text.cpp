// The plain-text form: each polynomial one power of s per line, highest first.
#include "symbolic/formats.h"

namespace quorvat::symbolic {

namespace {

// |term| as a product: the coefficient (omitted when it is 1 and symbols follow), then
// the symbols with their exponents.
std::string magnitude(const TermView& t, const std::vector<std::string>& symbols) {
    std::string text;
    if (!t.unit() || t.factors.empty()) text = t.denominator == "1" ? t.numerator : t.numerator + "/" + t.denominator;
    for (const auto& [symbol, exponent] : t.factors) {
        if (!text.empty()) text += "*";
        text += symbols[symbol];
        if (exponent > 1) text += "^" + std::to_string(exponent);
    }
    return text;
}

std::string power_of_s(long power) {
    if (power == 0) return "";
    return power == 1 ? "s" : "s^" + std::to_string(power);
}

// One power's piece without its leading sign, and whether that sign is minus. A sum
// stands in parentheses before its power of s, bare for the power 0.
std::string piece(const PowerView& p, const std::vector<std::string>& symbols, bool& negative) {
    negative = p.terms[0].negative;
    std::string sum = magnitude(p.terms[0], symbols);
    for (std::size_t i = 1; i < p.terms.size(); ++i)
        sum += (p.terms[i].negative ? " - " : " + ") + magnitude(p.terms[i], symbols);
    if (p.power == 0) return sum;
    if (p.terms.size() == 1) return sum == "1" ? power_of_s(p.power) : sum + "*" + power_of_s(p.power);
    negative = false;
    return "(" + std::string(p.terms[0].negative ? "-" : "") + sum + ")*" + power_of_s(p.power);
}

void write_polynomial(std::string& out, const char* label, const PolyView& poly, const std::vector<std::string>& symbols) {
    const std::string head = std::string("  ") + label + " = ";
    if (poly.empty()) {
        out += head + "0\n";
        return;
    }
    const std::string indent(head.size() - 2, ' ');
    for (std::size_t i = 0; i < poly.size(); ++i) {
        bool negative = false;
        std::string text = piece(poly[i], symbols, negative);
        if (i == 0)
            out += head + (negative ? "-" : "") + text + "\n";
        else
            out += indent + (negative ? "- " : "+ ") + text + "\n";
    }
}

}  // namespace

std::string sum_text(const Mpoly& p, const std::vector<std::string>& symbols) {
    fmpz_t one;
    fmpz_init_set_ui(one, 1);
    const PolyView view = view_of(p, one);
    fmpz_clear(one);
    std::string out;
    for (std::size_t i = 0; i < view.size(); ++i) {
        bool negative = false;
        const std::string text = piece(view[i], symbols, negative);
        out += i == 0 ? (negative ? "-" : "") + text : (negative ? " - " : " + ") + text;
    }
    return out.empty() ? "0" : out;
}

void write_text(std::ostream& out, const std::vector<std::string>& symbols, std::size_t count, const ViewSource& view) {
    out << "Símbolos:";
    if (symbols.empty()) out << " nenhum";
    for (const std::string& name : symbols) out << " " << name;
    out << "\n";
    for (std::size_t i = 0; i < count; ++i) {
        const FunctionView f = view(i);
        std::string text = "\n" + variable_label(f) + " = N(s)/D(s)   (variável " + std::to_string(f.variable) + ")\n";
        write_polynomial(text, "N(s)", f.numerator, symbols);
        write_polynomial(text, "D(s)", f.denominator, symbols);
        out << text;
    }
}

}  // namespace quorvat::symbolic
