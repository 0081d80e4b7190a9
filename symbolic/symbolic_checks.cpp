#include "symbolic/symbolic_checks.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "exact/exact_solver.h"
#include "symbolic/substitution.h"

namespace quorvat::symbolic {

bool parse_element_names(const std::string& list, std::set<std::string>& names) {
    std::set<std::string> parsed;
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        const std::string part = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int words = 0;
        for (std::size_t from = part.find_first_not_of(" \t"); from != std::string::npos;
             from = part.find_first_not_of(" \t", from)) {
            const std::size_t to = std::min(part.find_first_of(" \t", from), part.size());
            std::string item = part.substr(from, to - from);
            if (item.size() > 2 && (item[0] == 'M' || item[0] == 'm') && item[1] == '_') item = item.substr(2);
            item[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])));
            parsed.insert(item);
            ++words;
            from = to;
        }
        if (words == 0) return false;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    names.insert(parsed.begin(), parsed.end());
    return true;
}

int first_difference(const SymbolicResult& result, const EngineTables& tables) {
    exact::ExactSolution exact = exact::solve_exact(tables);
    if (exact.singular) return -1;
    for (const SymbolicFunction& f : result.functions)
        if (!agrees_with_exact(f, result.symbols, exact.variables[f.variable - 1])) return f.variable;
    return 0;
}

std::string approximation_summary(double tolerance, const ApproximationReport& report) {
    char line[300];
    std::snprintf(line, sizeof line,
                  "Aproximação com tolerância %g: %ld termos mantidos, %ld descartados; maior variação "
                  "relativa da função nas frequências de teste: %.3g",
                  tolerance, report.kept, report.dropped, report.largest_change);
    return line;
}

}  // namespace quorvat::symbolic
