#include "symbolic/element_expansion.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <queue>
#include <utility>

#include "symbolic/element_stamps.h"

namespace quorvat::symbolic {

namespace {

using namespace stamps;

struct Branch {
    std::vector<int> forced;
    std::size_t next = 0;  // the stamps of power 0 before it are decided
    Real value = 0;
    bool operator<(const Branch& other) const { return std::fabs(value) < std::fabs(other.value); }
};

// Every choice of count of the stamps in s (at most limit of them).
void choices(std::size_t from, std::size_t total, long count, std::vector<int>& chosen,
             std::vector<std::vector<int>>& out, std::size_t limit) {
    if (out.size() > limit) return;
    if (count == 0) {
        out.push_back(chosen);
        return;
    }
    for (std::size_t i = from; i + static_cast<std::size_t>(count) <= total; ++i) {
        chosen.push_back(static_cast<int>(i));
        choices(i + 1, total, count - 1, chosen, out, limit);
        chosen.pop_back();
    }
}

}  // namespace

std::optional<ElementExpansion> element_dominant_terms(const SymbolicSystem& system,
                                                       const std::vector<exact::Rational>& values, int column,
                                                       long power, const fmpq* exact, double tolerance,
                                                       long max_branches) {
    if (fmpq_is_zero(exact) || power < 0 || power > 3) return std::nullopt;
    Target target;
    if (!build_target(system, column, values, target)) return std::nullopt;
    std::vector<int> in_s, constant;
    for (std::size_t k = 0; k < target.pieces.size(); ++k)
        (target.pieces[k].power == 1 ? in_s : constant).push_back(static_cast<int>(k));
    // The largest stamps first: their removal is then the small branch, left for later.
    std::stable_sort(constant.begin(), constant.end(), [&](int a, int b) {
        return std::fabs(target.pieces[static_cast<std::size_t>(a)].value) >
               std::fabs(target.pieces[static_cast<std::size_t>(b)].value);
    });
    std::vector<std::vector<int>> picks;
    std::vector<int> chosen;
    choices(0, in_s.size(), power, chosen, picks, 20'000);
    if (picks.size() > 20'000) return std::nullopt;

    const Evaluator evaluate(target);
    const Real want = to_real(exact);
    auto undecided = [&](std::size_t next) { return std::vector<int>(constant.begin() + static_cast<long>(next), constant.end()); };
    std::priority_queue<Branch> open;
    Real total = 0;
    long branches = 0;
    for (const std::vector<int>& pick : picks) {
        Branch b;
        for (int i : pick) b.forced.push_back(in_s[static_cast<std::size_t>(i)]);
        b.value = evaluate.value(b.forced, undecided(0));
        ++branches;
        total += b.value;
        if (b.value != 0) open.push(std::move(b));
    }
    // The graph orders its columns its own way: the two determinants agree up to sign.
    int sign = 0;
    if (std::fabs(total - want) <= 1e-6L * std::fabs(want)) sign = 1;
    if (std::fabs(total + want) <= 1e-6L * std::fabs(want)) sign = -1;
    if (sign == 0) return std::nullopt;

    ElementExpansion out;
    std::vector<Real> kept_values;
    Real kept = 0;
    exact::Rational sum, term, bound;
    fmpq_abs(bound.get(), exact);
    exact::Rational allowed;
    exact::set_from_double(allowed.get(), tolerance);
    fmpq_mul(bound.get(), bound.get(), allowed.get());
    // Branches this small are rounding, or terms no tolerance above zero would keep.
    const Real negligible = tolerance > 0 ? 1e-15L * std::fabs(want) : 0;
    const long affordable = affordable_branches(target.n, max_branches);
    while (!open.empty() && branches < affordable) {
        Branch b = open.top();
        open.pop();
        if (b.next == constant.size()) {
            ElementTerm t;
            t.exponents.assign(values.size(), 0);
            for (int k : b.forced) ++t.exponents[static_cast<std::size_t>(target.pieces[static_cast<std::size_t>(k)].symbol)];
            if (!evaluate.coefficient(b.forced, t.coefficient.get())) return std::nullopt;
            if (fmpq_is_zero(t.coefficient.get())) continue;  // a branch that only rounding made
            if (sign < 0) fmpq_neg(t.coefficient.get(), t.coefficient.get());
            fmpq_set(term.get(), t.coefficient.get());
            Real value = to_real(t.coefficient.get());
            for (std::size_t v = 0; v < values.size(); ++v)
                for (ulong e = 0; e < t.exponents[v]; ++e) {
                    fmpq_mul(term.get(), term.get(), values[v].get());
                    value *= to_real(values[v].get());
                }
            fmpq_add(sum.get(), sum.get(), term.get());
            kept += value;
            out.terms.push_back(std::move(t));
            kept_values.push_back(value);
            // Rounding aside, the sum is close enough: the exact check decides.
            if (std::fabs(want - kept) <= (static_cast<Real>(tolerance) + 1e-12L) * std::fabs(want)) {
                exact::Rational error;
                fmpq_sub(error.get(), exact, sum.get());
                fmpq_abs(error.get(), error.get());
                if (fmpq_cmp(error.get(), bound.get()) <= 0) {
                    // Largest first, as they are written.
                    std::vector<std::size_t> order(out.terms.size());
                    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
                    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t c) {
                        return std::fabs(kept_values[a]) > std::fabs(kept_values[c]);
                    });
                    ElementExpansion sorted;
                    sorted.branches = branches;
                    for (std::size_t i : order) sorted.terms.push_back(std::move(out.terms[i]));
                    return sorted;
                }
            }
            continue;
        }
        // det = det(stamp removed) + x * det(stamp forced): one determinant gives both.
        Branch removed{b.forced, b.next + 1, 0};
        removed.value = evaluate.value(removed.forced, undecided(removed.next));
        ++branches;
        Branch forced{b.forced, b.next + 1, b.value - removed.value};
        forced.forced.push_back(constant[b.next]);
        if (std::fabs(removed.value) > negligible) open.push(std::move(removed));
        if (std::fabs(forced.value) > negligible) open.push(std::move(forced));
    }
    return std::nullopt;
}

}  // namespace quorvat::symbolic
