// The graph of minors at numbers: exactly at the netlist values (integer polynomials in
// s), and modulo a prime at random points (whether the determinant vanishes identically).
#pragma once

#include <vector>

#include "exact/flint_handles.h"
#include "symbolic/minor_graph.h"
#include "symbolic/symbols.h"

namespace quorvat::symbolic {

/// The determinant and the numerators of graph at the symbols' values, exactly: integer
/// polynomials in s, all multiplied by one common positive factor.
struct GraphValues {
    exact::IntPoly determinant;
    std::vector<exact::IntPoly> numerators;  // by variable 0..n-1 (zero where not in the graph)
    exact::Rational factor;                  // the common factor (a positive integer)
};

GraphValues evaluate_at_values(const MinorGraph& graph, const SymbolicSystem& system, const SymbolTable& symbols);

/// The exact value of symbol i in the system: a resistor's conductance, else its value.
void symbol_value(const SymbolTable& symbols, std::size_t i, fmpq* value);

/// Every symbol's exact value, in the table's order.
std::vector<exact::Rational> symbol_values(const SymbolTable& symbols);

/// Whether det A vanishes as a polynomial in s and the symbols: its value at two random
/// points modulo 62-bit primes (wrong with a probability far below 1e-15).
bool determinant_vanishes(const MinorGraph& graph, const SymbolicSystem& system);

}  // namespace quorvat::symbolic
