#include "symbolic/gain_pole_report.h"

#include <cstdio>
#include <map>
#include <tuple>

namespace quorvat::symbolic {

namespace {

std::string number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

void write_gain_and_pole(std::ostream& out, const GainAndPole& parts, bool missing) {
    auto one = [&](const char* what, const std::optional<SimplifiedRatio>& r, const char* unit) {
        if (!r) {
            if (missing) out << "    " << what << ": sem forma simplificada (nulo, infinito ou fora do alcance do método)\n";
            return;
        }
        out << "    " << what << ", simplificado elemento a elemento: " << r->formula << "\n      = " << number("%.6g", r->value)
            << unit << "; " << r->top_terms << " e " << r->bottom_terms << " termos, erro " << number("%.2e", r->error) << "\n";
    };
    one(parts.final_value ? "Valor final, s*X(s) em s -> 0" : "Ganho em s -> 0", parts.gain, "");
    one("Polo dominante -a0/a1", parts.pole, " rad/s");
}

void write_gains_and_pole(std::ostream& out, double tolerance, const std::vector<std::string>& labels,
                          const std::vector<GainAndPole>& parts) {
    out << "Ganho e polo dominante com tolerância " << number("%g", tolerance)
        << " (erro relativo nos valores do netlist, exato):\n";
    for (std::size_t i = 0; i < parts.size() && i < labels.size(); ++i) {
        out << "  " << labels[i] << ":\n";
        write_gain_and_pole(out, parts[i], true);
    }
}

std::vector<std::vector<std::size_t>> alike_symbols(const std::vector<const GainAndPole*>& parts, const SymbolTable& table) {
    std::vector<bool> held(table.symbols.size(), false);
    for (const GainAndPole* p : parts)
        for (const auto* r : {&p->gain, &p->pole})
            if (*r)
                for (std::size_t s : (*r)->symbols) held[s] = true;
    // Kind by the name's first letter, as the netlist gives it.
    std::map<std::tuple<char, double, bool>, std::vector<std::size_t>> groups;
    for (std::size_t s = 0; s < held.size(); ++s)
        if (held[s]) {
            const Symbol& symbol = table.symbols[s];
            groups[{symbol.name[0], symbol.value, symbol.resistance}].push_back(s);
        }
    std::vector<std::vector<std::size_t>> out;
    for (auto& [key, members] : groups)
        if (members.size() > 1) out.push_back(std::move(members));
    return out;
}

}  // namespace quorvat::symbolic
