#include "symbolic/dominant_poles.h"

#include "symbolic/factored_text.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/fp_fault.h"
#include "certified/certified_roots.h"
#include "symbolic/factored_text.h"
#include "symbolic/formats.h"
#include "symbolic/graph_values.h"

namespace quorvat::symbolic {

namespace {

// The terms of p with s^power, as a polynomial in the symbols alone.
Mpoly coefficient_of(const Mpoly& p, ulong power) {
    const fmpz_mpoly_ctx_struct* ctx = p.ctx();
    Mpoly out(p);
    fmpz_mpoly_zero(out.get(), ctx);
    std::vector<ulong> exponents(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx)));
    fmpz_t c;
    fmpz_init(c);
    for (slong t = 0; t < p.length(); ++t) {
        fmpz_mpoly_get_term_exp_ui(exponents.data(), p.get(), t, ctx);
        if (exponents[0] != power) continue;
        exponents[0] = 0;
        fmpz_mpoly_get_term_coeff_fmpz(c, p.get(), t, ctx);
        fmpz_mpoly_push_term_fmpz_ui(out.get(), c, exponents.data(), ctx);
    }
    fmpz_clear(c);
    fmpz_mpoly_sort_terms(out.get(), ctx);
    return out;
}

// p at the symbols' values (resistors as resistances).
long double value_of(const Mpoly& p, const SymbolTable& symbols) {
    const fmpz_mpoly_ctx_struct* ctx = p.ctx();
    std::vector<ulong> exponents(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx)));
    long double sum = 0;
    fmpz_t c;
    fmpz_init(c);
    for (slong t = 0; t < p.length(); ++t) {
        fmpz_mpoly_get_term_exp_ui(exponents.data(), p.get(), t, ctx);
        fmpz_mpoly_get_term_coeff_fmpz(c, p.get(), t, ctx);
        slong e = 0;
        long double term = std::ldexp(static_cast<long double>(fmpz_get_d_2exp(&e, c)), static_cast<int>(e));
        for (std::size_t i = 0; i < symbols.symbols.size(); ++i)
            if (exponents[i + 1] != 0)
                term *= std::pow(static_cast<long double>(symbols.symbols[i].value), static_cast<long double>(exponents[i + 1]));
        sum += term;
    }
    fmpz_clear(c);
    return sum;
}

}  // namespace

std::vector<PoleApproximation> dominant_poles(const SymbolicFunction& f, const NestedResult& result) {
    FpFlagsGuard keep_flags;  // a pole at 0 divides by zero; the analysis is not at fault
    std::vector<PoleApproximation> poles;
    const std::vector<std::string> names = symbol_names(result.symbols);
    slong top = 0;
    if (!f.denominator.is_zero()) top = static_cast<slong>(fmpz_mpoly_degree_si(f.denominator.get(), 0, f.denominator.ctx()));

    // The exact roots of det A at the values, certified (arb), by modulus.
    GraphValues at = evaluate_at_values(result.graph, result.system, result.symbols);
    std::vector<std::complex<double>> ranked;
    const bool known = at.determinant.degree() >= 1 && at.determinant.degree() <= max_root_degree;
    if (known) {
        for (const CertifiedRoot& root : certified_roots(at.determinant.get(), 64)) {
            const acb_struct* z = root.value.get();
            const std::complex<double> value(arf_get_d(arb_midref(acb_realref(z)), ARF_RND_NEAR),
                                             arf_get_d(arb_midref(acb_imagref(z)), ARF_RND_NEAR));
            for (int m = 0; m < root.multiplicity; ++m) ranked.push_back(value);
        }
        std::stable_sort(ranked.begin(), ranked.end(), [](std::complex<double> a, std::complex<double> b) {
            return std::abs(a) < std::abs(b);
        });
    }

    // D(s) = s det: a_i is the coefficient of s^(i+1).
    for (slong i = 1; i + 1 <= top; ++i) {
        const Mpoly lower = coefficient_of(f.denominator, static_cast<ulong>(i));
        const Mpoly upper = coefficient_of(f.denominator, static_cast<ulong>(i + 1));
        if (lower.is_zero() || upper.is_zero()) continue;
        PoleApproximation p;
        p.index = static_cast<int>(i);
        Mpoly negated(lower);
        fmpz_mpoly_neg(negated.get(), lower.get(), lower.ctx());
        p.formula = ratio_text(std::move(negated), upper, names).text;
        p.value = static_cast<double>(-value_of(lower, result.symbols) / value_of(upper, result.symbols));
        if (known && static_cast<std::size_t>(i) <= ranked.size()) {
            p.exact_known = true;
            p.exact = ranked[static_cast<std::size_t>(i) - 1];
            p.difference = std::abs(p.value - p.exact) / std::abs(p.exact);
        }
        poles.push_back(std::move(p));
    }
    return poles;
}

}  // namespace quorvat::symbolic
