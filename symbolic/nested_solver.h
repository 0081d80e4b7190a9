// Network functions in the element symbols as programs of shared subexpressions: the
// graph of minors of the symbolic system, never multiplied out, with X_k(s) =
// N_k / (s det A) in its nodes. Exact; checked by evaluating the graph at the netlist
// values and comparing with the exact numeric solution.
#pragma once

#include <memory>
#include <vector>

#include "engine/tables.h"
#include "exact/exact_solver.h"
#include "symbolic/minor_graph.h"
#include "symbolic/symbols.h"

namespace quorvat::symbolic {

/// Items (products) a graph may hold: about 60 MB with its keys while it is made.
constexpr long nested_item_limit = 2'000'000;

struct NestedResult {
    enum class Status { solved, singular, too_large };
    Status status = Status::solved;
    long item_limit = 0;
    SymbolTable symbols;
    std::unique_ptr<MpolyContext> ctx;
    SymbolicSystem system;    // a resistor's symbol stands here for its conductance
    MinorGraph graph;
    std::vector<int> variables;  // the wanted variables, 1-based
};

/// The graph of the circuit in tables (read and numbered) for the wanted variables.
/// singular when det A vanishes for every value of the symbols; too_large when the graph
/// would pass item_limit. Throws FloatingPointFault for a numeric resistor of 0 ohms.
NestedResult solve_nested(const EngineTables& tables, const SymbolChoice& choice, const std::vector<int>& wanted,
                          NumeratorForm form = NumeratorForm::joined, long item_limit = nested_item_limit);

/// The same from a symbolic system made elsewhere (ctx owns its polynomials' context).
NestedResult solve_nested_system(SymbolicSystem system, SymbolTable symbols, std::unique_ptr<MpolyContext> ctx,
                                 const std::vector<int>& wanted, NumeratorForm form = NumeratorForm::joined,
                                 long item_limit = nested_item_limit);

/// 0 when every function at the symbols' values is exactly the solution of the exact
/// system of tables (stamped independently by exact/); else the first variable that
/// differs; -1 when det A vanishes at the values.
int first_nested_difference(const NestedResult& result, const EngineTables& tables);

}  // namespace quorvat::symbolic
