// The symbolic result written as text, LaTeX, Python (sympy) or JSON.
#pragma once

#include <string>
#include <vector>

#include "symbolic/symbolic_solver.h"
#include "symbolic/term_view.h"

namespace quorvat::symbolic {

enum class SymbolicFormat { text, latex, python, json };

/// "texto", "latex", "python" or "json"; false for anything else.
bool parse_symbolic_format(const std::string& word, SymbolicFormat& format);

/// One written function: the variable and its two polynomials, laid out.
struct FunctionView {
    int variable;       // 1-based
    std::string name;   // the variable's name (UTF-8)
    bool current;       // an extra current (else a node voltage)
    PolyView numerator;
    PolyView denominator;
};

/// The views of result's functions. names holds every variable's name by index (0 is
/// ground); variables above node_count are currents. Text, LaTeX and Python divide both
/// polynomials by display_divisor; JSON keeps the integers (integer_form).
std::vector<FunctionView> function_views(const SymbolicResult& result, const std::vector<std::string>& names,
                                         int node_count, bool integer_form);

/// The symbol names as written (UTF-8), by symbol index.
std::vector<std::string> symbol_names(const SymbolTable& symbols);

std::string write_text(const std::vector<FunctionView>& functions, const std::vector<std::string>& symbols);
std::string write_latex(const std::vector<FunctionView>& functions, const std::vector<std::string>& symbols);
std::string write_python(const std::vector<FunctionView>& functions, const std::vector<std::string>& symbols);
std::string write_json(const std::vector<FunctionView>& functions, const std::vector<std::string>& symbols);

/// The result in the format.
std::string write_functions(SymbolicFormat format, const SymbolicResult& result, const std::vector<std::string>& names,
                            int node_count);

/// "V(name)" for a node voltage, "I(name)" for an extra current.
std::string variable_label(const FunctionView& f);

}  // namespace quorvat::symbolic
