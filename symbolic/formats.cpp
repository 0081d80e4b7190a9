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

std::vector<FunctionView> function_views(const SymbolicResult& result, const std::vector<std::string>& names,
                                         int node_count, bool integer_form) {
    std::vector<FunctionView> views;
    fmpz_t divisor;
    fmpz_init(divisor);
    for (const SymbolicFunction& f : result.functions) {
        if (integer_form)
            fmpz_one(divisor);
        else
            display_divisor(f.denominator, divisor);
        views.push_back({f.variable, to_utf8(names[f.variable]), f.variable > node_count, view_of(f.numerator, divisor),
                         view_of(f.denominator, divisor)});
    }
    fmpz_clear(divisor);
    return views;
}

std::vector<std::string> symbol_names(const SymbolTable& symbols) {
    std::vector<std::string> names;
    for (const Symbol& symbol : symbols.symbols) names.push_back(to_utf8(symbol.name));
    return names;
}

std::string variable_label(const FunctionView& f) { return (f.current ? "I(" : "V(") + f.name + ")"; }

std::string write_functions(SymbolicFormat format, const SymbolicResult& result, const std::vector<std::string>& names,
                            int node_count) {
    std::vector<std::string> symbols = symbol_names(result.symbols);
    std::vector<FunctionView> views = function_views(result, names, node_count, format == SymbolicFormat::json);
    switch (format) {
        case SymbolicFormat::latex:
            return write_latex(views, symbols);
        case SymbolicFormat::python:
            return write_python(views, symbols);
        case SymbolicFormat::json:
            return write_json(views, symbols);
        case SymbolicFormat::text:
            break;
    }
    return write_text(views, symbols);
}

}  // namespace quorvat::symbolic
