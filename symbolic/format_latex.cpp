// The LaTeX form: one \frac per variable, the symbols subscripted (R_{1}, C_{\mathrm{pi}3}).
#include <cctype>

#include "symbolic/formats.h"

namespace quorvat::symbolic {

namespace {

std::string magnitude(const TermView& t, const std::vector<std::string>& symbols) {
    std::string text;
    if (!t.unit() || t.factors.empty())
        text = t.denominator == "1" ? t.numerator : "\\frac{" + t.numerator + "}{" + t.denominator + "}";
    for (const auto& [symbol, exponent] : t.factors) {
        if (!text.empty()) text += " ";
        text += symbols[symbol];
        if (exponent > 1) text += "^{" + std::to_string(exponent) + "}";
    }
    return text;
}

std::string polynomial(const PolyView& poly, const std::vector<std::string>& symbols) {
    if (poly.empty()) return "0";
    std::string out;
    for (std::size_t i = 0; i < poly.size(); ++i) {
        const PowerView& p = poly[i];
        const bool sum = p.terms.size() > 1 && p.power > 0;
        bool negative = p.terms[0].negative && !sum;
        std::string inner = sum && p.terms[0].negative ? "-" : "";
        inner += magnitude(p.terms[0], symbols);
        for (std::size_t k = 1; k < p.terms.size(); ++k)
            inner += (p.terms[k].negative ? " - " : " + ") + magnitude(p.terms[k], symbols);
        std::string s = p.power == 0 ? "" : p.power == 1 ? "s" : "s^{" + std::to_string(p.power) + "}";
        std::string text = sum ? "\\left(" + inner + "\\right) " + s
                           : p.power == 0 ? inner
                           : inner == "1" ? s
                                          : inner + " " + s;
        if (i == 0)
            out += (negative ? "-" : "") + text;
        else
            out += (negative ? " - " : " + ") + text;
    }
    return out;
}

}  // namespace

static bool letter(unsigned char c) { return std::isalpha(c) || c >= 0x80; }

// The subscript of a name: runs of letters upright, digits as they are, the characters
// that LaTeX reserves escaped.
std::string subscript(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (letter(c)) {
            std::size_t end = i;
            while (end < text.size() && letter(static_cast<unsigned char>(text[end]))) ++end;
            out += "\\mathrm{" + text.substr(i, end - i) + "}";
            i = end;
            continue;
        }
        if (std::isdigit(c)) out += static_cast<char>(c);
        else if (c == '\\') out += "\\backslash{}";
        else if (c == '^') out += "\\hat{}";
        else if (c == '~') out += "\\sim{}";
        else if (std::string("_#%&${}").find(static_cast<char>(c)) != std::string::npos) out += std::string("\\") + static_cast<char>(c);
        else out += static_cast<char>(c);
        ++i;
    }
    return out;
}

// A symbol: its kind letter with the rest of the name as subscript; "M_K1" is M_{\mathrm{K}1}.
std::string latex_symbol(const std::string& name) {
    std::string rest = name.substr(1);
    if (name.rfind("M_", 0) == 0) rest = name.substr(2);
    return rest.empty() ? name.substr(0, 1) : name.substr(0, 1) + "_{" + subscript(rest) + "}";
}

void write_latex(std::ostream& out, const std::vector<std::string>& symbols, std::size_t count, const ViewSource& view) {
    std::vector<std::string> written;
    for (const std::string& name : symbols) written.push_back(latex_symbol(name));
    for (std::size_t i = 0; i < count; ++i) {
        const FunctionView f = view(i);
        out << "% " << variable_label(f) << ", variável " << f.variable << "\n";
        out << (f.current ? "I" : "V") << "_{" << subscript(f.name) << "}(s) = \\frac{"
            << polynomial(f.numerator, written) << "}{" << polynomial(f.denominator, written) << "}\n";
    }
}

}  // namespace quorvat::symbolic
