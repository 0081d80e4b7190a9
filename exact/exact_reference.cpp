#include "exact/exact_reference.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/fp_fault.h"
#include "exact/exact_solver.h"
#include "numeric/verification.h"

namespace quorvat::exact {

namespace {

// Names the first variable beyond the range of a double and the smallest power of ten
// as frequency scale under which every solved variable fits.
void log_scale_refusal(const EngineTables& tables, const ExactSolution& solution,
                       const std::vector<int32_t>& beyond, LogSink& log) {
    int32_t k = beyond.front();
    log_message(log, "O resultado exato da variável %d (%s) tem coeficientes fora do alcance dos números de ponto "
                     "flutuante.",
                k, tables.variable_name(k));
    ScaleRange range;
    for (int32_t v : tables.solved) narrow_scale_range(solution.variables[v - 1], range);
    if (range.empty()) {
        log_message(log, "Nenhuma escala de frequência faz todos os resultados caberem; escolha as variáveis a "
                         "calcular (opção --variaveis).");
        return;
    }
    log_message(log, "A menor escala de frequência que o faz caber é W = 1e%d rad/s: use a opção --escala 1e%d, ou "
                     "\"Escala de frequência\" nas opções (resultados em função de s/W).",
                range.low, range.low);
}

}  // namespace

ExactSolver::Outcome ExactReference::solve(EngineTables& tables, LogSink& log) {
    FpFlagsGuard keep_flags;  // the conversions to double may raise flags of their own
    tables.exact_available = false;
    ExactSolution solution = solve_exact(tables);
    if (solution.singular) return Outcome::singular;
    const int n = tables.variable_count;
    tables.exact_num.assign(static_cast<std::size_t>(n) + 1, WidePolynomial{});
    tables.exact_den.assign(static_cast<std::size_t>(n) + 1, WidePolynomial{});
    std::vector<int32_t> beyond;  // variables whose coefficients a double cannot hold
    for (int32_t k : tables.solved)
        if (!to_result_polynomials(solution.variables[k - 1], tables.exact_num[k], tables.exact_den[k],
                                   tables.frequency_scale))
            beyond.push_back(k);
    if (!beyond.empty()) {
        log_scale_refusal(tables, solution, beyond, log);
        return Outcome::refused;
    }
    tables.exact_available = true;
    return Outcome::solved;
}

double ExactReference::difference(const EngineTables& tables) {
    FpFlagsGuard keep_flags;
    VerificationReport report = verify_results(tables);
    if (report.frequencies.empty()) return INFINITY;
    double largest = 0.0;
    for (const VariableCheck& v : report.variables) {
        if (!(v.error == v.error)) return INFINITY;
        largest = std::max(largest, v.error);
    }
    return largest;
}

}  // namespace quorvat::exact
