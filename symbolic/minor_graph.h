// The expansion of a sparse system's determinant and Cramer numerators by minors, kept
// as a graph of shared subexpressions instead of being multiplied out: every minor is
// one node, a signed sum of products of a matrix entry and lower nodes. On ladders the
// graph grows linearly with the circuit where the flat polynomial grows exponentially.
// Minors of the leading columns are keyed by the set of rows they use, those of the
// trailing columns likewise; a numerator either joins the two across the column that
// the right-hand side replaces (compact), or continues the leading minors with that
// column replaced (a chain: every term is one path down to the constant node).
#pragma once

#include <stdexcept>
#include <vector>

#include "symbolic/symbolic_system.h"

namespace quorvat::symbolic {

/// Thrown when a polynomial or the graph would exceed its limit (terms or items).
class TooLarge : public std::runtime_error {
public:
    explicit TooLarge(long limit) : std::runtime_error("grande demais"), limit_(limit) {}
    long limit() const { return limit_; }

private:
    long limit_;
};

/// sign * entry * child [* second]: entry (row, column) of A, column n for b, or none.
struct GraphItem {
    int sign;         // +1 or -1
    int row;          // -1: no entry factor
    int column;
    int child;        // a lower node; 0 is the constant 1
    int second = -1;  // a second lower node (the joins of the compact numerators)
};

struct GraphNode {
    std::vector<GraphItem> items;
};

struct MinorGraph {
    int n = 0;
    std::vector<GraphNode> nodes;    // node 0 is the constant 1; children precede parents
    int determinant = -1;            // det of A with its columns in the expansion's order; -1: zero
    std::vector<int> numerators;     // by variable 0..n-1: the node of the numerator, -1 when zero or not asked
    std::vector<int> order;          // the column order of the expansion
    long item_count() const;
};

enum class NumeratorForm { joined, chained };

/// The graph of det A and of the numerators of the wanted variables (0-based), every
/// node reachable from them. TooLarge when it would hold more than item_limit items.
MinorGraph build_minor_graph(const SymbolicSystem& system, const std::vector<int>& wanted, NumeratorForm form,
                             long item_limit);

/// The column order that keeps the sets of rows shared by the leading and the trailing
/// columns small (their count bounds the number of minors), for the non-zero pattern
/// given as the columns of every row.
std::vector<int> column_order(const std::vector<std::vector<int>>& row_columns, int n);

}  // namespace quorvat::symbolic
