#include "symbolic/nested_solver.h"

#include "exact/exact_system.h"
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

int first_nested_difference(const NestedResult& result, const EngineTables& tables) {
    // Every variable's numerator from a graph of all of them, checked against the exact
    // system stamped independently (exact/): A x = b with x_j = N_j / det, row by row.
    const int n = result.system.n;
    std::vector<int> all(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) all[k] = k;
    const MinorGraph full = build_minor_graph(result.system, all, NumeratorForm::joined, 4 * result.item_limit);
    GraphValues checked = evaluate_at_values(full, result.system, result.symbols);
    if (checked.determinant.is_zero()) return -1;
    exact::RationalPencil pencil = exact::assemble_exact(tables);
    fmpz_poly_mat_t a, b;
    fmpz_poly_mat_init(a, n, n);
    fmpz_poly_mat_init(b, n, 1);
    pencil.to_integers(a, b);
    exact::IntPoly sum, product;
    int wrong_row = 0;
    for (int i = 0; i < n && wrong_row == 0; ++i) {
        fmpz_poly_mul(sum.get(), fmpz_poly_mat_entry(b, i, 0), checked.determinant.get());
        fmpz_poly_neg(sum.get(), sum.get());
        for (int j = 0; j < n; ++j) {
            const fmpz_poly_struct* entry = fmpz_poly_mat_entry(a, i, j);
            if (fmpz_poly_is_zero(entry)) continue;
            fmpz_poly_mul(product.get(), entry, checked.numerators[j].get());
            fmpz_poly_add(sum.get(), sum.get(), product.get());
        }
        if (!sum.is_zero()) wrong_row = i + 1;
    }
    fmpz_poly_mat_clear(a);
    fmpz_poly_mat_clear(b);
    if (wrong_row != 0) return result.variables.empty() ? 1 : result.variables.front();
    // The graph written must give the same functions.
    GraphValues shown = evaluate_at_values(result.graph, result.system, result.symbols);
    exact::IntPoly left, right;
    for (int k : result.variables) {
        fmpz_poly_mul(left.get(), shown.numerators[static_cast<std::size_t>(k) - 1].get(), checked.determinant.get());
        fmpz_poly_mul(right.get(), checked.numerators[static_cast<std::size_t>(k) - 1].get(), shown.determinant.get());
        if (!fmpz_poly_equal(left.get(), right.get())) return k;
    }
    return 0;
}

}  // namespace quorvat::symbolic
