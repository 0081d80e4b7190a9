#include "exact/exact_reference.h"

#include <algorithm>
#include <cmath>

#include "engine/fp_fault.h"
#include "exact/exact_solver.h"
#include "numeric/verification.h"

namespace quorvat::exact {

ExactSolver::Outcome ExactReference::solve(EngineTables& tables, LogSink& log) {
    FpFlagsGuard keep_flags;  // the conversions to double may raise flags of their own
    tables.exact_available = false;
    ExactSolution solution = solve_exact(tables);
    if (solution.singular) return Outcome::singular;
    for (int k = 1; k <= tables.variable_count; ++k) {
        if (!to_result_polynomials(solution.variables[k - 1], tables.exact_num[k], tables.exact_den[k])) {
            log_message(log, "O resultado exato da variável %d (%s) não cabe em números de ponto flutuante.", k,
                        tables.variable_name(k));
            return Outcome::refused;
        }
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
