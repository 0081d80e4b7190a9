#include "symbolic/minor_expansion.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>

#include "engine/limits.h"

namespace quorvat::symbolic {

namespace {

using Mask = std::uint32_t;  // a set of rows
static_assert(max_variables <= 32, "a row set is a 32-bit mask");

using MinorTable = std::unordered_map<Mask, Mpoly>;

Mask bit(int row) { return Mask{1} << row; }

// 1-based position of row in the increasing list of the rows of set (row in set).
int position(Mask set, int row) { return std::popcount(set & (bit(row) - 1)) + 1; }

// Keeps every polynomial and all the stored minors within the limits.
class Budget {
public:
    explicit Budget(long limit) : limit_(limit) {}
    // A product or a running sum may pass the limit before cancellations bring the
    // sum back under it, by at most as much again.
    void before_product(const Mpoly& a, const Mpoly& b) const {
        if (static_cast<double>(a.length()) * static_cast<double>(b.length()) > 2.0 * static_cast<double>(limit_))
            throw TooLarge(limit_);
    }
    void partial(const Mpoly& p) const {
        if (p.length() > 2 * limit_) throw TooLarge(limit_);
    }
    void result(const Mpoly& p) const {
        if (p.length() > limit_) throw TooLarge(limit_);
    }
    void store(const MinorTable& table) {
        for (const auto& entry : table) stored_ += entry.second.length();
        if (stored_ > 2 * limit_) throw TooLarge(limit_);
    }
    void release(const MinorTable& table) {
        for (const auto& entry : table) stored_ -= entry.second.length();
    }
    // The numerators are kept to the end: together they stay within the limit.
    void keep(const Mpoly& p) {
        kept_ += p.length();
        if (kept_ > limit_) throw TooLarge(limit_);
    }

private:
    long limit_;
    long stored_ = 0;
    long kept_ = 0;
};

// target += sign * a * b
void add_product(Mpoly& target, int sign, const Mpoly& a, const Mpoly& b, Mpoly& scratch, const Budget& budget) {
    budget.before_product(a, b);
    fmpz_mpoly_mul(scratch.get(), a.get(), b.get(), a.ctx());
    if (sign > 0)
        fmpz_mpoly_add(target.get(), target.get(), scratch.get(), a.ctx());
    else
        fmpz_mpoly_sub(target.get(), target.get(), scratch.get(), a.ctx());
    budget.partial(target);
}

void drop_zeros(MinorTable& table, const Budget& budget) {
    for (auto it = table.begin(); it != table.end();) {
        if (it->second.is_zero()) {
            it = table.erase(it);
        } else {
            budget.result(it->second);
            ++it;
        }
    }
}

class Expansion {
public:
    Expansion(const SymbolicSystem& system, const MpolyContext& ctx, long limit)
        : system_(system), ctx_(ctx), n_(system.n), budget_(limit), scratch_(ctx) {
        std::vector<unsigned> pattern(n_, 0);
        for (int r = 0; r < n_; ++r) {
            for (int c = 0; c < n_; ++c)
                if (!system.at(r, c).is_zero()) pattern[r] |= 1u << c;
            if (!system.b[r].is_zero()) sources_ |= bit(r);
        }
        order_ = column_order(pattern, n_);
        // Pruning: a row whose last non-zero column comes at position j must be among
        // the rows of every minor of the first j columns, and a row whose first comes
        // after position j among those of the trailing columns. Rows of the right-hand
        // side may take its column anywhere, so they are never forced.
        closed_.assign(n_ + 1, 0);
        unstarted_.assign(n_ + 1, 0);
        for (int r = 0; r < n_; ++r) {
            if (sources_ & bit(r)) continue;
            int first = n_ + 1, last = 0;
            for (int j = 1; j <= n_; ++j)
                if (pattern[r] & (1u << order_[j - 1])) {
                    first = std::min(first, j);
                    last = j;
                }
            for (int j = 0; j <= n_; ++j) {
                if (last <= j) closed_[j] |= bit(r);
                if (first > j) unstarted_[j] |= bit(r);
            }
        }
    }

    CramerSolution solve(const std::vector<int>& wanted) {
        std::vector<bool> wanted_position(n_ + 1, false);  // position j: the column order_[j-1]
        for (int j = 1; j <= n_; ++j)
            for (int k : wanted)
                if (order_[j - 1] == k) wanted_position[j] = true;

        // Trailing minors, kept for the positions whose numerators are wanted.
        std::vector<MinorTable> right(n_ + 1);
        right[n_].emplace(0, one());
        for (int j = n_ - 1; j >= 1; --j) {
            bool needed_below = false;
            for (int i = 1; i <= j; ++i) needed_below = needed_below || wanted_position[i];
            if (!needed_below) break;
            right[j] = extend_right(right[j + 1], j);
            budget_.store(right[j]);
            if (!wanted_position[j + 1] && j + 1 < n_) {
                budget_.release(right[j + 1]);
                right[j + 1].clear();
            }
        }

        CramerSolution solution{zero(), std::vector<std::optional<Mpoly>>(n_)};
        MinorTable left;
        left.emplace(0, one());
        for (int j = 1; j <= n_; ++j) {
            if (wanted_position[j]) {
                solution.numerators[order_[j - 1]] = numerator(left, right[j], j);
                budget_.keep(*solution.numerators[order_[j - 1]]);
            }
            MinorTable next = extend_left(left, j);
            budget_.release(left);
            budget_.store(next);
            left = std::move(next);
            if (wanted_position[j]) {
                budget_.release(right[j]);
                right[j].clear();
            }
        }
        auto full = left.find(n_ == 0 ? 0 : static_cast<Mask>((std::uint64_t{1} << n_) - 1));
        solution.determinant = full == left.end() ? zero() : full->second;
        if (n_ == 0) fmpz_mpoly_one(solution.determinant.get(), ctx_.get());
        return solution;
    }

private:
    Mpoly one() const {
        Mpoly p(ctx_);
        fmpz_mpoly_one(p.get(), ctx_.get());
        return p;
    }
    Mpoly zero() const { return Mpoly(ctx_); }

    // Minors of the first j columns from those of the first j - 1, expanded along column j.
    MinorTable extend_left(const MinorTable& previous, int j) {
        const int column = order_[j - 1];
        MinorTable next;
        for (const auto& [rows, minor] : previous)
            for (int r = 0; r < n_; ++r) {
                if ((rows & bit(r)) || system_.at(r, column).is_zero()) continue;
                Mask grown = rows | bit(r);
                if ((grown & closed_[j]) != closed_[j]) continue;
                int sign = (position(grown, r) + j) % 2 == 0 ? 1 : -1;
                auto [it, added] = next.try_emplace(grown, ctx_);
                add_product(it->second, sign, system_.at(r, column), minor, scratch_, budget_);
            }
        drop_zeros(next, budget_);
        return next;
    }

    // Minors of the columns after position j from those after j + 1, expanded along the
    // column at position j + 1, the first of them.
    MinorTable extend_right(const MinorTable& previous, int j) {
        const int column = order_[j];
        MinorTable next;
        for (const auto& [rows, minor] : previous)
            for (int r = 0; r < n_; ++r) {
                if ((rows & bit(r)) || system_.at(r, column).is_zero()) continue;
                Mask grown = rows | bit(r);
                if ((grown & unstarted_[j]) != unstarted_[j]) continue;
                int sign = position(grown, r) % 2 == 1 ? 1 : -1;
                auto [it, added] = next.try_emplace(grown, ctx_);
                add_product(it->second, sign, system_.at(r, column), minor, scratch_, budget_);
            }
        drop_zeros(next, budget_);
        return next;
    }

    // det of A with the column at position j replaced by b: the minors of the first j
    // columns with b as the last, joined to the complementary trailing minors by the
    // generalised Laplace expansion.
    Mpoly numerator(const MinorTable& left, const MinorTable& right, int j) {
        MinorTable with_b;
        for (const auto& [rows, minor] : left)
            for (int r = 0; r < n_; ++r) {
                if ((rows & bit(r)) || !(sources_ & bit(r))) continue;
                Mask grown = rows | bit(r);
                int sign = (position(grown, r) + j) % 2 == 0 ? 1 : -1;
                auto [it, added] = with_b.try_emplace(grown, ctx_);
                add_product(it->second, sign, system_.b[r], minor, scratch_, budget_);
            }
        drop_zeros(with_b, budget_);
        const Mask all = static_cast<Mask>((std::uint64_t{1} << n_) - 1);
        Mpoly sum = zero();
        for (const auto& [rows, minor] : with_b) {
            auto complement = right.find(all & ~rows);
            if (complement == right.end()) continue;
            int row_sum = 0;
            for (int r = 0; r < n_; ++r)
                if (rows & bit(r)) row_sum += r + 1;
            int sign = (row_sum + j * (j + 1) / 2) % 2 == 0 ? 1 : -1;
            add_product(sum, sign, minor, complement->second, scratch_, budget_);
            budget_.result(sum);
        }
        return sum;
    }

    const SymbolicSystem& system_;
    const MpolyContext& ctx_;
    int n_;
    Budget budget_;
    Mpoly scratch_;
    Mask sources_ = 0;
    std::vector<int> order_;
    std::vector<Mask> closed_, unstarted_;
};

}  // namespace

std::vector<int> column_order(const std::vector<unsigned>& row_columns, int n) {
    const unsigned all = n == 0 ? 0u : static_cast<unsigned>((std::uint64_t{1} << n) - 1);
    auto frontier = [&](unsigned placed) {
        int count = 0;
        for (unsigned columns : row_columns)
            if ((columns & placed) && (columns & all & ~placed)) ++count;
        return count;
    };
    std::vector<int> best;
    double best_cost = std::numeric_limits<double>::infinity();
    for (int start = 0; start < n; ++start) {
        std::vector<int> order{start};
        unsigned placed = 1u << start;
        double cost = std::ldexp(1.0, frontier(placed));
        while (static_cast<int>(order.size()) < n) {
            int choice = -1, choice_frontier = 0;
            for (int c = 0; c < n; ++c) {
                if (placed & (1u << c)) continue;
                int f = frontier(placed | (1u << c));
                if (choice < 0 || f < choice_frontier) {
                    choice = c;
                    choice_frontier = f;
                }
            }
            order.push_back(choice);
            placed |= 1u << choice;
            cost += std::ldexp(1.0, choice_frontier);
        }
        if (cost < best_cost) {
            best_cost = cost;
            best = order;
        }
    }
    return best;
}

CramerSolution cramer_by_minors(const SymbolicSystem& system, const std::vector<int>& wanted,
                                const MpolyContext& ctx, long term_limit) {
    Expansion expansion(system, ctx, term_limit);
    return expansion.solve(wanted);
}

}  // namespace quorvat::symbolic
