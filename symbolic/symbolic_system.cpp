#include "symbolic/symbolic_system.h"

#include <cfenv>

#include <flint/fmpq.h>

#include "engine/fp_fault.h"

namespace quorvat::symbolic {

SymbolicPencil::SymbolicPencil(const EngineTables& tables, const SymbolTable& symbols)
    : symbols_(symbols),
      n_(tables.variable_count),
      entries_(static_cast<std::size_t>(tables.variable_count) * (tables.variable_count + 1)) {}

void SymbolicPencil::add(int row, int column, int power, int sign, const StampTerm& term) {
    if (row == 0 || column == 0) return;
    // The stamp's quantity: the unit, or the element's value (a resistor's conductance,
    // a K's mutual inductance), possibly times a number (an initial condition).
    const int symbol = term.kind == StampTerm::unit ? -1 : symbols_.element_symbol[element_];
    exact::Rational value, factor;
    fmpq_one(value.get());
    if (symbol < 0 && term.kind != StampTerm::unit) {
        exact::set_from_double(value.get(), term.v);
        // The conductance of a resistor of 0 ohms: the division by zero of the
        // floating-point assembly.
        if (term.kind == StampTerm::reciprocal && fmpq_is_zero(value.get())) throw_fp_fault(FE_DIVBYZERO);
        if (term.kind == StampTerm::reciprocal) fmpq_inv(value.get(), value.get());
    }
    if (term.kind == StampTerm::product) {
        exact::set_from_double(factor.get(), term.w);
        fmpq_mul(value.get(), value.get(), factor.get());
    }
    if (sign < 0) fmpq_neg(value.get(), value.get());
    if (fmpq_is_zero(value.get())) return;
    std::vector<Term>& terms = entry(row, column);
    for (Term& t : terms)
        if (t.power == power && t.symbol == symbol) {
            fmpq_add(t.coefficient.get(), t.coefficient.get(), value.get());
            return;
        }
    terms.push_back({power, symbol, value});
}

SymbolicSystem SymbolicPencil::to_integers(const MpolyContext& ctx) const {
    SymbolicSystem system;
    system.n = n_;
    system.a.assign(static_cast<std::size_t>(n_) * n_, Mpoly(ctx));
    system.b.assign(n_, Mpoly(ctx));
    system.row_scale.resize(static_cast<std::size_t>(n_));
    std::vector<ulong> exponents(ctx.variables(), 0);
    fmpz_t scale, coefficient;
    fmpz_init(scale);
    fmpz_init(coefficient);
    for (int r = 1; r <= n_; ++r) {
        fmpz_one(scale);
        for (int c = 1; c <= n_ + 1; ++c)
            for (const Term& t : entries_[(static_cast<std::size_t>(r) - 1) * (n_ + 1) + (c - 1)])
                fmpz_lcm(scale, scale, fmpq_denref(t.coefficient.get()));
        fmpz_set(fmpq_numref(system.row_scale[r - 1].get()), scale);
                    fmpz_one(fmpq_denref(system.row_scale[r - 1].get()));
        for (int c = 1; c <= n_ + 1; ++c) {
            Mpoly& target = c <= n_ ? system.a[static_cast<std::size_t>(r - 1) * n_ + (c - 1)] : system.b[r - 1];
            for (const Term& t : entries_[(static_cast<std::size_t>(r) - 1) * (n_ + 1) + (c - 1)]) {
                if (fmpq_is_zero(t.coefficient.get())) continue;
                fmpz_divexact(coefficient, scale, fmpq_denref(t.coefficient.get()));
                fmpz_mul(coefficient, coefficient, fmpq_numref(t.coefficient.get()));
                std::fill(exponents.begin(), exponents.end(), 0);
                exponents[0] = static_cast<ulong>(t.power);
                if (t.symbol >= 0) exponents[t.symbol + 1] = 1;
                fmpz_mpoly_push_term_fmpz_ui(target.get(), coefficient, exponents.data(), ctx.get());
            }
            fmpz_mpoly_sort_terms(target.get(), ctx.get());
            fmpz_mpoly_combine_like_terms(target.get(), ctx.get());
        }
    }
    fmpz_clear(scale);
    fmpz_clear(coefficient);
    return system;
}

SymbolicSystem assemble_symbolic(const EngineTables& tables, const SymbolTable& symbols, const MpolyContext& ctx) {
    SymbolicPencil pencil(tables, symbols);
    for (int j = 1; j <= tables.element_count; ++j) {
        pencil.set_element(j);
        stamp_element(pencil, tables, tables.elements[j]);
    }
    return pencil.to_integers(ctx);
}

}  // namespace quorvat::symbolic
