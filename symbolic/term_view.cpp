#include "symbolic/term_view.h"

#include <memory>

namespace quorvat::symbolic {

namespace {

std::string decimal(const fmpz_t value) {
    std::unique_ptr<char, void (*)(void*)> text(fmpz_get_str(nullptr, 10, value), flint_free);
    return text.get();
}

}  // namespace

PolyView view_of(const Mpoly& p, const fmpz_t divisor) {
    PolyView view;
    const fmpz_mpoly_ctx_struct* ctx = p.ctx();
    std::vector<ulong> exponents(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx)));
    fmpz_t coefficient, top, bottom, common;
    fmpz_init(coefficient);
    fmpz_init(top);
    fmpz_init(bottom);
    fmpz_init(common);
    for (slong t = 0; t < p.length(); ++t) {
        fmpz_mpoly_get_term_exp_ui(exponents.data(), p.get(), t, ctx);
        fmpz_mpoly_get_term_coeff_fmpz(coefficient, p.get(), t, ctx);
        const long power = static_cast<long>(exponents[0]);
        if (view.empty() || view.back().power != power) view.push_back({power, {}});
        TermView term;
        term.negative = fmpz_sgn(coefficient) < 0;
        fmpz_abs(coefficient, coefficient);
        fmpz_gcd(common, coefficient, divisor);
        fmpz_divexact(top, coefficient, common);
        fmpz_divexact(bottom, divisor, common);
        term.numerator = decimal(top);
        term.denominator = decimal(bottom);
        for (std::size_t i = 1; i < exponents.size(); ++i)
            if (exponents[i] != 0) term.factors.emplace_back(static_cast<int>(i - 1), static_cast<unsigned>(exponents[i]));
        view.back().terms.push_back(std::move(term));
    }
    fmpz_clear(coefficient);
    fmpz_clear(top);
    fmpz_clear(bottom);
    fmpz_clear(common);
    return view;
}

void display_divisor(const Mpoly& denominator, fmpz_t divisor) {
    fmpz_one(divisor);
    const slong length = denominator.length();
    if (length == 0) return;
    fmpz_mpoly_get_term_coeff_fmpz(divisor, denominator.get(), length - 1, denominator.ctx());
    fmpz_abs(divisor, divisor);
}

}  // namespace quorvat::symbolic
