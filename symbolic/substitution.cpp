#include "symbolic/substitution.h"

#include <algorithm>
#include <vector>

#include "exact/flint_handles.h"

namespace quorvat::symbolic {

namespace {

// An owning fmpz for containers.
class Integer {
public:
    Integer() { fmpz_init(z_); }
    Integer(const Integer& other) {
        fmpz_init(z_);
        fmpz_set(z_, other.z_);
    }
    Integer& operator=(const Integer& other) {
        fmpz_set(z_, other.z_);
        return *this;
    }
    ~Integer() { fmpz_clear(z_); }
    fmpz* get() { return z_; }
    const fmpz* get() const { return z_; }

private:
    fmpz_t z_;
};

// Adds every term of p, evaluated, into out: the symbol i of value p_i / q_i and largest
// degree m_i contributes p_i^e q_i^(m_i - e), so the whole is scaled by prod q_i^m_i.
void evaluate_into(const Mpoly& p, const std::vector<std::vector<Integer>>& powers, exact::IntPoly& out) {
    const fmpz_mpoly_ctx_struct* ctx = p.ctx();
    std::vector<ulong> exponents(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx)));
    fmpz_t value, sum;
    fmpz_init(value);
    fmpz_init(sum);
    for (slong t = 0; t < p.length(); ++t) {
        fmpz_mpoly_get_term_exp_ui(exponents.data(), p.get(), t, ctx);
        fmpz_mpoly_get_term_coeff_fmpz(value, p.get(), t, ctx);
        for (std::size_t i = 0; i < powers.size(); ++i) {
            if (powers[i].size() <= 1) continue;
            const fmpz* factor = powers[i][exponents[i + 1]].get();
            if (!fmpz_is_one(factor)) fmpz_mul(value, value, factor);
        }
        const slong power = static_cast<slong>(exponents[0]);
        fmpz_poly_get_coeff_fmpz(sum, out.get(), power);
        fmpz_add(sum, sum, value);
        fmpz_poly_set_coeff_fmpz(out.get(), power, sum);
    }
    fmpz_clear(value);
    fmpz_clear(sum);
}

}  // namespace

void substitute_values(const SymbolicFunction& f, const SymbolTable& symbols, exact::IntPoly& numerator,
                       exact::IntPoly& denominator) {
    const fmpz_mpoly_ctx_struct* ctx = f.numerator.ctx();
    const std::size_t variables = static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx));
    std::vector<slong> top(variables, 0), bottom(variables, 0);
    if (!f.numerator.is_zero()) fmpz_mpoly_degrees_si(top.data(), f.numerator.get(), ctx);
    if (!f.denominator.is_zero()) fmpz_mpoly_degrees_si(bottom.data(), f.denominator.get(), ctx);

    // powers[i][e] = p_i^e q_i^(m_i - e) for e = 0..m_i
    std::vector<std::vector<Integer>> powers(symbols.symbols.size());
    exact::Rational value;
    for (std::size_t i = 0; i < symbols.symbols.size(); ++i) {
        const slong degree = std::max(top[i + 1], bottom[i + 1]);
        if (degree == 0) continue;
        exact::set_from_double(value.get(), symbols.symbols[i].value);
        powers[i].resize(static_cast<std::size_t>(degree) + 1);
        for (slong e = 0; e <= degree; ++e) {
            fmpz* power = powers[i][e].get();
            fmpz_pow_ui(power, fmpq_numref(value.get()), static_cast<ulong>(e));
            fmpz_t other;
            fmpz_init(other);
            fmpz_pow_ui(other, fmpq_denref(value.get()), static_cast<ulong>(degree - e));
            fmpz_mul(power, power, other);
            fmpz_clear(other);
        }
    }
    fmpz_poly_zero(numerator.get());
    fmpz_poly_zero(denominator.get());
    evaluate_into(f.numerator, powers, numerator);
    evaluate_into(f.denominator, powers, denominator);
}

bool agrees_with_exact(const SymbolicFunction& f, const SymbolTable& symbols, const exact::RationalFunction& exact) {
    exact::IntPoly numerator, denominator, left, right;
    substitute_values(f, symbols, numerator, denominator);
    if (denominator.is_zero()) return false;
    fmpz_poly_mul(left.get(), numerator.get(), exact.denominator.get());
    fmpz_poly_mul(right.get(), exact.numerator.get(), denominator.get());
    return fmpz_poly_equal(left.get(), right.get());
}

}  // namespace quorvat::symbolic
