#include "symbolic/element_expansion.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <queue>
#include <utility>

#include <Eigen/Dense>
#include <flint/fmpq_mat.h>

namespace quorvat::symbolic {

namespace {

using Real = long double;  // products of many element values

Real to_real(const fmpz_t z) {
    slong exponent = 0;
    const double mantissa = fmpz_get_d_2exp(&exponent, z);
    return std::ldexp(static_cast<Real>(mantissa), static_cast<int>(exponent));
}

Real to_real(const fmpq* q) { return to_real(fmpq_numref(q)) / to_real(fmpq_denref(q)); }

using Entry = std::pair<int, int>;  // row, column

// One stamp x * s^power * u v^T of a symbol.
struct Piece {
    int symbol = 0;
    int power = 0;
    std::vector<std::pair<int, exact::Rational>> u, v;
    Real value = 0;  // x at the values
};

// The matrix whose determinant is expanded: numbers plus the symbols' stamps.
struct Target {
    int n = 0;
    std::map<Entry, exact::Rational> numbers;
    std::vector<Piece> pieces;
};

// The stamps of one symbol and power as u v^T; false when they are not of rank one.
bool factor(const std::map<Entry, exact::Rational>& entries, Piece& piece) {
    const auto& [first, pivot] = *entries.begin();
    exact::Rational ratio;
    for (const auto& [at, c] : entries) {
        if (at.second == first.second) piece.u.emplace_back(at.first, c);
        if (at.first == first.first) {
            fmpq_div(ratio.get(), c.get(), pivot.get());
            piece.v.emplace_back(at.second, ratio);
        }
    }
    if (piece.u.size() * piece.v.size() != entries.size()) return false;
    exact::Rational product;
    for (const auto& [r, ur] : piece.u)
        for (const auto& [c, vc] : piece.v) {
            auto found = entries.find({r, c});
            fmpq_mul(product.get(), ur.get(), vc.get());
            if (found == entries.end() || !fmpq_equal(found->second.get(), product.get())) return false;
        }
    return true;
}

// A, or A with the column replaced by b, split into numbers and stamps.
bool build_target(const SymbolicSystem& system, int column, const std::vector<exact::Rational>& values, Target& out) {
    out.n = system.n;
    std::map<std::pair<int, int>, std::map<Entry, exact::Rational>> stamps;  // (symbol, power) -> entries
    fmpz_t c;
    fmpz_init(c);
    bool ok = true;
    for (int r = 0; r < system.n && ok; ++r)
        for (int col = 0; col < system.n && ok; ++col) {
            const Mpoly& e = col == column ? system.b[static_cast<std::size_t>(r)] : system.at(r, col);
            std::vector<ulong> exponents(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(e.ctx())));
            for (slong t = 0; t < e.length() && ok; ++t) {
                fmpz_mpoly_get_term_exp_ui(exponents.data(), e.get(), t, e.ctx());
                fmpz_mpoly_get_term_coeff_fmpz(c, e.get(), t, e.ctx());
                int symbol = -1, count = 0;
                for (std::size_t v = 1; v < exponents.size(); ++v)
                    if (exponents[v] != 0) {
                        symbol = static_cast<int>(v) - 1;
                        count += static_cast<int>(exponents[v]);
                    }
                exact::Rational value;
                fmpz_set(fmpq_numref(value.get()), c);
                fmpz_one(fmpq_denref(value.get()));
                if (count == 0 && exponents[0] == 0) {
                    fmpq_add(out.numbers[{r, col}].get(), out.numbers[{r, col}].get(), value.get());
                } else if (count == 1 && exponents[0] <= 1) {
                    exact::Rational& slot = stamps[{symbol, static_cast<int>(exponents[0])}][{r, col}];
                    fmpq_add(slot.get(), slot.get(), value.get());
                } else {
                    ok = false;  // a number in s, or a product of symbols
                }
            }
        }
    fmpz_clear(c);
    if (!ok) return false;
    for (auto& [key, entries] : stamps) {
        for (auto it = entries.begin(); it != entries.end();) it = fmpq_is_zero(it->second.get()) ? entries.erase(it) : std::next(it);
        if (entries.empty()) continue;
        Piece piece;
        piece.symbol = key.first;
        piece.power = key.second;
        piece.value = to_real(values[static_cast<std::size_t>(key.first)].get());
        if (!factor(entries, piece)) return false;
        out.pieces.push_back(std::move(piece));
    }
    return true;
}

// The determinant of the numbers plus the undecided stamps at their values, bordered by
// the forced stamps, times the forced symbols' values.
class Evaluator {
public:
    explicit Evaluator(const Target& target) : target_(target) {}

    Real value(const std::vector<int>& forced, const std::vector<int>& undecided) const {
        const int n = target_.n;
        const int m = n + static_cast<int>(forced.size());
        Eigen::MatrixXd b = Eigen::MatrixXd::Zero(m, m);
        for (const auto& [at, c] : target_.numbers) b(at.first, at.second) += static_cast<double>(to_real(c.get()));
        for (int k : undecided) {
            const Piece& p = target_.pieces[static_cast<std::size_t>(k)];
            for (const auto& [r, ur] : p.u)
                for (const auto& [col, vc] : p.v)
                    b(r, col) += static_cast<double>(p.value * to_real(ur.get()) * to_real(vc.get()));
        }
        Real scale = 1;
        for (std::size_t i = 0; i < forced.size(); ++i) {
            const Piece& p = target_.pieces[static_cast<std::size_t>(forced[i])];
            const int border = n + static_cast<int>(i);
            for (const auto& [r, ur] : p.u) b(r, border) = static_cast<double>(to_real(ur.get()));
            for (const auto& [col, vc] : p.v) b(border, col) = -static_cast<double>(to_real(vc.get()));
            scale *= p.value;
        }
        // Rows and columns brought to unit size, so that the pivots' product stays in range.
        for (int i = 0; i < m; ++i) {
            const double size = b.row(i).cwiseAbs().maxCoeff();
            if (size == 0) return 0;
            b.row(i) /= size;
            scale *= size;
        }
        for (int j = 0; j < m; ++j) {
            const double size = b.col(j).cwiseAbs().maxCoeff();
            if (size == 0) return 0;
            b.col(j) /= size;
            scale *= size;
        }
        Eigen::PartialPivLU<Eigen::MatrixXd> lu(b);
        Real det = lu.permutationP().determinant();
        for (int i = 0; i < m; ++i) det *= lu.matrixLU()(i, i);
        return det * scale;
    }

    // The exact integer coefficient of the term whose forced stamps are forced and whose
    // others are all removed.
    bool coefficient(const std::vector<int>& forced, fmpq* out) const {
        const int n = target_.n;
        const int m = n + static_cast<int>(forced.size());
        fmpq_mat_t b;
        fmpq_mat_init(b, m, m);
        for (const auto& [at, c] : target_.numbers) fmpq_set(fmpq_mat_entry(b, at.first, at.second), c.get());
        for (std::size_t i = 0; i < forced.size(); ++i) {
            const Piece& p = target_.pieces[static_cast<std::size_t>(forced[i])];
            const slong border = n + static_cast<slong>(i);
            for (const auto& [r, ur] : p.u) fmpq_set(fmpq_mat_entry(b, r, border), ur.get());
            for (const auto& [col, vc] : p.v) fmpq_neg(fmpq_mat_entry(b, border, col), vc.get());
        }
        fmpq_mat_det(out, b);
        fmpq_mat_clear(b);
        return fmpz_is_one(fmpq_denref(out));
    }

private:
    const Target& target_;
};

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
    while (!open.empty() && branches < max_branches) {
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
