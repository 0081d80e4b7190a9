#include "symbolic/dominant_terms.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <map>
#include <numbers>
#include <queue>

#include "symbolic/graph_values.h"

namespace quorvat::symbolic {

namespace {

using Real = long double;  // products of many small element values
constexpr double minus_infinity = -std::numeric_limits<double>::infinity();

Real to_real(const fmpz_t z) {
    slong exponent = 0;
    const double mantissa = fmpz_get_d_2exp(&exponent, z);
    return std::ldexp(static_cast<Real>(mantissa), static_cast<int>(exponent));
}

Real to_real(const fmpq* q) { return to_real(fmpq_numref(q)) / to_real(fmpq_denref(q)); }

// One term of one entry on the way from a node to a child.
struct Edge {
    int child;
    unsigned power;                            // of s
    std::vector<std::pair<int, ulong>> factors;  // (symbol, exponent)
    exact::Rational coefficient;               // the integer coefficient with the item's sign
    Real value;                                // at the values
    double size;                               // log2 |value|
};

struct Term {
    std::vector<ulong> exponents;  // by symbol
    exact::Rational coefficient;   // an integer
};

struct Coefficient {
    std::vector<Term> terms;
    CoefficientReport report;
    Real exact = 0, kept = 0;  // at the values
};

class Search {
public:
    Search(const NestedResult& result, const std::vector<exact::Rational>& values)
        : result_(result), values_(values), symbol_count_(values.size()) {
        const MinorGraph& graph = result.graph;
        edges_.resize(graph.nodes.size());
        std::vector<ulong> exponents(symbol_count_ + 1);
        fmpz_t c;
        fmpz_init(c);
        for (std::size_t i = 1; i < graph.nodes.size(); ++i)
            for (const GraphItem& item : graph.nodes[i].items) {
                const Mpoly& entry =
                    item.column == result.system.n ? result.system.b[item.row] : result.system.at(item.row, item.column);
                for (slong t = 0; t < entry.length(); ++t) {
                    fmpz_mpoly_get_term_exp_ui(exponents.data(), entry.get(), t, entry.ctx());
                    fmpz_mpoly_get_term_coeff_fmpz(c, entry.get(), t, entry.ctx());
                    if (item.sign < 0) fmpz_neg(c, c);
                    Edge edge{item.child, static_cast<unsigned>(exponents[0]), {}, {}, to_real(c), 0.0};
                    fmpz_set(fmpq_numref(edge.coefficient.get()), c);
                    fmpz_one(fmpq_denref(edge.coefficient.get()));
                    for (std::size_t s = 0; s < symbol_count_; ++s)
                        if (exponents[s + 1] != 0) {
                            edge.factors.emplace_back(static_cast<int>(s), exponents[s + 1]);
                            edge.value *= std::pow(to_real(values[s].get()), static_cast<Real>(exponents[s + 1]));
                        }
                    edge.size = edge.value == 0 ? minus_infinity : static_cast<double>(std::log2(std::fabs(edge.value)));
                    edges_[i].push_back(std::move(edge));
                }
            }
        fmpz_clear(c);
        // best_[i][q]: log2 of the largest path from node i down to the constant with s^q.
        best_.resize(graph.nodes.size());
        best_[0] = {0.0};
        for (std::size_t i = 1; i < graph.nodes.size(); ++i) {
            std::vector<double>& best = best_[i];
            for (const Edge& e : edges_[i]) {
                if (e.size == minus_infinity) continue;
                const std::vector<double>& below = best_[e.child];
                if (best.size() < below.size() + e.power) best.resize(below.size() + e.power, minus_infinity);
                for (std::size_t q = 0; q < below.size(); ++q)
                    best[q + e.power] = std::max(best[q + e.power], e.size + below[q]);
            }
        }
    }

    double best(int node, long power) const {
        const std::vector<double>& b = best_[node];
        return power < 0 || power >= static_cast<long>(b.size()) ? minus_infinity : b[power];
    }

    // The terms of s^power of the root, largest first, until they are within allowed of
    // exact (both in the graph's integers).
    Coefficient run(int root, long power, const fmpq* exact, double allowed, long path_limit) {
        Coefficient out;
        out.report.allowed = allowed;
        out.exact = to_real(exact);
        if (fmpq_is_zero(exact) || best(root, power) == minus_infinity) return out;
        exact::Rational tolerance;
        exact::set_from_double(tolerance.get(), allowed);

        struct State {
            int node;
            long remaining;
            double size;
            int parent;
            int edge;
        };
        std::vector<State> states{{root, power, 0.0, -1, -1}};
        using Entry = std::pair<double, int>;
        std::priority_queue<Entry> queue;
        queue.push({best(root, power), 0});
        std::map<std::vector<ulong>, exact::Rational> merged;
        Real sum = 0;
        long next_check = 0;
        const std::size_t state_limit = 40 * static_cast<std::size_t>(path_limit) + 1000;
        while (!queue.empty()) {
            const auto [bound, index] = queue.top();
            queue.pop();
            const State state = states[index];
            if (state.node != 0) {
                for (std::size_t e = 0; e < edges_[state.node].size(); ++e) {
                    const Edge& edge = edges_[state.node][e];
                    const long remaining = state.remaining - static_cast<long>(edge.power);
                    const double below = best(edge.child, remaining);
                    if (edge.size == minus_infinity || below == minus_infinity) continue;
                    states.push_back({edge.child, remaining, state.size + edge.size, index, static_cast<int>(e)});
                    queue.push({state.size + edge.size + below, static_cast<int>(states.size()) - 1});
                }
                if (states.size() > state_limit) {
                    out.report.limited = true;
                    break;
                }
                continue;
            }
            // A whole path: one term of the expansion.
            ++out.report.paths;
            std::vector<ulong> exponents(symbol_count_, 0);
            exact::Rational coefficient;
            fmpq_one(coefficient.get());
            Real value = 1;
            for (int s = index; states[s].parent >= 0; s = states[s].parent) {
                const Edge& edge = edges_[states[states[s].parent].node][states[s].edge];
                fmpq_mul(coefficient.get(), coefficient.get(), edge.coefficient.get());
                for (const auto& [symbol, exponent] : edge.factors) exponents[symbol] += exponent;
                value *= edge.value;
            }
            auto [it, added] = merged.try_emplace(std::move(exponents));
            fmpq_add(it->second.get(), it->second.get(), coefficient.get());
            sum += value;
            // Never stop inside a run of terms of the same size: the two halves of a
            // cancelling pair of the expansion are equal in size.
            const bool tie = !queue.empty() && queue.top().first >= bound - 1e-9 * std::max(1.0, std::fabs(bound));
            if (tie) continue;
            if (std::fabs(out.exact - sum) <= static_cast<Real>(allowed) * std::fabs(out.exact) &&
                out.report.paths >= next_check) {
                if (within(merged, exact, tolerance.get())) break;
                next_check = out.report.paths + 64;
            }
            if (out.report.paths >= path_limit) {
                out.report.limited = true;
                break;
            }
        }
        finish(merged, exact, out);
        return out;
    }

private:
    // The kept terms' exact value at the values.
    void value_of(const std::map<std::vector<ulong>, exact::Rational>& merged, fmpq* total) const {
        fmpq_zero(total);
        exact::Rational term;
        for (const auto& [exponents, coefficient] : merged) {
            fmpq_set(term.get(), coefficient.get());
            for (std::size_t s = 0; s < symbol_count_; ++s)
                for (ulong e = 0; e < exponents[s]; ++e) fmpq_mul(term.get(), term.get(), values_[s].get());
            fmpq_add(total, total, term.get());
        }
    }
    // |exact - kept| <= tolerance |exact|, exactly.
    bool within(const std::map<std::vector<ulong>, exact::Rational>& merged, const fmpq* exact, const fmpq* tolerance) const {
        exact::Rational kept, bound;
        value_of(merged, kept.get());
        fmpq_sub(kept.get(), exact, kept.get());
        fmpq_abs(kept.get(), kept.get());
        fmpq_abs(bound.get(), exact);
        fmpq_mul(bound.get(), bound.get(), tolerance);
        return fmpq_cmp(kept.get(), bound.get()) <= 0;
    }
    void finish(const std::map<std::vector<ulong>, exact::Rational>& merged, const fmpq* exact, Coefficient& out) const {
        for (const auto& [exponents, coefficient] : merged)
            if (!fmpq_is_zero(coefficient.get())) out.terms.push_back({exponents, coefficient});
        out.report.kept = static_cast<long>(out.terms.size());
        exact::Rational kept, error;
        value_of(merged, kept.get());
        out.kept = to_real(kept.get());
        fmpq_sub(error.get(), exact, kept.get());
        fmpq_div(error.get(), error.get(), exact);
        fmpq_abs(error.get(), error.get());
        // Rounded up, so that the stated bound holds.
        out.report.error = std::nextafter(static_cast<double>(to_real(error.get())), 2.0);
        if (fmpq_is_zero(error.get())) out.report.error = 0.0;
    }

    const NestedResult& result_;
    const std::vector<exact::Rational>& values_;
    std::size_t symbol_count_;
    std::vector<std::vector<Edge>> edges_;
    std::vector<std::vector<double>> best_;
};

// The exact coefficients of p divided by factor.
std::vector<exact::Rational> coefficients(const exact::IntPoly& p, const fmpq* factor) {
    std::vector<exact::Rational> out(static_cast<std::size_t>(std::max<long>(p.degree() + 1, 0)));
    for (std::size_t i = 0; i < out.size(); ++i) {
        fmpz_poly_get_coeff_fmpz(fmpq_numref(out[i].get()), p.get(), static_cast<slong>(i));
        fmpz_one(fmpq_denref(out[i].get()));
        fmpq_div(out[i].get(), out[i].get(), factor);
    }
    return out;
}

using Complex = std::complex<Real>;

Complex evaluate(const std::vector<Real>& c, Complex s) {
    Complex sum = 0;
    for (std::size_t i = c.size(); i-- > 0;) sum = sum * s + c[i];
    return sum;
}

std::vector<double> band_grid(double low, double high) {
    std::vector<double> omegas;
    const int points = low == high ? 1 : 400;
    for (int i = 0; i < points; ++i) {
        const double f = points == 1 ? low : low * std::pow(high / low, static_cast<double>(i) / (points - 1));
        omegas.push_back(2 * std::numbers::pi * f);
    }
    return omegas;
}

// The relative change allowed for each coefficient so that the whole polynomial changes
// by at most delta of its value at every frequency of the grid.
std::vector<double> band_allowance(const std::vector<exact::Rational>& exact, const std::vector<double>& omegas,
                                   double delta) {
    std::vector<Real> c;
    long nonzero = 0;
    for (const exact::Rational& q : exact) {
        c.push_back(to_real(q.get()));
        nonzero += c.back() != 0;
    }
    std::vector<double> allowed(exact.size(), 0.0);
    for (std::size_t p = 0; p < c.size(); ++p) {
        if (c[p] == 0) continue;
        Real least = std::numeric_limits<Real>::infinity();
        for (double w : omegas)
            least = std::min(least, std::abs(evaluate(c, Complex(0, w))) / std::pow(static_cast<Real>(w), static_cast<Real>(p)));
        allowed[p] = static_cast<double>(delta * least / nonzero / std::fabs(c[p]));
    }
    return allowed;
}

}  // namespace

DominantResult dominant_terms(const NestedResult& result, const DominantOptions& options) {
    std::vector<exact::Rational> values(result.symbols.symbols.size());
    for (std::size_t i = 0; i < values.size(); ++i) symbol_value(result.symbols, i, values[i].get());
    Search search(result, values);
    GraphValues at = evaluate_at_values(result.graph, result.system, result.symbols);
    const std::vector<exact::Rational> determinant = coefficients(at.determinant, at.factor.get());
    const bool band = options.band_high > 0;
    const std::vector<double> omegas = band ? band_grid(options.band_low, options.band_high) : std::vector<double>{};
    const double delta = options.tolerance / (2 + options.tolerance);

    DominantResult out;
    out.kept.symbols = result.symbols;
    const slong variables = 1 + static_cast<slong>(values.size());
    out.kept.ctx = std::make_unique<MpolyContext>(variables);
    out.kept.term_limit = term_limit_for(variables);
    const MpolyContext& ctx = *out.kept.ctx;

    for (int k : result.variables) {
        const int root = result.graph.numerators[static_cast<std::size_t>(k) - 1];
        const std::vector<exact::Rational> numerator =
            coefficients(at.numerators[static_cast<std::size_t>(k) - 1], at.factor.get());
        std::vector<double> top(numerator.size(), options.tolerance), bottom(determinant.size(), options.tolerance);
        if (band) {
            top = band_allowance(numerator, omegas, delta);
            bottom = band_allowance(determinant, omegas, delta);
        }
        std::vector<Coefficient> n_parts, d_parts;
        for (std::size_t p = numerator.size(); p-- > 0;)
            n_parts.push_back(search.run(root, static_cast<long>(p), numerator[p].get(), top[p], options.path_limit));
        for (std::size_t p = determinant.size(); p-- > 0;)
            d_parts.push_back(search.run(result.graph.determinant, static_cast<long>(p), determinant[p].get(), bottom[p],
                                         options.path_limit));

        // Resistors as resistances: every term times R^d, d the largest exponent of the
        // conductance among the kept terms of both polynomials.
        std::vector<ulong> degree(values.size(), 0);
        for (const auto* parts : {&n_parts, &d_parts})
            for (const Coefficient& c : *parts)
                for (const Term& t : c.terms)
                    for (std::size_t s = 0; s < values.size(); ++s)
                        if (result.symbols.symbols[s].resistance) degree[s] = std::max(degree[s], t.exponents[s]);
        auto build = [&](const std::vector<Coefficient>& parts, long shift) {
            Mpoly p(ctx);
            std::vector<ulong> exponents(static_cast<std::size_t>(variables));
            for (const Coefficient& c : parts)
                for (const Term& t : c.terms) {
                    exponents[0] = static_cast<ulong>(c.report.power + shift);
                    for (std::size_t s = 0; s < values.size(); ++s)
                        exponents[s + 1] = result.symbols.symbols[s].resistance ? degree[s] - t.exponents[s] : t.exponents[s];
                    fmpz_mpoly_push_term_fmpz_ui(p.get(), fmpq_numref(t.coefficient.get()), exponents.data(), ctx.get());
                }
            fmpz_mpoly_sort_terms(p.get(), ctx.get());
            fmpz_mpoly_combine_like_terms(p.get(), ctx.get());
            return p;
        };
        for (std::size_t i = 0; i < n_parts.size(); ++i) n_parts[i].report.power = static_cast<long>(numerator.size() - 1 - i);
        for (std::size_t i = 0; i < d_parts.size(); ++i) d_parts[i].report.power = static_cast<long>(determinant.size() - 1 - i);
        SymbolicFunction f{k, build(n_parts, 0), build(d_parts, 1)};
        if (!f.denominator.is_zero() && fmpz_sgn(f.denominator.get()->coeffs) < 0) {
            fmpz_mpoly_neg(f.numerator.get(), f.numerator.get(), ctx.get());
            fmpz_mpoly_neg(f.denominator.get(), f.denominator.get(), ctx.get());
        }
        if (f.denominator.is_zero()) fmpz_mpoly_one(f.denominator.get(), ctx.get());

        DominantFunction report;
        report.variable = k;
        // Coefficients that are zero at the values are not reported.
        for (const Coefficient& c : n_parts)
            if (c.exact != 0) report.numerator.push_back(c.report);
        for (Coefficient& c : d_parts) {
            c.report.power += 1;
            if (c.exact != 0) report.denominator.push_back(c.report);
        }
        if (band) {
            std::vector<Real> n_exact(n_parts.size()), n_kept(n_parts.size()), d_exact(d_parts.size()), d_kept(d_parts.size());
            for (std::size_t i = 0; i < n_parts.size(); ++i) {
                n_exact[n_parts.size() - 1 - i] = n_parts[i].exact;
                n_kept[n_parts.size() - 1 - i] = n_parts[i].kept;
            }
            for (std::size_t i = 0; i < d_parts.size(); ++i) {
                d_exact[d_parts.size() - 1 - i] = d_parts[i].exact;
                d_kept[d_parts.size() - 1 - i] = d_parts[i].kept;
            }
            for (double w : omegas) {
                const Complex s(0, w);
                const Complex ratio = evaluate(n_kept, s) * evaluate(d_exact, s) / (evaluate(n_exact, s) * evaluate(d_kept, s));
                if (!std::isfinite(std::abs(ratio))) continue;
                report.band_db = std::max(report.band_db, static_cast<double>(std::fabs(20 * std::log10(std::abs(ratio)))));
                report.band_degrees =
                    std::max(report.band_degrees, static_cast<double>(std::fabs(std::arg(ratio))) * 180 / std::numbers::pi);
            }
        }
        out.reports.push_back(std::move(report));
        out.kept.functions.push_back(std::move(f));
    }
    return out;
}

}  // namespace quorvat::symbolic
