// The JSON form: for each variable, the terms of every power of s of its numerator and
// denominator, each an integer coefficient and the exponent of every symbol.
#include <cstdio>

#include "symbolic/formats.h"

namespace quorvat::symbolic {

namespace {

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string polynomial(const PolyView& poly, std::size_t symbol_count) {
    std::string out = "[";
    for (std::size_t i = 0; i < poly.size(); ++i) {
        out += (i ? ",\n        " : "\n        ") + std::string("{\"potencia\": ") + std::to_string(poly[i].power) +
               ", \"termos\": [";
        for (std::size_t k = 0; k < poly[i].terms.size(); ++k) {
            const TermView& t = poly[i].terms[k];
            std::vector<unsigned> exponents(symbol_count, 0);
            for (const auto& [symbol, exponent] : t.factors) exponents[symbol] = exponent;
            out += (k ? ", " : "") + std::string("{\"coeficiente\": ") + (t.negative ? "-" : "") + t.numerator +
                   ", \"expoentes\": [";
            for (std::size_t e = 0; e < exponents.size(); ++e) out += (e ? ", " : "") + std::to_string(exponents[e]);
            out += "]}";
        }
        out += "]}";
    }
    return out + (poly.empty() ? "]" : "\n      ]");
}

}  // namespace

void write_json(std::ostream& out, const std::vector<std::string>& symbols, std::size_t count, const ViewSource& view) {
    out << "{\n  \"simbolos\": [";
    for (std::size_t i = 0; i < symbols.size(); ++i) out << (i ? ", " : "") << json_string(symbols[i]);
    out << "],\n  \"variaveis\": [";
    for (std::size_t i = 0; i < count; ++i) {
        const FunctionView f = view(i);
        out << (i ? ",\n    {" : "\n    {") << "\"indice\": " << f.variable << ", \"nome\": " << json_string(f.name)
            << ", \"corrente\": " << (f.current ? "true" : "false")
            << ",\n      \"numerador\": " << polynomial(f.numerator, symbols.size())
            << ",\n      \"denominador\": " << polynomial(f.denominator, symbols.size()) << "}";
    }
    out << (count == 0 ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace quorvat::symbolic
