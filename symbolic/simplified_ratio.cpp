#include "symbolic/simplified_ratio.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "engine/fp_fault.h"
#include "symbolic/element_stamps.h"
#include "symbolic/factored_text.h"
#include "symbolic/formats.h"
#include "symbolic/graph_values.h"

namespace quorvat::symbolic {

namespace {

using namespace stamps;

enum class Choice : char { undecided, removed, forced };

// One coefficient of det A or of a numerator as a function of the choices: the stamps of
// power 0 at s = 0 (power 0), or the sum over the stamps in s of each one forced (power 1).
struct Form {
    Target target;
    int power = 0;
};

struct Split {
    std::vector<int> forced, undecided, in_s;
    bool possible = true;  // every forced symbol has a stamp of power 0 here
};

// Determinants left to spend.
struct Budget {
    long left = 0;
    explicit Budget(int n) : left(affordable_branches(n, 200'000)) {}
    bool spend(long count) {
        left -= count;
        return left >= 0;
    }
};

Split split(const Form& form, const std::vector<Choice>& choice) {
    Split out;
    std::vector<bool> present(choice.size(), false);
    for (std::size_t k = 0; k < form.target.pieces.size(); ++k) {
        const Piece& p = form.target.pieces[k];
        const Choice c = choice[static_cast<std::size_t>(p.symbol)];
        if (p.power == 0) {
            present[static_cast<std::size_t>(p.symbol)] = true;
            if (c == Choice::forced) out.forced.push_back(static_cast<int>(k));
            if (c == Choice::undecided) out.undecided.push_back(static_cast<int>(k));
        } else if (c == Choice::undecided) {
            out.in_s.push_back(static_cast<int>(k));
        }
    }
    for (std::size_t s = 0; s < choice.size(); ++s) out.possible = out.possible && (choice[s] != Choice::forced || present[s]);
    return out;
}

Real value(const Form& form, const std::vector<Choice>& choice, Budget& budget) {
    const Split parts = split(form, choice);
    if (!parts.possible) return 0;
    if (!budget.spend(form.power == 0 ? 1 : static_cast<long>(parts.in_s.size()))) return 0;
    const Evaluator evaluate(form.target);
    if (form.power == 0) return evaluate.value(parts.forced, parts.undecided);
    Real sum = 0;
    for (int k : parts.in_s) {
        std::vector<int> forced = parts.forced;
        forced.push_back(k);
        sum += evaluate.value(forced, parts.undecided);
    }
    return sum;
}

// Every term of the form with the choices made: the undecided stamps expanded, branches
// that vanish at the values skipped. False beyond max_terms.
struct Leaf {
    std::vector<int> forced;
};

bool expand(const Evaluator& evaluate, std::vector<int> forced, const std::vector<int>& undecided, std::size_t next,
            Real branch, Real floor, std::vector<Leaf>& leaves, std::size_t max_terms, Budget& budget) {
    if (std::fabs(branch) <= floor) return true;
    if (!budget.spend(1)) return false;
    if (next == undecided.size()) {
        leaves.push_back({std::move(forced)});
        return leaves.size() <= max_terms;
    }
    const std::vector<int> rest(undecided.begin() + static_cast<long>(next) + 1, undecided.end());
    const Real removed = evaluate.value(forced, rest);
    if (!expand(evaluate, forced, undecided, next + 1, removed, floor, leaves, max_terms, budget)) return false;
    forced.push_back(undecided[next]);
    return expand(evaluate, std::move(forced), undecided, next + 1, branch - removed, floor, leaves, max_terms, budget);
}

struct Terms {
    std::vector<std::vector<ulong>> exponents;  // by symbol
    std::vector<exact::Rational> coefficients;
    exact::Rational sum;                        // at the values
};

bool terms_of(const Form& form, const std::vector<Choice>& choice, const std::vector<exact::Rational>& values,
              Terms& out, Budget& budget) {
    const Split parts = split(form, choice);
    if (!parts.possible) return false;
    const Evaluator evaluate(form.target);
    const Real total = value(form, choice, budget);
    const Real floor = 1e-12L * std::fabs(total);
    std::vector<Leaf> leaves;
    // At most 32,768 terms, and about 64 MB of their exponents.
    const std::size_t max_terms =
        std::min<std::size_t>(32768, (std::size_t{64} << 20) / (sizeof(ulong) * std::max<std::size_t>(1, values.size())));
    if (form.power == 0) {
        if (!expand(evaluate, parts.forced, parts.undecided, 0, total, floor, leaves, max_terms, budget)) return false;
    } else {
        for (int k : parts.in_s) {
            std::vector<int> forced = parts.forced;
            forced.push_back(k);
            if (!budget.spend(1) || !expand(evaluate, forced, parts.undecided, 0, evaluate.value(forced, parts.undecided),
                                            floor, leaves, max_terms, budget))
                return false;
        }
    }
    exact::Rational coefficient, term;
    for (const Leaf& leaf : leaves) {
        if (!evaluate.coefficient(leaf.forced, coefficient.get())) return false;
        if (fmpq_is_zero(coefficient.get())) continue;
        std::vector<ulong> exponents(values.size(), 0);
        fmpq_set(term.get(), coefficient.get());
        for (int k : leaf.forced) {
            const int symbol = form.target.pieces[static_cast<std::size_t>(k)].symbol;
            ++exponents[static_cast<std::size_t>(symbol)];
            fmpq_mul(term.get(), term.get(), values[static_cast<std::size_t>(symbol)].get());
        }
        fmpq_add(out.sum.get(), out.sum.get(), term.get());
        out.exponents.push_back(std::move(exponents));
        out.coefficients.push_back(coefficient);
    }
    return !out.coefficients.empty();
}

// The terms with every symbol written as the one same gives it, like terms combined and
// those that cancel dropped; the values are equal, so the sum is too.
Terms merged_terms(const Terms& all, const std::vector<std::size_t>& same) {
    Terms out;
    fmpq_set(out.sum.get(), all.sum.get());
    std::map<std::vector<ulong>, std::size_t> where;
    for (std::size_t t = 0; t < all.exponents.size(); ++t) {
        std::vector<ulong> exponents(same.size(), 0);
        for (std::size_t s = 0; s < same.size(); ++s) exponents[same[s]] += all.exponents[t][s];
        const auto [at, fresh] = where.emplace(exponents, out.exponents.size());
        if (fresh) {
            out.exponents.push_back(std::move(exponents));
            out.coefficients.push_back(all.coefficients[t]);
        } else {
            fmpq_add(out.coefficients[at->second].get(), out.coefficients[at->second].get(), all.coefficients[t].get());
        }
    }
    for (std::size_t t = out.coefficients.size(); t-- > 0;)
        if (fmpq_is_zero(out.coefficients[t].get())) {
            out.coefficients.erase(out.coefficients.begin() + static_cast<long>(t));
            out.exponents.erase(out.exponents.begin() + static_cast<long>(t));
        }
    return out;
}

// Each term's value at the netlist values.
std::vector<Real> term_sizes(const Terms& all, const std::vector<exact::Rational>& values) {
    std::vector<Real> size(all.coefficients.size());
    for (std::size_t i = 0; i < size.size(); ++i) {
        Real v = to_real(all.coefficients[i].get());
        for (std::size_t s = 0; s < values.size(); ++s)
            for (ulong e = 0; e < all.exponents[i][s]; ++e) v *= to_real(values[s].get());
        size[i] = v;
    }
    return size;
}

// The terms of all that keep says, with their exact sum.
Terms kept_terms(const Terms& all, const std::vector<bool>& keep, const std::vector<exact::Rational>& values) {
    Terms out;
    exact::Rational term;
    for (std::size_t i = 0; i < keep.size(); ++i) {
        if (!keep[i]) continue;
        out.exponents.push_back(all.exponents[i]);
        out.coefficients.push_back(all.coefficients[i]);
        fmpq_set(term.get(), all.coefficients[i].get());
        for (std::size_t s = 0; s < values.size(); ++s)
            for (ulong e = 0; e < all.exponents[i][s]; ++e) fmpq_mul(term.get(), term.get(), values[s].get());
        fmpq_add(out.sum.get(), out.sum.get(), term.get());
    }
    return out;
}

// Terms of either side dropped one at a time, smallest first, while the ratio stays
// within the tolerance: a term of one side may go with one of the other whose change
// cancels its own, which trimming each side alone cannot see. The sums are followed in
// long double with a margin; the caller checks the result exactly.
void greedy_trim(const Terms& top, const Terms& bottom, const std::vector<exact::Rational>& values, Real want,
                 Real allowed, std::vector<bool>& keep_top, std::vector<bool>& keep_bottom) {
    const std::vector<Real> top_size = term_sizes(top, values), bottom_size = term_sizes(bottom, values);
    keep_top.assign(top_size.size(), true);
    keep_bottom.assign(bottom_size.size(), true);
    Real t = 0, b = 0;
    for (Real v : top_size) t += v;
    for (Real v : bottom_size) b += v;
    struct Candidate {
        bool in_top;
        std::size_t index;
        Real size;
    };
    std::vector<Candidate> order;
    for (std::size_t i = 0; i < top_size.size(); ++i) order.push_back({true, i, top_size[i]});
    for (std::size_t i = 0; i < bottom_size.size(); ++i) order.push_back({false, i, bottom_size[i]});
    std::stable_sort(order.begin(), order.end(),
                     [](const Candidate& x, const Candidate& y) { return std::fabs(x.size) < std::fabs(y.size); });
    std::size_t top_left = top_size.size(), bottom_left = bottom_size.size();
    // Passes until nothing more can go: a term that could not go alone may once another has.
    for (bool dropped = true; dropped;) {
        dropped = false;
        for (const Candidate& c : order) {
            std::vector<bool>& keep = c.in_top ? keep_top : keep_bottom;
            if (!keep[c.index] || (c.in_top ? top_left : bottom_left) == 1) continue;
            const Real nt = c.in_top ? t - c.size : t, nb = c.in_top ? b : b - c.size;
            if (nb == 0 || !(std::fabs(nt / nb / want - 1) <= allowed)) continue;
            keep[c.index] = false;
            t = nt;
            b = nb;
            --(c.in_top ? top_left : bottom_left);
            dropped = true;
        }
    }
}

// The fewest of the largest terms whose sum is within share (relative) of the whole.
Terms largest_terms(const Terms& all, const std::vector<exact::Rational>& values, double share) {
    const std::vector<Real> size = term_sizes(all, values);
    std::vector<std::size_t> order(size.size());
    for (std::size_t i = 0; i < size.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return std::fabs(size[a]) > std::fabs(size[b]); });
    const Real whole = to_real(all.sum.get());
    std::vector<bool> keep(size.size(), false);
    Real kept = 0;
    bool any = false;
    for (std::size_t i : order) {
        if (any && std::fabs(whole - kept) <= static_cast<Real>(share) * std::fabs(whole)) break;
        kept += size[i];
        keep[i] = any = true;
    }
    return kept_terms(all, keep, values);  // the formula's text sorts its terms: order is free
}

// top/bottom in text, resistors as resistances.
std::string ratio_text(const Terms& top, const Terms& bottom, int sign, const NestedResult& result, long& top_terms,
                       long& bottom_terms, std::vector<std::size_t>& held) {
    const std::size_t symbols = result.symbols.symbols.size();
    std::vector<ulong> most(symbols, 0);
    for (const Terms* side : {&top, &bottom})
        for (const auto& e : side->exponents)
            for (std::size_t s = 0; s < symbols; ++s) most[s] = std::max(most[s], e[s]);
    const MpolyContext& ctx = *result.ctx;
    auto poly = [&](const Terms& side) {
        Mpoly p(ctx);
        std::vector<ulong> exponents(symbols + 1, 0);
        for (std::size_t t = 0; t < side.exponents.size(); ++t) {
            for (std::size_t s = 0; s < symbols; ++s)
                exponents[s + 1] = result.symbols.symbols[s].resistance ? most[s] - side.exponents[t][s] : side.exponents[t][s];
            fmpz_mpoly_push_term_fmpz_ui(p.get(), fmpq_numref(side.coefficients[t].get()), exponents.data(), ctx.get());
        }
        fmpz_mpoly_sort_terms(p.get(), ctx.get());
        fmpz_mpoly_combine_like_terms(p.get(), ctx.get());
        return p;
    };
    Mpoly t = poly(top), b = poly(bottom);
    if (sign < 0) fmpz_mpoly_neg(t.get(), t.get(), ctx.get());
    const RatioText text = ratio_text(std::move(t), std::move(b), symbol_names(result.symbols));
    top_terms = text.top_terms;
    bottom_terms = text.bottom_terms;
    held = text.symbols;
    return text.text;
}

// The ratio top/bottom (times sign) simplified within tolerance of exact (a rational).
std::optional<SimplifiedRatio> simplify(const Form& top, const Form& bottom, int sign, const fmpq* exact,
                                        const std::vector<exact::Rational>& values, double tolerance,
                                        const NestedResult& result, const std::vector<std::size_t>& same) {
    const Real want = to_real(exact);
    if (want == 0) return std::nullopt;
    std::vector<Choice> choice(values.size(), Choice::undecided);
    Budget budget(top.target.n);
    auto error = [&]() -> Real {
        const Real t = value(top, choice, budget), b = value(bottom, choice, budget);
        if (budget.left < 0) return std::numeric_limits<Real>::infinity();
        if (t == 0 || b == 0) return std::numeric_limits<Real>::infinity();
        return std::fabs(sign * t / b / want - 1);
    };
    // The method's own reading of the circuit must give the exact ratio.
    if (!(error() <= 1e-9L)) return std::nullopt;
    const Real allowed = static_cast<Real>(tolerance) * (1 - 1e-6L);

    std::vector<bool> in_s(values.size(), false), present(values.size(), false);
    for (const Form* form : {&top, &bottom})
        for (const Piece& p : form->target.pieces) {
            (p.power == 0 ? present : in_s)[static_cast<std::size_t>(p.symbol)] = true;
        }
    // Symbols are tried in the order of the least change they make, twice over: an
    // element that mattered may stop mattering once others are decided.
    for (int pass = 0; pass < 3; ++pass) {
        struct Option {
            std::size_t symbol;
            Real change;
        };
        std::vector<Option> order;
        for (std::size_t s = 0; s < values.size(); ++s) {
            if (choice[s] != Choice::undecided || !(present[s] || in_s[s])) continue;
            Real best = std::numeric_limits<Real>::infinity();
            for (Choice c : {Choice::removed, Choice::forced}) {
                if (c == Choice::forced && in_s[s]) continue;  // an element in s stays one
                choice[s] = c;
                best = std::min(best, error());
            }
            choice[s] = Choice::undecided;
            if (best <= allowed) order.push_back({s, best});
        }
        std::stable_sort(order.begin(), order.end(), [](const Option& a, const Option& b) { return a.change < b.change; });
        bool decided = false;
        for (const Option& o : order) {
            Choice best_choice = Choice::undecided;
            Real best = std::numeric_limits<Real>::infinity();
            for (Choice c : {Choice::removed, Choice::forced}) {
                if (c == Choice::forced && in_s[o.symbol]) continue;
                choice[o.symbol] = c;
                const Real e = error();
                if (e < best) {
                    best = e;
                    best_choice = c;
                }
            }
            choice[o.symbol] = best <= allowed ? best_choice : Choice::undecided;
            decided = decided || best <= allowed;
        }
        if (!decided) break;
    }

    Terms whole_top, whole_bottom;
    if (budget.left < 0 || !terms_of(top, choice, values, whole_top, budget) ||
        !terms_of(bottom, choice, values, whole_bottom, budget))
        return std::nullopt;
    if (!same.empty()) {
        whole_top = merged_terms(whole_top, same);
        whole_bottom = merged_terms(whole_bottom, same);
    }
    // Then the smallest of the remaining terms go too, each side within a share of what
    // the tolerance leaves, halved until the ratio is within it exactly.
    exact::Rational ratio, change;
    auto ratio_error = [&](const Terms& t, const Terms& b) {
        fmpq_div(ratio.get(), t.sum.get(), b.sum.get());
        if (sign < 0) fmpq_neg(ratio.get(), ratio.get());
        fmpq_div(change.get(), ratio.get(), exact);
        fmpz_sub(fmpq_numref(change.get()), fmpq_numref(change.get()), fmpq_denref(change.get()));
        fmpq_abs(change.get(), change.get());
        return fmpq_is_zero(change.get()) ? 0.0 : std::nextafter(static_cast<double>(to_real(change.get())), 2.0);
    };
    Terms t = whole_top, b = whole_bottom;
    double reached = ratio_error(t, b);
    if (reached > tolerance) return std::nullopt;
    for (double share = tolerance; share > 1e-12; share /= 1.5) {
        Terms small_top = largest_terms(whole_top, values, share), small_bottom = largest_terms(whole_bottom, values, share);
        const double e = ratio_error(small_top, small_bottom);
        if (e <= tolerance) {
            t = std::move(small_top);
            b = std::move(small_bottom);
            reached = e;
            break;
        }
    }
    // Then, from the whole sets, the terms of either side that can go together.
    for (Real margin : {1e-6L, 1e-3L, 1e-1L}) {
        std::vector<bool> keep_top, keep_bottom;
        greedy_trim(whole_top, whole_bottom, values, sign * to_real(exact), static_cast<Real>(tolerance) * (1 - margin),
                    keep_top, keep_bottom);
        Terms greedy_top = kept_terms(whole_top, keep_top, values), greedy_bottom = kept_terms(whole_bottom, keep_bottom, values);
        if (greedy_top.coefficients.size() + greedy_bottom.coefficients.size() >= t.coefficients.size() + b.coefficients.size())
            break;
        const double e = ratio_error(greedy_top, greedy_bottom);
        if (e <= tolerance) {
            t = std::move(greedy_top);
            b = std::move(greedy_bottom);
            reached = e;
            break;
        }
    }
    ratio_error(t, b);  // leaves ratio at the kept terms' value
    SimplifiedRatio out;
    out.error = reached;
    out.formula = ratio_text(t, b, sign, result, out.top_terms, out.bottom_terms, out.symbols);
    out.value = static_cast<double>(to_real(ratio.get()));
    return out;
}

long lowest_power(const exact::IntPoly& p) {
    for (long i = 0; i <= p.degree(); ++i)
        if (!fmpz_is_zero(p.get()->coeffs + i)) return i;
    return -1;
}

}  // namespace

std::vector<GainAndPole> simplified_gains_and_pole(const NestedResult& result, const std::vector<exact::Rational>& values,
                                                  const std::vector<int>& variables, double tolerance,
                                                  const std::vector<std::size_t>& same) {
    FpFlagsGuard keep_flags;  // ratios of values that vanish are skipped, not faults
    std::vector<GainAndPole> out(variables.size());
    if (tolerance <= 0) return out;
    const GraphValues at = evaluate_at_values(result.graph, result.system, result.symbols);
    const long b = lowest_power(at.determinant);
    if (b < 0 || b > 1) return out;
    Form det, det_next;
    if (!build_target(result.system, -1, values, det.target)) return out;
    det.power = static_cast<int>(b);
    exact::Rational exact;
    // The pole is the determinant's alone: simplified once, the same for every variable.
    std::optional<SimplifiedRatio> pole;
    if (b == 0 && at.determinant.degree() >= 1) {
        det_next.target = det.target;
        det_next.power = 1;
        fmpz_poly_get_coeff_fmpz(fmpq_numref(exact.get()), at.determinant.get(), 0);
        fmpz_poly_get_coeff_fmpz(fmpq_denref(exact.get()), at.determinant.get(), 1);
        if (!fmpz_is_zero(fmpq_denref(exact.get()))) {
            fmpq_canonicalise(exact.get());
            fmpq_neg(exact.get(), exact.get());
            pole = simplify(det, det_next, -1, exact.get(), values, tolerance, result, same);
        }
    }
    for (std::size_t i = 0; i < variables.size(); ++i) {
        const int variable = variables[i];
        const long a = lowest_power(at.numerators[static_cast<std::size_t>(variable) - 1]);
        // X(s) = N(s) / (s det A): the gain is finite and not zero when N has one power of
        // s more than det A at the bottom; with as many (a step's response), s X(s) at
        // s = 0, the final value, is.
        out[i].final_value = a == b;
        out[i].pole = pole;
        Form numerator;
        if ((a == b + 1 || a == b) && a <= 1 && build_target(result.system, variable - 1, values, numerator.target)) {
            numerator.power = static_cast<int>(a);
            fmpz_poly_get_coeff_fmpz(fmpq_numref(exact.get()), at.numerators[static_cast<std::size_t>(variable) - 1].get(), a);
            fmpz_poly_get_coeff_fmpz(fmpq_denref(exact.get()), at.determinant.get(), b);
            fmpq_canonicalise(exact.get());
            out[i].gain = simplify(numerator, det, 1, exact.get(), values, tolerance, result, same);
        }
    }
    return out;
}

GainAndPole simplified_gain_and_pole(const NestedResult& result, const std::vector<exact::Rational>& values,
                                     int variable, double tolerance) {
    return simplified_gains_and_pole(result, values, {variable}, tolerance).front();
}

}  // namespace quorvat::symbolic
