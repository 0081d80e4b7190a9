#include "time/formula.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "time/number_text.h"

namespace quorvat {

namespace {

constexpr int digits = 10;
constexpr double negligible = 1e-12;

// The pieces that differ between plain text and LaTeX.
struct Style {
    bool latex;
    std::string number(double v) const {
        std::string text = number_text(v, digits);
        if (!latex) return text;
        std::size_t e = text.find('e');
        if (e == std::string::npos) return text;
        std::string exponent = text.substr(e + 1);
        if (!exponent.empty() && exponent[0] == '+') exponent.erase(0, 1);
        while (exponent.size() > 1 && (exponent[0] == '0' || (exponent[0] == '-' && exponent[1] == '0')))
            exponent.erase(exponent[0] == '-' ? 1 : 0, 1);
        return text.substr(0, e) + "\\cdot 10^{" + exponent + "}";
    }
    std::string times() const { return latex ? "\\," : "·"; }
    // v·t, with v = 1 and v = -1 written as t and -t.
    std::string rate(double v) const {
        std::string text = number(v);
        if (text == "1") return "t";
        if (text == "-1") return "-t";
        return text + (latex ? "t" : "·t");
    }
    std::string power(int k) const {
        if (k == 0) return "";
        if (k == 1) return "t";
        return latex ? "t^{" + std::to_string(k) + "}" : "t^" + std::to_string(k);
    }
    std::string exponential(double sigma) const {
        if (sigma == 0.0) return "";
        return latex ? "e^{" + rate(sigma) + "}" : "e^(" + rate(sigma) + ")";
    }
    std::string wave(const char* name, double omega) const {
        return latex ? std::string("\\") + name + "(" + rate(omega) + ")" : std::string(name) + "(" + rate(omega) + ")";
    }
    std::string impulse(std::size_t k) const {
        std::string delta = latex ? "\\delta" : "δ";
        if (k <= 2) return delta + std::string(k, '\'') + "(t)";
        return latex ? delta + "^{(" + std::to_string(k) + ")}(t)" : delta + "^(" + std::to_string(k) + ")(t)";
    }
};

struct Term {
    double coefficient;  // its sign is the sign written before the term
    std::string body;    // empty for a constant
};

std::string join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        if (!text.empty()) text += separator;
        text += part;
    }
    return text;
}

std::string formula(const Expansion& e, const std::string& name, const Style& style, bool* omitted) {
    double largest = 0.0;
    for (double c : e.impulses) largest = std::max(largest, std::fabs(c));
    for (const PoleTerms& p : e.poles)
        for (std::size_t k = 0; k < p.cos_coef.size(); ++k)
            largest = std::max({largest, std::fabs(p.cos_coef[k]), std::fabs(p.sin_coef[k])});
    bool left_out = false;
    auto kept = [&](double c) {
        if (c == 0.0) return false;
        if (std::fabs(c) > negligible * largest) return true;
        left_out = true;
        return false;
    };

    std::vector<Term> terms;
    for (const PoleTerms& p : e.poles) {
        for (std::size_t k = 0; k < p.cos_coef.size(); ++k) {
            double a = p.cos_coef[k], b = p.sin_coef[k];
            bool has_a = kept(a), has_b = kept(b);
            std::string growth = join({style.power(static_cast<int>(k)), style.exponential(p.sigma)}, style.times());
            if (p.omega == 0.0) {
                if (has_a) terms.push_back({a, growth});
            } else if (has_a && has_b) {
                std::string sum = style.number(a) + style.times() + style.wave("cos", p.omega) + (b < 0 ? " - " : " + ") +
                                  style.number(std::fabs(b)) + style.times() + style.wave("sin", p.omega);
                terms.push_back({1.0, join({growth, (style.latex ? "\\left(" : "(") + sum + (style.latex ? "\\right)" : ")")},
                                           style.times())});
            } else if (has_a) {
                terms.push_back({a, join({growth, style.wave("cos", p.omega)}, style.times())});
            } else if (has_b) {
                terms.push_back({b, join({growth, style.wave("sin", p.omega)}, style.times())});
            }
        }
    }
    for (std::size_t k = 0; k < e.impulses.size(); ++k)
        if (kept(e.impulses[k])) terms.push_back({e.impulses[k], style.impulse(k)});
    if (omitted) *omitted = left_out;

    std::string text = name + "(t) = ";
    if (terms.empty()) text += "0";
    for (std::size_t i = 0; i < terms.size(); ++i) {
        const Term& term = terms[i];
        double magnitude = std::fabs(term.coefficient);
        if (i == 0) text += term.coefficient < 0 ? "-" : "";
        else text += term.coefficient < 0 ? " - " : " + ";
        if (term.body.empty()) text += style.number(magnitude);
        else if (style.number(magnitude) == "1") text += term.body;
        else text += style.number(magnitude) + style.times() + term.body;
    }
    return text + (style.latex ? ", \\quad t \\ge 0" : ", para t ≥ 0");
}

}  // namespace

std::string formula_text(const Expansion& expansion, const std::string& name, bool* omitted) {
    return formula(expansion, name, Style{false}, omitted);
}

std::string formula_latex(const Expansion& expansion, const std::string& name, bool* omitted) {
    std::string latex_name = name;
    std::size_t digit = latex_name.find_first_of("0123456789");
    if (digit != std::string::npos && digit > 0)
        latex_name = latex_name.substr(0, digit) + "_{" + latex_name.substr(digit) + "}";
    return formula(expansion, latex_name, Style{true}, omitted);
}

}  // namespace quorvat
