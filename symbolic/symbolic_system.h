// The assembled system A(s) x = b(s) with entries that are polynomials in s and in the
// element symbols: the engine's stamp rules applied with symbols in place of the values
// of the symbolic elements. A resistor's symbol stands here for its conductance.
#pragma once

#include <vector>

#include "engine/stamp_rules.h"
#include "engine/tables.h"
#include "exact/flint_handles.h"
#include "symbolic/mpoly.h"
#include "symbolic/symbols.h"

namespace quorvat::symbolic {

/// A square system with integer polynomial entries: a is n x n row by row, b has n
/// entries; index 0 is variable 1.
struct SymbolicSystem {
    int n = 0;
    std::vector<Mpoly> a;
    std::vector<Mpoly> b;
    std::vector<exact::Rational> row_scale;  // the positive integer that made row r integral
    const Mpoly& at(int row, int column) const { return a[static_cast<std::size_t>(row) * n + column]; }
};

/// The stamp target: every entry is a sum of terms c * s^power * symbol (or c * s^power)
/// with exact rational c. The numeric values are the exact binary fractions of the doubles.
class SymbolicPencil {
public:
    SymbolicPencil(const EngineTables& tables, const SymbolTable& symbols);
    /// The element whose stamp is being added: it tells which symbol its terms carry.
    void set_element(int index) { element_ = index; }
    void add(int row, int column, int power, int sign, const StampTerm& term);

    /// Each row of [A | b] scaled by the least common multiple of its denominators: an
    /// integer system with the same solution.
    SymbolicSystem to_integers(const MpolyContext& ctx) const;

private:
    struct Term {
        int power;
        int symbol;  // -1: a number
        exact::Rational coefficient;
    };
    std::vector<Term>& entry(int row, int column) {
        return entries_[(static_cast<std::size_t>(row) - 1) * (n_ + 1) + (column - 1)];
    }
    const SymbolTable& symbols_;
    int n_;
    int element_ = 0;
    std::vector<std::vector<Term>> entries_;
};

/// The symbolic system of the circuit in tables.
SymbolicSystem assemble_symbolic(const EngineTables& tables, const SymbolTable& symbols, const MpolyContext& ctx);

}  // namespace quorvat::symbolic
