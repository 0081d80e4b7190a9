#include "symbolic/symbolic_solver.h"

#include <algorithm>

#include "symbolic/minor_expansion.h"
#include "symbolic/symbolic_system.h"

namespace quorvat::symbolic {

namespace {

// The polynomial with every resistor symbol r raised to degree[r] - e in place of e:
// multiplied by the product of the resistances R^degree[r] and written in R = 1/G.
// Distinct terms stay distinct, so only the order of the terms changes.
Mpoly in_resistances(const Mpoly& p, const std::vector<slong>& degree, const SymbolTable& symbols) {
    const fmpz_mpoly_ctx_struct* ctx = p.ctx();
    Mpoly result(p);
    fmpz_mpoly_zero(result.get(), ctx);
    std::vector<ulong> exponents(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx)));
    fmpz_t coefficient;
    fmpz_init(coefficient);
    for (slong t = 0; t < p.length(); ++t) {
        fmpz_mpoly_get_term_exp_ui(exponents.data(), p.get(), t, ctx);
        for (std::size_t i = 0; i < symbols.symbols.size(); ++i)
            if (symbols.symbols[i].resistance) exponents[i + 1] = static_cast<ulong>(degree[i + 1]) - exponents[i + 1];
        fmpz_mpoly_get_term_coeff_fmpz(coefficient, p.get(), t, ctx);
        fmpz_mpoly_push_term_fmpz_ui(result.get(), coefficient, exponents.data(), ctx);
    }
    fmpz_clear(coefficient);
    fmpz_mpoly_sort_terms(result.get(), ctx);
    fmpz_mpoly_combine_like_terms(result.get(), ctx);
    return result;
}

std::vector<slong> degrees(const Mpoly& p) {
    std::vector<slong> d(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(p.ctx())), 0);
    if (!p.is_zero()) fmpz_mpoly_degrees_si(d.data(), p.get(), p.ctx());
    return d;
}

// numerator / (s * determinant) in resistances and in lowest terms.
SymbolicFunction reduced(int variable, const Mpoly& numerator, const Mpoly& determinant, const SymbolTable& symbols,
                         const MpolyContext& ctx) {
    SymbolicFunction f{variable, Mpoly(ctx), Mpoly(ctx)};
    if (numerator.is_zero()) {
        fmpz_mpoly_one(f.denominator.get(), ctx.get());
        return f;
    }
    Mpoly s(ctx);
    fmpz_mpoly_gen(s.get(), 0, ctx.get());
    Mpoly denominator(ctx);
    fmpz_mpoly_mul(denominator.get(), determinant.get(), s.get(), ctx.get());
    std::vector<slong> top = degrees(numerator), bottom = degrees(denominator);
    for (std::size_t i = 0; i < top.size(); ++i) top[i] = std::max(top[i], bottom[i]);
    f.numerator = in_resistances(numerator, top, symbols);
    f.denominator = in_resistances(denominator, top, symbols);

    Mpoly divisor(ctx);
    if (fmpz_mpoly_gcd(divisor.get(), f.numerator.get(), f.denominator.get(), ctx.get()) &&
        !fmpz_mpoly_is_one(divisor.get(), ctx.get())) {
        fmpz_mpoly_divides(f.numerator.get(), f.numerator.get(), divisor.get(), ctx.get());
        fmpz_mpoly_divides(f.denominator.get(), f.denominator.get(), divisor.get(), ctx.get());
    }
    if (fmpz_sgn(f.denominator.get()->coeffs) < 0) {
        fmpz_mpoly_neg(f.numerator.get(), f.numerator.get(), ctx.get());
        fmpz_mpoly_neg(f.denominator.get(), f.denominator.get(), ctx.get());
    }
    return f;
}

}  // namespace

long term_limit_for(long variables) {
    // FLINT packs at least 8 bits per exponent into 64-bit words; a small coefficient
    // takes one more word.
    const long bytes_per_term = 8 * ((variables * 8 + 63) / 64) + 8;
    return std::min(1'000'000L, (64L << 20) / bytes_per_term);
}

SymbolicResult solve_symbolic(const EngineTables& tables, const SymbolChoice& choice, const std::vector<int>& wanted) {
    SymbolicResult result;
    result.symbols = choose_symbols(tables, choice);
    const long variables = 1 + static_cast<long>(result.symbols.symbols.size());
    result.ctx = std::make_unique<MpolyContext>(variables);
    result.term_limit = term_limit_for(variables);
    const MpolyContext& ctx = *result.ctx;

    SymbolicSystem system = assemble_symbolic(tables, result.symbols, ctx);
    std::vector<int> columns;
    for (int k : wanted) columns.push_back(k - 1);
    try {
        CramerSolution cramer = cramer_by_minors(system, columns, ctx, result.term_limit);
        if (cramer.determinant.is_zero()) {
            result.status = SymbolicResult::Status::singular;
            return result;
        }
        Mpoly determinant = in_resistances(cramer.determinant, degrees(cramer.determinant), result.symbols);
        result.determinant_terms = determinant.length();
        long written = 0;  // every function is written whole, its denominator included
        for (int k : wanted) {
            result.functions.push_back(reduced(k, *cramer.numerators[k - 1], cramer.determinant, result.symbols, ctx));
            written += result.functions.back().numerator.length() + result.functions.back().denominator.length();
            if (written > result.term_limit) throw TooLarge(result.term_limit);
        }
    } catch (const TooLarge&) {
        result.status = SymbolicResult::Status::too_large;
        result.functions.clear();
    }
    return result;
}

}  // namespace quorvat::symbolic
