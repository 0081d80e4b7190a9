#include "symbolic/nested_solver.h"

#include "symbolic/graph_values.h"

namespace quorvat::symbolic {

NestedResult solve_nested_system(SymbolicSystem system, SymbolTable symbols, std::unique_ptr<MpolyContext> ctx,
                                 const std::vector<int>& wanted, NumeratorForm form, long item_limit) {
    NestedResult result;
    result.item_limit = item_limit;
    result.symbols = std::move(symbols);
    result.ctx = std::move(ctx);
    result.system = std::move(system);
    result.variables = wanted;
    std::vector<int> columns;
    for (int k : wanted) columns.push_back(k - 1);
    try {
        result.graph = build_minor_graph(result.system, columns, form, item_limit);
    } catch (const TooLarge&) {
        result.status = NestedResult::Status::too_large;
        return result;
    }
    if (determinant_vanishes(result.graph, result.system)) result.status = NestedResult::Status::singular;
    return result;
}

NestedResult solve_nested(const EngineTables& tables, const SymbolChoice& choice, const std::vector<int>& wanted,
                          NumeratorForm form, long item_limit) {
    SymbolTable symbols = choose_symbols(tables, choice);
    auto ctx = std::make_unique<MpolyContext>(1 + static_cast<slong>(symbols.symbols.size()));
    SymbolicSystem system = assemble_symbolic(tables, symbols, *ctx);
    return solve_nested_system(std::move(system), std::move(symbols), std::move(ctx), wanted, form, item_limit);
}

int first_nested_difference(const NestedResult& result, const exact::ExactSolution& exact) {
    GraphValues values = evaluate_at_values(result.graph, result.system, result.symbols);
    if (values.determinant.is_zero()) return -1;
    exact::IntPoly denominator, left, right;
    fmpz_poly_shift_left(denominator.get(), values.determinant.get(), 1);
    for (int k : result.variables) {
        const exact::RationalFunction& f = exact.variables[static_cast<std::size_t>(k) - 1];
        fmpz_poly_mul(left.get(), values.numerators[static_cast<std::size_t>(k) - 1].get(), f.denominator.get());
        fmpz_poly_mul(right.get(), f.numerator.get(), denominator.get());
        if (!fmpz_poly_equal(left.get(), right.get())) return k;
    }
    return 0;
}

}  // namespace quorvat::symbolic
