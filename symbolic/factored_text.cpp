#include "symbolic/factored_text.h"

#include <flint/fmpz_mpoly_factor.h>

#include "engine/fp_fault.h"
#include "symbolic/formats.h"

namespace quorvat::symbolic {

namespace {

// Beyond these sizes a sum is written flat: factoring and nesting cost grows with the
// square of the terms, and such a sum is no longer read term by term anyway. A formula
// factors at most max_factorings of its parts (each costs FLINT a pass over every
// symbol's exponents), in the order the recursion meets them, the outer ones first.
constexpr slong factor_limit = 64;
constexpr slong nest_limit = 512;
constexpr int max_factorings = 64;

std::string product_text(const Mpoly& p, const std::vector<std::string>& names, int& factorings);

std::string joined_sum(const std::string& first, const std::string& rest) {
    return rest.front() == '-' ? first + " - " + rest.substr(1) : first + " + " + rest;
}

// p (two terms or more, no common factor) as the terms with the symbol most of them
// share, that symbol and what else they share pulled out, plus the others, nested the same.
std::string nested_text(const Mpoly& p, const std::vector<std::string>& names, int& factorings) {
    const fmpz_mpoly_ctx_struct* ctx = p.ctx();
    const slong vars = fmpz_mpoly_ctx_nvars(ctx), n = p.length();
    std::vector<std::vector<ulong>> exps(static_cast<std::size_t>(n), std::vector<ulong>(static_cast<std::size_t>(vars)));
    std::vector<slong> count(static_cast<std::size_t>(vars), 0);
    for (slong i = 0; i < n; ++i) {
        fmpz_mpoly_get_term_exp_ui(exps[static_cast<std::size_t>(i)].data(), p.get(), i, ctx);
        for (slong v = 0; v < vars; ++v) count[static_cast<std::size_t>(v)] += exps[static_cast<std::size_t>(i)][static_cast<std::size_t>(v)] > 0;
    }
    slong best = 0;
    for (slong v = 1; v < vars; ++v)
        if (count[static_cast<std::size_t>(v)] > count[static_cast<std::size_t>(best)]) best = v;
    if (count[static_cast<std::size_t>(best)] < 2 || count[static_cast<std::size_t>(best)] == n) return sum_text(p, names);
    Mpoly with(p), without(p);
    fmpz_mpoly_zero(with.get(), ctx);
    fmpz_mpoly_zero(without.get(), ctx);
    for (slong i = 0; i < n; ++i) {
        Mpoly& side = exps[static_cast<std::size_t>(i)][static_cast<std::size_t>(best)] > 0 ? with : without;
        fmpz_mpoly_push_term_fmpz_ui(side.get(), p.get()->coeffs + i, exps[static_cast<std::size_t>(i)].data(), ctx);
    }
    fmpz_mpoly_sort_terms(with.get(), ctx);
    fmpz_mpoly_sort_terms(without.get(), ctx);
    const std::string first = product_text(with, names, factorings);
    return joined_sum(first, product_text(without, names, factorings));
}

// p nested where that is clearly shorter than its flat sum (a symmetric sum such as
// a*b + a*c + b*c reads better flat).
std::string sum_or_nested(const Mpoly& p, const std::vector<std::string>& names, int& factorings) {
    std::string flat = sum_text(p, names);
    if (p.length() <= 1 || p.length() > nest_limit) return flat;
    std::string nested = nested_text(p, names, factorings);
    return 5 * nested.size() <= 4 * flat.size() ? nested : flat;
}

// parts joined by *, a sum among other factors or after a sign in parentheses.
std::string product_of(const std::vector<std::pair<std::string, bool>>& parts, bool negative) {
    if (parts.empty()) return negative ? "-1" : "1";
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto& [part, sum] = parts[i];
        text += (i ? "*" : "") + (sum && (parts.size() > 1 || negative) ? "(" + part + ")" : part);
    }
    return negative ? "-" + text : text;
}

std::string product_text(const Mpoly& p, const std::vector<std::string>& names, int& factorings) {
    if (p.length() <= 1) return sum_text(p, names);
    const fmpz_mpoly_ctx_struct* ctx = p.ctx();
    std::vector<std::pair<std::string, bool>> parts;  // text, whether a sum
    if (p.length() > factor_limit || factorings <= 0) {
        Mpoly content(p), rest(p);
        fmpz_mpoly_term_content(content.get(), p.get(), ctx);
        fmpz_mpoly_divides(rest.get(), p.get(), content.get(), ctx);
        if (!fmpz_mpoly_is_one(content.get(), ctx)) parts.emplace_back(sum_text(content, names), false);
        parts.emplace_back(sum_or_nested(rest, names, factorings), true);
        return product_of(parts, false);
    }
    --factorings;
    fmpz_mpoly_factor_t f;
    fmpz_mpoly_factor_init(f, ctx);
    if (!fmpz_mpoly_factor(f, p.get(), ctx)) {
        fmpz_mpoly_factor_clear(f, ctx);
        return sum_or_nested(p, names, factorings);
    }
    const bool negative = fmpz_is_pm1(f->constant) && fmpz_sgn(f->constant) < 0;
    if (!fmpz_is_pm1(f->constant)) {
        char* digits = fmpz_get_str(nullptr, 10, f->constant);
        parts.emplace_back(digits, false);
        flint_free(digits);
    }
    for (slong i = 0; i < f->num; ++i) {
        Mpoly factor(p);
        fmpz_mpoly_set(factor.get(), f->poly + i, ctx);
        std::string text = sum_or_nested(factor, names, factorings);
        bool sum = factor.length() > 1;
        if (!fmpz_is_one(f->exp + i)) {
            char* e = fmpz_get_str(nullptr, 10, f->exp + i);
            text = (sum ? "(" + text + ")" : text) + "^" + e;
            sum = false;
            flint_free(e);
        }
        parts.emplace_back(std::move(text), sum);
    }
    fmpz_mpoly_factor_clear(f, ctx);
    return product_of(parts, negative);
}

}  // namespace

std::string factored_text(const Mpoly& p, const std::vector<std::string>& names) {
    FpFlagsGuard keep_flags;  // FLINT's factoring leaves the invalid flag; no fault of the values
    int factorings = max_factorings;
    return product_text(p, names, factorings);
}

namespace {

// Whether text has a sum outside parentheses.
bool sum_outside(const std::string& text) {
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')') --depth;
        if (depth == 0 && i > 0 && text[i - 1] == ' ' && (text[i] == '+' || text[i] == '-')) return true;
    }
    return false;
}

}  // namespace

RatioText ratio_text(Mpoly top, Mpoly bottom, const std::vector<std::string>& names) {
    const fmpz_mpoly_ctx_struct* ctx = top.ctx();
    RatioText out;
    {
        FpFlagsGuard keep_flags;
        // Beyond gcd_limit terms a side, only the monomials common to every term (the
        // forced elements, say) are cancelled: a whole gcd would cost too much.
        constexpr slong gcd_limit = 4096;
        Mpoly g(top), top_content(top), bottom_content(bottom);
        bool found = false;
        if (top.length() <= gcd_limit && bottom.length() <= gcd_limit) {
            found = fmpz_mpoly_gcd(g.get(), top.get(), bottom.get(), ctx);
        } else {
            fmpz_mpoly_term_content(top_content.get(), top.get(), ctx);
            fmpz_mpoly_term_content(bottom_content.get(), bottom.get(), ctx);
            found = fmpz_mpoly_gcd(g.get(), top_content.get(), bottom_content.get(), ctx);
        }
        if (found && !fmpz_mpoly_is_one(g.get(), ctx) && !fmpz_mpoly_is_zero(g.get(), ctx)) {
            fmpz_mpoly_divides(top.get(), top.get(), g.get(), ctx);
            fmpz_mpoly_divides(bottom.get(), bottom.get(), g.get(), ctx);
        }
    }
    // The denominator's sign leads: a negative one moves to the numerator.
    if (!bottom.is_zero() && fmpz_sgn(bottom.get()->coeffs) < 0) {
        fmpz_mpoly_neg(top.get(), top.get(), ctx);
        fmpz_mpoly_neg(bottom.get(), bottom.get(), ctx);
    }
    out.top_terms = top.length();
    out.bottom_terms = bottom.length();
    std::vector<slong> top_degree(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx))), bottom_degree(top_degree);
    fmpz_mpoly_degrees_si(top_degree.data(), top.get(), ctx);
    fmpz_mpoly_degrees_si(bottom_degree.data(), bottom.get(), ctx);
    for (std::size_t v = 1; v < top_degree.size(); ++v)
        if (top_degree[v] > 0 || bottom_degree[v] > 0) out.symbols.push_back(v - 1);
    const std::string over = factored_text(top, names), under = factored_text(bottom, names);
    if (under == "1") {
        out.text = over;
        return out;
    }
    const bool single = under.find_first_of(" *+-/^()") == std::string::npos;
    out.text = (sum_outside(over) ? "(" + over + ")" : over) + "/" + (single ? under : "(" + under + ")");
    return out;
}

}  // namespace quorvat::symbolic
