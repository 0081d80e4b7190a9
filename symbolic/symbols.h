// Which elements enter a symbolic analysis as symbols, and under which names.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/tables.h"

namespace quorvat::symbolic {

/// The choice of the command line: every element with a value symbolic, only the
/// listed ones, or all but the listed ones (those keep their numeric values).
struct SymbolChoice {
    enum class Mode { all, only_listed, all_but_listed };
    Mode mode = Mode::all;
    std::set<std::string> names;  // element names as stored (first letter upper case)
};

struct Symbol {
    std::string name;  // the element's name; "M_" and the name for a coupling K
    double value;      // its value in the netlist (a resistor's resistance, a K's M)
    bool resistance;   // a resistor: computed as its conductance, written as resistance
};

struct SymbolTable {
    std::vector<Symbol> symbols;       // symbol i is variable i + 1 of the polynomials
    std::vector<int> element_symbol;   // by element index (1-based): symbol index or -1
};

/// Whether an element of this kind has a value that can be a symbol (O has none).
bool has_value(char kind);

/// The symbols of the circuit in tables, in netlist order. An element whose stored name
/// repeats an earlier one's gets a suffix "_2", "_3"... so that every symbol is distinct.
SymbolTable choose_symbols(const EngineTables& tables, const SymbolChoice& choice);

/// The names of the choice that match no element with a value.
std::vector<std::string> unknown_names(const EngineTables& tables, const SymbolChoice& choice);

}  // namespace quorvat::symbolic
