#include "symbolic/formats.h"

#include "engine/text.h"

namespace quorvat::symbolic {

bool parse_symbolic_format(const std::string& word, SymbolicFormat& format) {
    if (word == "texto") format = SymbolicFormat::text;
    else if (word == "latex") format = SymbolicFormat::latex;
    else if (word == "python") format = SymbolicFormat::python;
    else if (word == "json") format = SymbolicFormat::json;
    else return false;
    return true;
}

FunctionView function_view(const SymbolicFunction& f, const std::vector<std::string>& names, int node_count,
                           bool integer_form) {
    fmpz_t divisor;
    fmpz_init(divisor);
    if (integer_form)
        fmpz_one(divisor);
    else
        display_divisor(f.denominator, divisor);
    FunctionView view{f.variable, to_utf8(names[f.variable]), f.variable > node_count, view_of(f.numerator, divisor),
                      view_of(f.denominator, divisor)};
    fmpz_clear(divisor);
    return view;
}

std::vector<std::string> symbol_names(const SymbolTable& symbols) {
    std::vector<std::string> names;
    for (const Symbol& symbol : symbols.symbols) names.push_back(to_utf8(symbol.name));
    return names;
}

std::string variable_label(const FunctionView& f) { return (f.current ? "I(" : "V(") + f.name + ")"; }

void write_functions(std::ostream& out, SymbolicFormat format, const SymbolicResult& result,
                     const std::vector<std::string>& names, int node_count) {
    std::vector<std::string> symbols = symbol_names(result.symbols);
    const bool integers = format == SymbolicFormat::json;
    ViewSource view = [&](std::size_t i) { return function_view(result.functions[i], names, node_count, integers); };
    const std::size_t count = result.functions.size();
    switch (format) {
        case SymbolicFormat::latex:
            return write_latex(out, symbols, count, view);
        case SymbolicFormat::python:
            return write_python(out, symbols, count, view);
        case SymbolicFormat::json:
            return write_json(out, symbols, count, view);
        case SymbolicFormat::text:
            break;
    }
    write_text(out, symbols, count, view);
}

}  // namespace quorvat::symbolic
