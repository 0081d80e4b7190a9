// Network functions in the element symbols: each wanted variable's transform
// X_k(s) = x_k(s) / s as a ratio of integer polynomials in s and the symbols, with the
// resistors written through their resistances and common factors cancelled.
#pragma once

#include <memory>
#include <vector>

#include "engine/tables.h"
#include "symbolic/mpoly.h"
#include "symbolic/symbols.h"

namespace quorvat::symbolic {

/// X = numerator / denominator: integer coefficients, no common factor, the
/// denominator's first term (highest power of s) positive; the zero function is 0 / 1.
struct SymbolicFunction {
    int variable;  // 1-based
    Mpoly numerator;
    Mpoly denominator;
};

struct SymbolicResult {
    enum class Status { solved, singular, too_large };
    Status status = Status::solved;
    long term_limit = 0;          // the largest polynomial the computation may hold
    long determinant_terms = 0;   // terms of det A, resistors written as resistances
    SymbolTable symbols;
    std::unique_ptr<MpolyContext> ctx;
    std::vector<SymbolicFunction> functions;  // in the order of the wanted variables
};

/// The term limit for polynomials in this many variables: a million terms, fewer when
/// long exponent vectors would take more than 64 MiB for them.
long term_limit_for(long variables);

/// Solves the circuit in tables (read and numbered) for the wanted variables (1-based).
/// too_large when a polynomial of the computation, or the written result as a whole,
/// would pass the term limit.
/// Throws FloatingPointFault for a numeric resistor of 0 ohms, as the assembly does.
SymbolicResult solve_symbolic(const EngineTables& tables, const SymbolChoice& choice, const std::vector<int>& wanted);

}  // namespace quorvat::symbolic
