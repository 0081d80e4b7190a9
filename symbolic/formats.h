// The symbolic result written as text, LaTeX, Python (sympy) or JSON.
#pragma once

#include <functional>
#include <ostream>
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

/// The view of one function of result. names holds every variable's name by index (0
/// is ground); variables above node_count are currents. Text, LaTeX and Python divide
/// both polynomials by display_divisor; JSON keeps the integers (integer_form).
FunctionView function_view(const SymbolicFunction& f, const std::vector<std::string>& names, int node_count,
                           bool integer_form);

/// The symbol names as written (UTF-8), by symbol index.
std::vector<std::string> symbol_names(const SymbolTable& symbols);

/// The view of function i, made when it is written: one function's view at a time.
using ViewSource = std::function<FunctionView(std::size_t)>;

void write_text(std::ostream& out, const std::vector<std::string>& symbols, std::size_t count, const ViewSource& view);
void write_latex(std::ostream& out, const std::vector<std::string>& symbols, std::size_t count, const ViewSource& view);
void write_python(std::ostream& out, const std::vector<std::string>& symbols, std::size_t count, const ViewSource& view);
void write_json(std::ostream& out, const std::vector<std::string>& symbols, std::size_t count, const ViewSource& view);

/// The result in the format.
void write_functions(std::ostream& out, SymbolicFormat format, const SymbolicResult& result,
                     const std::vector<std::string>& names, int node_count);

/// p on one line in the text form.
std::string sum_text(const Mpoly& p, const std::vector<std::string>& symbols);

/// A Python string literal of text.
std::string quoted(const std::string& text);

/// The Python names of the symbols: the name itself where it is a free identifier, else
/// its letters and digits with '_' for the rest, made unique and never of the form of
/// the names the Python forms assign (X7, D12).
std::vector<std::string> python_names(const std::vector<std::string>& symbols);

/// The imports and the symbols of a Python text; returns the symbols' Python names.
std::vector<std::string> write_python_header(std::ostream& out, const std::vector<std::string>& symbols);

/// The LaTeX subscript of a name: runs of letters upright, reserved characters escaped.
std::string subscript(const std::string& text);

/// A symbol in LaTeX: its kind letter with the rest of the name as subscript.
std::string latex_symbol(const std::string& name);

/// "V(name)" for a node voltage, "I(name)" for an extra current.
std::string variable_label(const FunctionView& f);

}  // namespace quorvat::symbolic
