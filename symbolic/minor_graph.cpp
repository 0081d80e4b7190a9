#include "symbolic/minor_graph.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "symbolic/row_set.h"

namespace quorvat::symbolic {

namespace {

// The minors of one stage, in the order they were made (so that node numbers do not
// depend on hashing).
class Table {
public:
    // The node of rows, made by make() when new.
    template <class Make>
    int node(const RowSet& rows, Make make) {
        auto [it, added] = index_.try_emplace(rows, entries_.size());
        if (added) entries_.emplace_back(rows, make());
        return entries_[it->second].second;
    }
    int find(const RowSet& rows) const {
        auto it = index_.find(rows);
        return it == index_.end() ? -1 : entries_[it->second].second;
    }
    const std::vector<std::pair<RowSet, int>>& entries() const { return entries_; }

private:
    std::vector<std::pair<RowSet, int>> entries_;
    std::unordered_map<RowSet, std::size_t, RowSetHash> index_;
};

class Builder {
public:
    Builder(const SymbolicSystem& system, long item_limit) : n_(system.n), limit_(item_limit) {
        column_rows_.resize(static_cast<std::size_t>(n_) + 1);  // column n: b
        std::vector<std::vector<int>> row_columns(static_cast<std::size_t>(n_));
        for (int r = 0; r < n_; ++r) {
            for (int c = 0; c < n_; ++c)
                if (!system.at(r, c).is_zero()) {
                    row_columns[r].push_back(c);
                    column_rows_[c].push_back(r);
                }
            if (!system.b[r].is_zero()) column_rows_[n_].push_back(r);
        }
        graph_.n = n_;
        graph_.order = column_order(row_columns, n_);
        graph_.nodes.emplace_back();  // the constant 1
        std::vector<int> position(static_cast<std::size_t>(n_));
        for (int j = 1; j <= n_; ++j) position[graph_.order[j - 1]] = j;
        // Pruning: a row whose last non-zero column comes at position j must be among the
        // rows of every minor of the first j columns, and a row whose first comes after
        // position j among those of the trailing columns. Rows of the right-hand side may
        // take its column anywhere, so they are never forced.
        closed_.assign(static_cast<std::size_t>(n_) + 1, RowSet(n_));
        unstarted_.assign(static_cast<std::size_t>(n_) + 1, RowSet(n_));
        std::vector<bool> source(static_cast<std::size_t>(n_), false);
        for (int r : column_rows_[n_]) source[r] = true;
        for (int r = 0; r < n_; ++r) {
            if (source[r]) continue;
            int first = n_ + 1, last = 0;
            for (int c : row_columns[r]) {
                first = std::min(first, position[c]);
                last = std::max(last, position[c]);
            }
            for (int j = 0; j <= n_; ++j) {
                if (last <= j) closed_[j].insert(r);
                if (first > j) unstarted_[j].insert(r);
            }
        }
    }

    MinorGraph build(const std::vector<int>& wanted, NumeratorForm form) {
        std::vector<bool> wanted_position(static_cast<std::size_t>(n_) + 1, false);
        for (int k : wanted)
            if (k >= 0 && k < n_) {
                for (int j = 1; j <= n_; ++j)
                    if (graph_.order[j - 1] == k) wanted_position[j] = true;
            }
        graph_.numerators.assign(static_cast<std::size_t>(n_), -1);

        // Trailing minors, for the joined numerators.
        std::vector<Table> right(static_cast<std::size_t>(n_) + 1);
        if (form == NumeratorForm::joined && n_ > 0) {
            int lowest = n_ + 1;
            for (int j = 1; j <= n_; ++j)
                if (wanted_position[j]) lowest = std::min(lowest, j);
            right[n_].node(RowSet(n_), [] { return 0; });
            for (int j = n_ - 1; j >= lowest; --j) right[j] = extend(right[j + 1], graph_.order[j], j, false);
        }

        Table left;
        left.node(RowSet(n_), [] { return 0; });
        for (int j = 1; j <= n_; ++j) {
            if (wanted_position[j]) {
                const int k = graph_.order[j - 1];
                Table with_b = extend(left, n_, j, true, false);
                if (form == NumeratorForm::joined) {
                    graph_.numerators[k] = join(with_b, right[j], j);
                } else {
                    for (int next = j + 1; next <= n_; ++next) with_b = extend(with_b, graph_.order[next - 1], next, true);
                    graph_.numerators[k] = with_b.find(RowSet(n_).complement(n_));
                }
            }
            left = extend(left, graph_.order[j - 1], j, true);
        }
        graph_.determinant = n_ == 0 ? 0 : left.find(RowSet(n_).complement(n_));
        prune();
        return std::move(graph_);
    }

private:
    int new_node() {
        graph_.nodes.emplace_back();
        return static_cast<int>(graph_.nodes.size()) - 1;
    }
    void add_item(int node, const GraphItem& item) {
        if (++items_ > limit_) throw TooLarge(limit_);
        graph_.nodes[node].items.push_back(item);
    }

    // Minors of the first j columns from those of the first j - 1, expanded along
    // column (at position j), or of the columns after position j from those after
    // j + 1, expanded along the column at position j + 1 (leading false).
    Table extend(const Table& previous, int column, int j, bool leading, bool prune = true) {
        Table next;
        for (const auto& [rows, node] : previous.entries())
            for (int r : column_rows_[column]) {
                if (rows.has(r)) continue;
                RowSet grown = rows.with(r);
                if (prune && !grown.contains(leading ? closed_[j] : unstarted_[j])) continue;
                const int place = grown.position(r);
                const int sign = leading ? ((place + j) % 2 == 0 ? 1 : -1) : (place % 2 == 1 ? 1 : -1);
                const int target = next.node(grown, [&] { return new_node(); });
                add_item(target, {sign, r, column, node});
            }
        return next;
    }

    // det of A with the column at position j replaced by b: the minors of the first j
    // columns with b as the last, joined to the complementary trailing minors by the
    // generalised Laplace expansion.
    int join(const Table& with_b, const Table& right, int j) {
        int numerator = -1;
        for (const auto& [rows, node] : with_b.entries()) {
            const int complement = right.find(rows.complement(n_));
            if (complement < 0) continue;
            const long sum = rows.row_sum() + static_cast<long>(j) * (j + 1) / 2;
            if (numerator < 0) numerator = new_node();
            add_item(numerator, {sum % 2 == 0 ? 1 : -1, -1, -1, node, complement});
        }
        return numerator;
    }

    // Keeps only the nodes that the roots reach, renumbered in the same order.
    void prune() {
        std::vector<GraphNode>& nodes = graph_.nodes;
        std::vector<int> renumbered(nodes.size(), -1);
        std::vector<bool> reached(nodes.size(), false);
        reached[0] = true;
        if (graph_.determinant >= 0) reached[graph_.determinant] = true;
        for (int k : graph_.numerators)
            if (k >= 0) reached[k] = true;
        for (std::size_t i = nodes.size(); i-- > 1;) {
            if (!reached[i]) continue;
            for (const GraphItem& item : nodes[i].items) {
                reached[item.child] = true;
                if (item.second >= 0) reached[item.second] = true;
            }
        }
        std::size_t kept = 0;
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (!reached[i]) continue;
            renumbered[i] = static_cast<int>(kept);
            for (GraphItem& item : nodes[i].items) {
                item.child = renumbered[item.child];
                if (item.second >= 0) item.second = renumbered[item.second];
            }
            if (kept != i) nodes[kept] = std::move(nodes[i]);
            ++kept;
        }
        nodes.resize(kept);
        if (graph_.determinant >= 0) graph_.determinant = renumbered[graph_.determinant];
        for (int& k : graph_.numerators)
            if (k >= 0) k = renumbered[k];
    }

    int n_;
    long limit_;
    long items_ = 0;
    MinorGraph graph_;
    std::vector<std::vector<int>> column_rows_;
    std::vector<RowSet> closed_, unstarted_;
};

}  // namespace

long MinorGraph::item_count() const {
    long count = 0;
    for (const GraphNode& node : nodes) count += static_cast<long>(node.items.size());
    return count;
}

MinorGraph build_minor_graph(const SymbolicSystem& system, const std::vector<int>& wanted, NumeratorForm form,
                             long item_limit) {
    return Builder(system, item_limit).build(wanted, form);
}

std::vector<int> column_order(const std::vector<std::vector<int>>& row_columns, int n) {
    std::vector<std::vector<int>> column_rows(static_cast<std::size_t>(n));
    std::vector<int> total(row_columns.size());
    long nonzeros = 0;
    for (std::size_t r = 0; r < row_columns.size(); ++r) {
        for (int c : row_columns[r]) column_rows[c].push_back(static_cast<int>(r));
        total[r] = static_cast<int>(row_columns[r].size());
        nonzeros += total[r];
    }
    // The frontier: rows with some of their columns placed and some not. Every start
    // costs n steps over all the non-zeros; large systems try fewer starts, evenly spread.
    const double work = std::max(1.0, static_cast<double>(n) * static_cast<double>(nonzeros + n));
    const int starts = static_cast<int>(std::clamp(4e7 / work, 1.0, static_cast<double>(std::max(n, 1))));
    std::vector<int> best;
    double best_cost = std::numeric_limits<double>::infinity();
    std::vector<int> placed_count(row_columns.size());
    std::vector<bool> placed(static_cast<std::size_t>(n));
    for (int attempt = 0; attempt < starts && n > 0; ++attempt) {
        const int start = static_cast<int>(static_cast<long>(attempt) * n / starts);
        std::fill(placed_count.begin(), placed_count.end(), 0);
        std::fill(placed.begin(), placed.end(), false);
        int frontier = 0;
        auto change = [&](int c) {
            int delta = 0;
            for (int r : column_rows[c]) delta += (placed_count[r] == 0) - (placed_count[r] + 1 == total[r]);
            return delta;
        };
        auto place = [&](int c) {
            frontier += change(c);
            placed[c] = true;
            for (int r : column_rows[c]) ++placed_count[r];
        };
        std::vector<int> order{start};
        place(start);
        double cost = std::ldexp(1.0, frontier);
        while (static_cast<int>(order.size()) < n) {
            int choice = -1, choice_delta = 0;
            for (int c = 0; c < n; ++c) {
                if (placed[c]) continue;
                const int delta = change(c);
                if (choice < 0 || delta < choice_delta) {
                    choice = c;
                    choice_delta = delta;
                }
            }
            order.push_back(choice);
            place(choice);
            cost += std::ldexp(1.0, frontier);
        }
        if (best.empty() || cost < best_cost) {
            best_cost = cost;
            best = std::move(order);
        }
    }
    return best;
}

}  // namespace quorvat::symbolic
