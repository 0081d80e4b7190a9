// The Python form: a text that runs with sympy, one assignment X<k> per variable. Large
// coefficients are nested by their most frequent symbols, so that sympy builds small
// sums instead of one flat sum of thousands of terms.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "symbolic/formats.h"

namespace quorvat::symbolic {

namespace {

bool identifier(const std::string& name) {
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

struct Monomial {
    const TermView* term;
    std::map<int, unsigned> factors;  // what is left of the term's symbols
};

std::string monomial(const Monomial& m, const std::vector<std::string>& names) {
    const TermView& t = *m.term;
    std::string text;
    if (t.denominator != "1")
        text = "Rational(" + t.numerator + ", " + t.denominator + ")";
    else if (t.numerator != "1" || m.factors.empty())
        text = t.numerator;
    for (const auto& [symbol, exponent] : m.factors) {
        if (!text.empty()) text += "*";
        text += names[symbol];
        if (exponent > 1) text += "**" + std::to_string(exponent);
    }
    return text;
}

// A sum of monomials (sign included), nested: the symbol found in most of them is taken
// out of those, recursively, while it is shared by at least two.
std::string nested(std::vector<Monomial> terms, const std::vector<std::string>& names) {
    std::string out;
    auto add = [&](const std::string& text, bool negative) {
        if (out.empty())
            out = (negative ? "-" : "") + text;
        else
            out += (negative ? " - " : " + ") + text;
    };
    while (!terms.empty()) {
        std::map<int, int> count;
        for (const Monomial& m : terms)
            for (const auto& f : m.factors) ++count[f.first];
        int best = -1, best_count = 1;
        for (const auto& [symbol, c] : count)
            if (c > best_count) {
                best = symbol;
                best_count = c;
            }
        if (best < 0 || terms.size() <= 2) {
            for (const Monomial& m : terms) add(monomial(m, names), m.term->negative);
            break;
        }
        std::vector<Monomial> with, without;
        for (Monomial& m : terms) {
            auto f = m.factors.find(best);
            if (f == m.factors.end()) {
                without.push_back(std::move(m));
                continue;
            }
            if (--f->second == 0) m.factors.erase(f);
            with.push_back(std::move(m));
        }
        add(names[best] + "*(" + nested(std::move(with), names) + ")", false);
        terms = std::move(without);
    }
    return out;
}

std::string polynomial(const PolyView& poly, const std::vector<std::string>& names) {
    // A number alone is written as a sympy number, so that no Python division of two
    // integers makes a float of a constant result.
    if (poly.empty()) return "Integer(0)";
    if (poly.size() == 1 && poly[0].power == 0 && poly[0].terms.size() == 1 && poly[0].terms[0].factors.empty()) {
        const TermView& t = poly[0].terms[0];
        const std::string sign = t.negative ? "-" : "";
        return t.denominator == "1" ? "Integer(" + sign + t.numerator + ")"
                                    : "Rational(" + sign + t.numerator + ", " + t.denominator + ")";
    }
    std::string out;
    for (const PowerView& p : poly) {
        std::vector<Monomial> terms;
        for (const TermView& t : p.terms) terms.push_back({&t, {t.factors.begin(), t.factors.end()}});
        std::string coefficient = nested(std::move(terms), names);
        if (coefficient.find_first_of("+-") != std::string::npos) coefficient = "(" + coefficient + ")";
        if (!out.empty()) out += " + ";
        out += p.power == 0 ? coefficient : coefficient + "*s" + (p.power > 1 ? "**" + std::to_string(p.power) : "");
    }
    return out;
}

}  // namespace

// A Python string literal.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\\' || c == '\'') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += std::string("\\x") + hex[(c >> 4) & 0xf] + hex[c & 0xf];
            continue;
        }
        out += c;
    }
    return out + "'";
}

// Names that the text itself uses, and words Python reserves that an element name can be.
static const std::set<std::string> taken_names = {"s", "Integer", "Rational", "Symbol", "symbols", "nomes", "False", "None", "True"};

// The Python names of the symbols: the name itself where it is a free identifier, else
// its letters and digits with '_' for the rest, made unique.
std::vector<std::string> python_names(const std::vector<std::string>& symbols) {
    std::vector<std::string> names;
    std::set<std::string> used(taken_names);
    for (const std::string& symbol : symbols) {
        std::string name = symbol;
        if (!identifier(name) || used.count(name)) {
            for (char& c : name)
                if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) c = '_';
            if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) name = "_" + name;
            while (used.count(name) || (name.size() > 1 && (name[0] == 'X' || name[0] == 'D') &&
                                        name.find_first_not_of("0123456789", 1) == std::string::npos))
                name += "_";
        }
        used.insert(name);
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> write_python_header(std::ostream& out, const std::vector<std::string>& symbols) {
    std::vector<std::string> names = python_names(symbols);
    out << "from sympy import Integer, Rational, Symbol, symbols\n";
    std::string plain_names = "s", plain_symbols = "s";
    std::string others;
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        if (names[i] == symbols[i]) {
            plain_names += ", " + names[i];
            plain_symbols += " " + symbols[i];
        } else {
            others += names[i] + " = Symbol(" + quoted(symbols[i]) + ")\n";
        }
    }
    out << plain_names << (plain_names == "s" ? "," : "") << " = symbols(" << quoted(plain_symbols) << ", seq=True)\n";
    out << others;
    return names;
}

void write_python(std::ostream& out, const std::vector<std::string>& symbols, std::size_t count, const ViewSource& view) {
    std::vector<std::string> names = write_python_header(out, symbols);
    std::string labels;
    for (std::size_t i = 0; i < count; ++i) {
        const FunctionView f = view(i);
        out << "X" << f.variable << " = (" << polynomial(f.numerator, names) << ")/(" << polynomial(f.denominator, names)
            << ")\n";
        labels += (i ? ", " : "") + std::to_string(f.variable) + ": " + quoted(f.name);
    }
    out << "nomes = {" << labels << "}\n";
}

}  // namespace quorvat::symbolic
