#include "symbolic/minor_expansion.h"

namespace quorvat::symbolic {

namespace {

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
    void store(const Mpoly& p) {
        stored_ += p.length();
        if (stored_ > 2 * limit_) throw TooLarge(limit_);
    }
    void release(const Mpoly& p) { stored_ -= p.length(); }
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

}  // namespace

CramerSolution cramer_by_minors(const SymbolicSystem& system, const std::vector<int>& wanted,
                                const MpolyContext& ctx, long term_limit) {
    const MinorGraph graph = build_minor_graph(system, wanted, NumeratorForm::joined, 2 * term_limit);
    const std::size_t count = graph.nodes.size();
    // Parents still to be made, per node; the roots are kept to the end.
    std::vector<int> pending(count, 0);
    std::vector<bool> root(count, false);
    if (graph.determinant >= 0) root[graph.determinant] = true;
    for (int k : graph.numerators)
        if (k >= 0) root[k] = true;
    for (const GraphNode& node : graph.nodes)
        for (const GraphItem& item : node.items) {
            ++pending[item.child];
            if (item.second >= 0) ++pending[item.second];
        }

    Budget budget(term_limit);
    std::vector<std::optional<Mpoly>> value(count);
    value[0].emplace(ctx);
    fmpz_mpoly_one(value[0]->get(), ctx.get());
    Mpoly scratch(ctx);
    auto done_with = [&](int child) {
        if (--pending[child] == 0 && !root[child] && child != 0) {
            budget.release(*value[child]);
            value[child].reset();
        }
    };
    for (std::size_t i = 1; i < count; ++i) {
        Mpoly sum(ctx);
        for (const GraphItem& item : graph.nodes[i].items) {
            const Mpoly& child = *value[item.child];
            if (!child.is_zero()) {
                if (item.second >= 0) {
                    add_product(sum, item.sign, child, *value[item.second], scratch, budget);
                } else {
                    const Mpoly& entry = item.column == system.n ? system.b[item.row] : system.at(item.row, item.column);
                    add_product(sum, item.sign, entry, child, scratch, budget);
                }
            }
            done_with(item.child);
            if (item.second >= 0) done_with(item.second);
        }
        budget.result(sum);
        budget.store(sum);
        value[i] = std::move(sum);
    }

    CramerSolution solution{Mpoly(ctx), std::vector<std::optional<Mpoly>>(static_cast<std::size_t>(system.n))};
    if (graph.determinant >= 0) solution.determinant = *value[graph.determinant];
    for (int k : wanted) {
        solution.numerators[k].emplace(ctx);
        if (graph.numerators[k] >= 0) *solution.numerators[k] = *value[graph.numerators[k]];
        budget.keep(*solution.numerators[k]);
    }
    return solution;
}

}  // namespace quorvat::symbolic
