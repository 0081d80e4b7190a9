#include "symbolic/graph_values.h"

#include <random>

#include <flint/nmod_vec.h>
#include <flint/ulong_extras.h>

namespace quorvat::symbolic {

namespace {

// Parents still to be made, per node: a node's value is freed after its last parent.
std::vector<int> parent_counts(const MinorGraph& graph) {
    std::vector<int> pending(graph.nodes.size(), 0);
    for (const GraphNode& node : graph.nodes)
        for (const GraphItem& item : node.items) {
            ++pending[item.child];
            if (item.second >= 0) ++pending[item.second];
        }
    if (graph.determinant >= 0) ++pending[graph.determinant];
    for (int k : graph.numerators)
        if (k >= 0) ++pending[k];
    return pending;
}

std::size_t entry_index(int n, int row, int column) {
    return static_cast<std::size_t>(row) * (static_cast<std::size_t>(n) + 1) + static_cast<std::size_t>(column);
}

}  // namespace

void symbol_value(const SymbolTable& symbols, std::size_t i, fmpq* value) {
    exact::set_from_double(value, symbols.symbols[i].value);
    if (symbols.symbols[i].resistance) fmpq_inv(value, value);
}

std::vector<exact::Rational> symbol_values(const SymbolTable& symbols) {
    std::vector<exact::Rational> values(symbols.symbols.size());
    for (std::size_t i = 0; i < values.size(); ++i) symbol_value(symbols, i, values[i].get());
    return values;
}

GraphValues evaluate_at_values(const MinorGraph& graph, const SymbolicSystem& system, const SymbolTable& symbols) {
    const int n = system.n;
    const std::vector<exact::Rational> values = symbol_values(symbols);

    // Every entry at the values, each row scaled by the lcm of its denominators.
    std::vector<exact::IntPoly> entries(static_cast<std::size_t>(n) * (static_cast<std::size_t>(n) + 1));
    std::vector<ulong> exponents;
    fmpz_t coefficient, scale, factor;
    fmpz_init(coefficient);
    fmpz_init(scale);
    fmpz_init(factor);
    exact::Rational term;
    GraphValues result;
    fmpq_one(result.factor.get());
    for (int r = 0; r < n; ++r) {
        std::vector<std::pair<int, std::vector<exact::Rational>>> row;  // column, coefficients by power
        fmpz_one(scale);
        for (int c = 0; c <= n; ++c) {
            const Mpoly& entry = c == n ? system.b[r] : system.at(r, c);
            if (entry.is_zero()) continue;
            const fmpz_mpoly_ctx_struct* ctx = entry.ctx();
            exponents.resize(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx)));
            std::vector<exact::Rational> by_power;
            for (slong t = 0; t < entry.length(); ++t) {
                fmpz_mpoly_get_term_exp_ui(exponents.data(), entry.get(), t, ctx);
                fmpz_mpoly_get_term_coeff_fmpz(coefficient, entry.get(), t, ctx);
                fmpz_set(fmpq_numref(term.get()), coefficient);
                    fmpz_one(fmpq_denref(term.get()));
                for (std::size_t i = 0; i < values.size(); ++i)
                    for (ulong e = 0; e < exponents[i + 1]; ++e) fmpq_mul(term.get(), term.get(), values[i].get());
                if (by_power.size() <= exponents[0]) by_power.resize(exponents[0] + 1);
                fmpq_add(by_power[exponents[0]].get(), by_power[exponents[0]].get(), term.get());
            }
            for (const exact::Rational& q : by_power) fmpz_lcm(scale, scale, fmpq_denref(q.get()));
            row.emplace_back(c, std::move(by_power));
        }
        fmpz_mul(fmpq_numref(result.factor.get()), fmpq_numref(result.factor.get()), scale);
        for (const auto& [c, by_power] : row) {
            exact::IntPoly& target = entries[entry_index(n, r, c)];
            for (std::size_t p = 0; p < by_power.size(); ++p) {
                fmpz_divexact(factor, scale, fmpq_denref(by_power[p].get()));
                fmpz_mul(factor, factor, fmpq_numref(by_power[p].get()));
                fmpz_poly_set_coeff_fmpz(target.get(), static_cast<slong>(p), factor);
            }
        }
    }
    fmpz_clear(coefficient);
    fmpz_clear(scale);
    fmpz_clear(factor);

    std::vector<int> pending = parent_counts(graph);
    std::vector<exact::IntPoly> node_value(graph.nodes.size());
    fmpz_poly_one(node_value[0].get());
    exact::IntPoly product;
    for (std::size_t i = 1; i < graph.nodes.size(); ++i) {
        exact::IntPoly& sum = node_value[i];
        for (const GraphItem& item : graph.nodes[i].items) {
            const exact::IntPoly& other =
                item.second >= 0 ? node_value[item.second] : entries[entry_index(n, item.row, item.column)];
            fmpz_poly_mul(product.get(), other.get(), node_value[item.child].get());
            if (item.sign > 0)
                fmpz_poly_add(sum.get(), sum.get(), product.get());
            else
                fmpz_poly_sub(sum.get(), sum.get(), product.get());
            for (int child : {item.child, item.second})
                if (child > 0 && --pending[child] == 0) node_value[child] = exact::IntPoly();
        }
    }
    if (graph.determinant >= 0) result.determinant = node_value[graph.determinant];
    result.numerators.resize(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k)
        if (graph.numerators[k] >= 0) result.numerators[k] = node_value[graph.numerators[k]];
    return result;
}

bool determinant_vanishes(const MinorGraph& graph, const SymbolicSystem& system) {
    if (graph.determinant < 0) return true;
    std::mt19937_64 random(0x5eed);
    const int n = system.n;
    for (int trial = 0; trial < 2; ++trial) {
        nmod_t mod;
        nmod_init(&mod, n_nextprime((UWORD(1) << 62) + (random() >> 3), 1));
        if (n == 0) return false;
        const fmpz_mpoly_ctx_struct* ctx = system.a[0].ctx();
        std::vector<ulong> point(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx)));
        for (ulong& x : point) x = random() % mod.n;
        std::vector<ulong> value(graph.nodes.size(), 0);
        value[0] = 1;
        std::vector<ulong> entries(static_cast<std::size_t>(n) * (static_cast<std::size_t>(n) + 1), 0);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c <= n; ++c) {
                const Mpoly& entry = c == n ? system.b[r] : system.at(r, c);
                if (!entry.is_zero())
                    entries[entry_index(n, r, c)] = fmpz_mpoly_evaluate_all_nmod(entry.get(), point.data(), ctx, mod);
            }
        for (std::size_t i = 1; i < graph.nodes.size(); ++i) {
            ulong sum = 0;
            for (const GraphItem& item : graph.nodes[i].items) {
                const ulong other =
                    item.second >= 0 ? value[item.second] : entries[entry_index(n, item.row, item.column)];
                const ulong product = nmod_mul(other, value[item.child], mod);
                sum = item.sign > 0 ? nmod_add(sum, product, mod) : nmod_sub(sum, product, mod);
            }
            value[i] = sum;
        }
        if (value[graph.determinant] != 0) return false;
    }
    return true;
}

}  // namespace quorvat::symbolic
