#include "exact/exact_reference.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <vector>

#include "engine/fp_fault.h"
#include "engine/results.h"
#include "exact/exact_solver.h"
#include "certified/certified_roots.h"
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
    for (int32_t v : result_variables(tables)) narrow_scale_range(solution.variables[v - 1], range);
    if (range.empty()) {
        log_message(log, "Nenhuma escala de frequência faz todos os resultados caberem; escolha as variáveis a "
                         "calcular (opção --variaveis).");
        return;
    }
    log_message(log, "A menor escala de frequência que o faz caber é W = 1e%d rad/s: use a opção --escala 1e%d, ou "
                     "o campo \"Escala\" junto de \"Cálculo exato\" nas opções (resultados em função de s/W).",
                range.low, range.low);
}

// How far the roots of a result of the elimination are from those of the exact result:
// the largest relative distance from an exact root to the nearest unmatched root of the
// elimination's. A root at the origin must be one exactly. Extra roots of the
// elimination's result are not counted: they cancel between its numerator and
// denominator, which the values already check.
// The roots of one polynomial as the comparison needs them.
struct FoundRoots {
    bool identically_zero = false;
    int at_origin = 0;
    std::vector<std::complex<double>> others;  // each as often as its multiplicity
};

// Certified roots are the costly part of the check, and the variables of a circuit
// share their denominators: each distinct polynomial is solved once per check.
class RootCache {
public:
    const FoundRoots& roots(const WidePolynomial& p) {
        std::vector<double> key = p.c;
        key.push_back(p.Cte);
        auto [at, fresh] = found_.try_emplace(std::move(key));
        if (fresh) at->second = compute(p);
        return at->second;
    }

private:
    static FoundRoots compute(const WidePolynomial& p) {
        constexpr slong precision = 64;
        CertifiedPolynomialRoots found = certified_polynomial_roots(p, 1.0, precision);
        FoundRoots out;
        out.identically_zero = found.identically_zero;
        out.at_origin = found.roots_at_origin;
        for (const CertifiedRoot& root : found.roots) {
            std::complex<double> value(arf_get_d(arb_midref(acb_realref(root.value.get())), ARF_RND_NEAR),
                                       arf_get_d(arb_midref(acb_imagref(root.value.get())), ARF_RND_NEAR));
            out.others.insert(out.others.end(), static_cast<std::size_t>(root.multiplicity), value);
        }
        return out;
    }
    std::map<std::vector<double>, FoundRoots> found_;
};

double root_difference(const ResultPolynomial& computed, const WidePolynomial& exact_result, RootCache& cache) {
    if (exact_result.degree() < 1 || computed.degree < 1) return 0.0;
    const FoundRoots& want_found = cache.roots(exact_result);
    const FoundRoots& have_found = cache.roots(widen(computed));
    if (want_found.identically_zero) return 0.0;
    if (have_found.identically_zero || have_found.at_origin < want_found.at_origin) return INFINITY;
    const std::vector<std::complex<double>>& want = want_found.others;
    const std::vector<std::complex<double>>& have = have_found.others;
    std::vector<bool> used(have.size(), false);
    double largest = 0.0;
    for (const std::complex<double>& root : want) {
        double nearest = INFINITY;
        std::size_t at = used.size();
        for (std::size_t i = 0; i < have.size(); ++i)
            if (!used[i] && std::abs(have[i] - root) < nearest) {
                nearest = std::abs(have[i] - root);
                at = i;
            }
        if (at == used.size()) return INFINITY;
        used[at] = true;
        largest = std::max(largest, nearest / std::abs(root));
    }
    return largest;
}

}  // namespace

ExactSolver::Outcome ExactReference::solve(EngineTables& tables, AnalysisHost& log) {
    FpFlagsGuard keep_flags;  // the conversions to double may raise flags of their own
    tables.exact_available = false;
    ProgressCallback progress = [&log](const char* stage, double done) { return log.progress(stage, done); };
    ExactSolution solution = solve_exact(tables, Method::automatic, progress);
    if (solution.cancelled) return Outcome::cancelled;
    if (solution.too_large) {
        log_message(log, "A solução exata precisaria de cerca de %.1f GiB de memória, acima do limite de %.0f GiB.",
                    static_cast<double>(solution.estimated_bytes) / (1 << 30),
                    static_cast<double>(memory_guard_bytes) / (1 << 30));
        return Outcome::refused;
    }
    if (solution.singular) return Outcome::singular;
    const int n = tables.variable_count;
    tables.exact_num.assign(static_cast<std::size_t>(n) + 1, WidePolynomial{});
    tables.exact_den.assign(static_cast<std::size_t>(n) + 1, WidePolynomial{});
    std::vector<int32_t> beyond;  // variables whose coefficients a double cannot hold
    for (int32_t k : result_variables(tables))
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
    RootCache cache;
    for (int32_t k : result_variables(tables)) {
        largest = std::max(largest, root_difference(tables.num[k], tables.exact_num[k], cache));
        largest = std::max(largest, root_difference(tables.den[k], tables.exact_den[k], cache));
    }
    return largest;
}

}  // namespace quorvat::exact
