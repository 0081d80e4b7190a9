#include "symbolic/dominant_terms.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <map>
#include <numbers>
#include <optional>

#include <flint/fmpq_poly.h>

#include "engine/fp_fault.h"
#include "symbolic/element_expansion.h"
#include "symbolic/element_stamps.h"
#include "symbolic/graph_values.h"

namespace quorvat::symbolic {

namespace {

using stamps::Real;
using stamps::to_real;

// The highest power of s whose coefficient the element expansion is tried on.
constexpr std::size_t max_element_power = 2;

struct Term {
    std::vector<ulong> exponents;  // by symbol
    exact::Rational coefficient;   // an integer
    Real value;                    // at the values
};

struct Coefficient {
    std::vector<Term> terms;
    CoefficientReport report;
    Real exact = 0, kept = 0;  // at the values
};

// An owning fmpq_poly.
class RationalPoly {
public:
    RationalPoly() { fmpq_poly_init(p_); }
    RationalPoly(const RationalPoly&) = delete;
    RationalPoly(RationalPoly&& other) noexcept {
        fmpq_poly_init(p_);
        fmpq_poly_swap(p_, other.p_);
    }
    RationalPoly& operator=(const RationalPoly&) = delete;
    ~RationalPoly() { fmpq_poly_clear(p_); }
    fmpq_poly_struct* get() { return p_; }
    const fmpq_poly_struct* get() const { return p_; }

private:
    fmpq_poly_t p_;
};

// Simplification during generation: the graph evaluated in polynomials node by node,
// each node's terms of every power of s cut, smallest first, to those that together
// differ from the node's exact value at the values by at most eps of it. Smaller eps
// keeps more; every coefficient of a root takes the largest eps at which it is within
// its tolerance exactly, then the fewest of those terms, largest first, that still are.
class Simplifier {
public:
    Simplifier(const NestedResult& result, const std::vector<exact::Rational>& values)
        : result_(result), values_(values), symbol_count_(values.size()) {
        for (const exact::Rational& v : values) real_values_.push_back(to_real(v.get()));
        for (const Symbol& symbol : result.symbols.symbols) linear_.push_back(symbol.name.rfind("M_", 0) != 0);
        exact_values();
    }

    // The exact coefficients of node i at the values (the graph's integers).
    const RationalPoly& exact(int node) const { return exact_[node]; }

    // The approximation of every coefficient of root, exact[p] its exact value.
    std::vector<Coefficient> run(int root, const std::vector<double>& allowed, long term_cap) {
        std::vector<Coefficient> out(allowed.size());
        std::vector<bool> done(allowed.size(), false);
        exact::Rational c, tolerance;
        for (std::size_t p = 0; p < allowed.size(); ++p) {
            fmpq_poly_get_coeff_fmpq(c.get(), exact_[root].get(), static_cast<slong>(p));
            out[p].exact = to_real(c.get());
            out[p].report.allowed = allowed[p];
            out[p].report.power = static_cast<long>(p);
            done[p] = fmpq_is_zero(c.get());
        }
        for (int level = 0; level < levels; ++level) {
            const Mpoly& pruned = level_root(level, root, term_cap);
            std::vector<std::vector<Term>> by_power = terms_by_power(pruned);
            bool all = true;
            for (std::size_t p = 0; p < allowed.size(); ++p) {
                if (done[p]) continue;
                fmpq_poly_get_coeff_fmpq(c.get(), exact_[root].get(), static_cast<slong>(p));
                exact::set_from_double(tolerance.get(), allowed[p]);
                std::vector<Term> terms = p < by_power.size() ? std::move(by_power[p]) : std::vector<Term>{};
                const bool last = level + 1 == levels;
                if (!within(terms, terms.size(), c.get(), tolerance.get()) && !last) {
                    all = false;
                    continue;
                }
                out[p].report.paths = static_cast<long>(terms.size());
                out[p].report.limited = last && !within(terms, terms.size(), c.get(), tolerance.get());
                trim(terms, c.get(), tolerance.get(), allowed[p], out[p]);
                done[p] = true;
            }
            if (all) break;
        }
        for (std::size_t p = 0; p < allowed.size(); ++p) finish(out[p], root, p);
        return out;
    }

    // Terms found another way in place of those of the graph, for the coefficient of s^p of root.
    void adopt(Coefficient& out, const std::vector<ElementTerm>& terms, long branches, int root, std::size_t p) const {
        out.terms.clear();
        for (const ElementTerm& t : terms) {
            Term term{t.exponents, t.coefficient, 0};
            std::vector<ulong> exponents(1, 0);
            exponents.insert(exponents.end(), t.exponents.begin(), t.exponents.end());
            term.value = term_value(exponents, fmpq_numref(t.coefficient.get()));
            out.terms.push_back(std::move(term));
        }
        out.report.paths = branches;
        out.report.limited = false;
        finish(out, root, p);
    }

    static constexpr int levels = 4;
    // Terms all the nodes held at once may hold: a few hundred megabytes.
    static constexpr long live_term_limit = 2'000'000;

private:
    // Exact node values with the entries at the values (no row scaling).
    void exact_values() {
        const MinorGraph& graph = result_.graph;
        const int n = result_.system.n;
        exact_.resize(graph.nodes.size());
        fmpq_poly_one(exact_[0].get());
        std::vector<ulong> exponents(symbol_count_ + 1);
        fmpz_t c;
        fmpz_init(c);
        exact::Rational term;
        RationalPoly entry, product;
        // Every item's other factor at the values, for the adjoints.
        std::vector<std::vector<std::vector<Real>>> entries(graph.nodes.size());
        auto as_reals = [&](const RationalPoly& p) {
            std::vector<Real> out;
            exact::Rational x;
            for (slong k = 0; k < fmpq_poly_length(p.get()); ++k) {
                fmpq_poly_get_coeff_fmpq(x.get(), p.get(), k);
                out.push_back(to_real(x.get()));
            }
            return out;
        };
        for (std::size_t i = 1; i < graph.nodes.size(); ++i)
            for (const GraphItem& item : graph.nodes[i].items) {
                if (item.second >= 0) {
                    entries[i].push_back(as_reals(exact_[item.second]));
                    fmpq_poly_mul(product.get(), exact_[item.child].get(), exact_[item.second].get());
                } else {
                    const Mpoly& e = item.column == n ? result_.system.b[item.row] : result_.system.at(item.row, item.column);
                    fmpq_poly_zero(entry.get());
                    for (slong t = 0; t < e.length(); ++t) {
                        fmpz_mpoly_get_term_exp_ui(exponents.data(), e.get(), t, e.ctx());
                        fmpz_mpoly_get_term_coeff_fmpz(c, e.get(), t, e.ctx());
                        fmpz_set(fmpq_numref(term.get()), c);
                        fmpz_one(fmpq_denref(term.get()));
                        for (std::size_t v = 0; v < symbol_count_; ++v)
                            for (ulong k = 0; k < exponents[v + 1]; ++k) fmpq_mul(term.get(), term.get(), values_[v].get());
                        exact::Rational old;
                        fmpq_poly_get_coeff_fmpq(old.get(), entry.get(), static_cast<slong>(exponents[0]));
                        fmpq_add(old.get(), old.get(), term.get());
                        fmpq_poly_set_coeff_fmpq(entry.get(), static_cast<slong>(exponents[0]), old.get());
                    }
                    entries[i].push_back(as_reals(entry));
                    fmpq_poly_mul(product.get(), entry.get(), exact_[item.child].get());
                }
                if (item.sign > 0)
                    fmpq_poly_add(exact_[i].get(), exact_[i].get(), product.get());
                else
                    fmpq_poly_sub(exact_[i].get(), exact_[i].get(), product.get());
            }
        fmpz_clear(c);
        budgets(entries);
    }

    // The change allowed in each power of each node, per unit of eps: a root is linear in
    // every node it reaches (each path passes a node once), root = node * A + rest, so a
    // change d of the node's s^q changes the root's s^p by d * A[p - q]. The adjoints A
    // come from one backward pass per root at the values.
    void budgets(const std::vector<std::vector<std::vector<Real>>>& entries) {
        const MinorGraph& graph = result_.graph;
        budget_.assign(graph.nodes.size(), {});
        std::vector<int> roots;
        if (graph.determinant >= 0) roots.push_back(graph.determinant);
        for (int k : graph.numerators)
            if (k >= 0) roots.push_back(k);
        exact::Rational q;
        for (int root : roots) {
            std::vector<Real> target;
            for (slong p = 0; p < fmpq_poly_length(exact_[root].get()); ++p) {
                fmpq_poly_get_coeff_fmpq(q.get(), exact_[root].get(), p);
                target.push_back(std::fabs(to_real(q.get())));
            }
            std::vector<std::vector<Real>> adjoint(graph.nodes.size());
            adjoint[root] = {1};
            for (int i = root; i >= 1; --i) {
                const std::vector<Real>& a = adjoint[i];
                if (a.empty()) continue;
                const std::vector<Real> node_limit = limit(a, target);
                std::vector<Real>& b = budget_[i];
                if (b.size() < node_limit.size()) b.resize(node_limit.size(), std::numeric_limits<Real>::infinity());
                for (std::size_t k = 0; k < node_limit.size(); ++k) b[k] = std::min(b[k], node_limit[k]);
                for (std::size_t t = 0; t < graph.nodes[i].items.size(); ++t) {
                    const GraphItem& item = graph.nodes[i].items[t];
                    const std::vector<Real>& e = entries[i][t];
                    std::vector<Real>& c = adjoint[item.child];
                    if (c.size() < a.size() + e.size()) c.resize(a.size() + e.size(), 0);
                    for (std::size_t x = 0; x < a.size(); ++x)
                        for (std::size_t y = 0; y < e.size(); ++y) c[x + y] += item.sign * a[x] * e[y];
                }
            }
        }
    }

    // For each power q of a node with adjoint a: min over p of |target[p]| / |a[p - q]|.
    static std::vector<Real> limit(const std::vector<Real>& a, const std::vector<Real>& target) {
        std::vector<Real> out(target.size(), std::numeric_limits<Real>::infinity());
        for (std::size_t q = 0; q < target.size(); ++q)
            for (std::size_t p = q; p < target.size(); ++p)
                if (p - q < a.size() && a[p - q] != 0 && target[p] != 0)
                    out[q] = std::min(out[q], target[p] / std::fabs(a[p - q]));
        return out;
    }

    Real term_value(const std::vector<ulong>& exponents, const fmpz_t c) const {
        Real value = to_real(c);
        for (std::size_t v = 0; v < symbol_count_; ++v)
            for (ulong e = 0; e < exponents[v + 1]; ++e) value *= real_values_[v];
        return value;
    }

    std::vector<std::vector<Term>> terms_by_power(const Mpoly& p) const {
        std::vector<std::vector<Term>> by_power;
        std::vector<ulong> exponents(symbol_count_ + 1);
        fmpz_t c;
        fmpz_init(c);
        for (slong t = 0; t < p.length(); ++t) {
            fmpz_mpoly_get_term_exp_ui(exponents.data(), p.get(), t, p.ctx());
            fmpz_mpoly_get_term_coeff_fmpz(c, p.get(), t, p.ctx());
            if (by_power.size() <= exponents[0]) by_power.resize(exponents[0] + 1);
            Term term{std::vector<ulong>(exponents.begin() + 1, exponents.end()), {}, term_value(exponents, c)};
            fmpz_set(fmpq_numref(term.coefficient.get()), c);
            by_power[exponents[0]].push_back(std::move(term));
        }
        fmpz_clear(c);
        return by_power;
    }

    // p cut as described, at most cap terms per power.
    void cut(Mpoly& p, const std::vector<Real>& size, double eps, long cap) const {
        std::vector<ulong> exponents(symbol_count_ + 1);
        fmpz_t c;
        fmpz_init(c);
        struct Entry {
            slong index;
            Real size;
        };
        std::vector<bool> keep(static_cast<std::size_t>(p.length()), true);
        for (slong first = 0; first < p.length();) {
            const ulong power = fmpz_mpoly_get_term_var_exp_ui(p.get(), first, 0, p.ctx());
            slong end = first;
            std::vector<Entry> entries;
            for (; end < p.length() && fmpz_mpoly_get_term_var_exp_ui(p.get(), end, 0, p.ctx()) == power; ++end) {
                fmpz_mpoly_get_term_exp_ui(exponents.data(), p.get(), end, p.ctx());
                // Every element but a coupling enters through a stamp of rank one, so
                // every minor is linear in its symbol: a square is half of a pair that
                // cancels, whose other half was cut below.
                bool square = false;
                for (std::size_t v = 0; v < symbol_count_ && !square; ++v) square = exponents[v + 1] > 1 && linear_[v];
                if (square) {
                    keep[end] = false;
                    continue;
                }
                fmpz_mpoly_get_term_coeff_fmpz(c, p.get(), end, p.ctx());
                entries.push_back({end, std::fabs(term_value(exponents, c))});
            }
            std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.size > b.size; });
            const Real budget = power < size.size() && std::isfinite(size[power]) ? static_cast<Real>(eps) * size[power]
                                                                                 : std::numeric_limits<Real>::infinity();
            Real dropped = 0;
            for (std::size_t k = entries.size(); k-- > 0;) {
                const bool over_cap = static_cast<long>(k) >= cap;
                if (!over_cap && dropped + entries[k].size > budget) break;
                dropped += entries[k].size;
                keep[entries[k].index] = false;
            }
            first = end;
        }
        Mpoly kept(p);
        fmpz_mpoly_zero(kept.get(), p.ctx());
        for (slong t = 0; t < p.length(); ++t) {
            if (!keep[t]) continue;
            fmpz_mpoly_get_term_exp_ui(exponents.data(), p.get(), t, p.ctx());
            fmpz_mpoly_get_term_coeff_fmpz(c, p.get(), t, p.ctx());
            fmpz_mpoly_push_term_fmpz_ui(kept.get(), c, exponents.data(), p.ctx());
        }
        fmpz_clear(c);
        p = std::move(kept);
    }

    // The roots at one level, computed once for all roots.
    const Mpoly& level_root(int level, int root, long cap) {
        if (cache_.size() <= static_cast<std::size_t>(level)) cache_.resize(static_cast<std::size_t>(level) + 1);
        std::map<int, Mpoly>& roots = cache_[static_cast<std::size_t>(level)];
        if (roots.empty()) {
            const double eps = result_tolerance_ * std::pow(10.0, -(level + 1));
            const MinorGraph& graph = result_.graph;
            const MpolyContext* ctx = result_.ctx.get();
            std::vector<int> pending(graph.nodes.size(), 0);
            std::vector<bool> is_root(graph.nodes.size(), false);
            for (const GraphNode& node : graph.nodes)
                for (const GraphItem& item : node.items) ++pending[item.child];
            if (graph.determinant >= 0) is_root[graph.determinant] = true;
            for (int k : graph.numerators)
                if (k >= 0) is_root[k] = true;
            std::vector<std::optional<Mpoly>> value(graph.nodes.size());
            value[0].emplace(*ctx);
            fmpz_mpoly_one(value[0]->get(), ctx->get());
            Mpoly product(*ctx);
            long live = 0;  // terms held by the nodes not yet released
            for (std::size_t i = 1; i < graph.nodes.size(); ++i) {
                Mpoly sum(*ctx);
                for (const GraphItem& item : graph.nodes[i].items) {
                    const Mpoly& e = item.column == result_.system.n ? result_.system.b[item.row]
                                                                     : result_.system.at(item.row, item.column);
                    fmpz_mpoly_mul(product.get(), e.get(), value[item.child]->get(), ctx->get());
                    if (item.sign > 0)
                        fmpz_mpoly_add(sum.get(), sum.get(), product.get(), ctx->get());
                    else
                        fmpz_mpoly_sub(sum.get(), sum.get(), product.get(), ctx->get());
                    if (--pending[item.child] == 0 && item.child != 0 && !is_root[item.child]) {
                        live -= value[item.child]->length();
                        value[item.child].reset();
                    }
                }
                cut(sum, budget_[i], eps, cap);
                live += sum.length();
                if (live > live_term_limit) throw TooLarge(live_term_limit);
                value[i] = std::move(sum);
            }
            for (std::size_t i = 0; i < graph.nodes.size(); ++i)
                if (is_root[i]) roots.emplace(static_cast<int>(i), *value[i]);
        }
        return roots.at(root);
    }

    // Whether the first count terms are within tolerance of exact, exactly.
    bool within(const std::vector<Term>& terms, std::size_t count, const fmpq* exact, const fmpq* tolerance) const {
        exact::Rational kept, bound;
        value_of(terms, count, kept.get());
        fmpq_sub(kept.get(), exact, kept.get());
        fmpq_abs(kept.get(), kept.get());
        fmpq_abs(bound.get(), exact);
        fmpq_mul(bound.get(), bound.get(), tolerance);
        return fmpq_cmp(kept.get(), bound.get()) <= 0;
    }

    void value_of(const std::vector<Term>& terms, std::size_t count, fmpq* total) const {
        fmpq_zero(total);
        exact::Rational term;
        for (std::size_t k = 0; k < count; ++k) {
            fmpq_set(term.get(), terms[k].coefficient.get());
            for (std::size_t v = 0; v < symbol_count_; ++v)
                for (ulong e = 0; e < terms[k].exponents[v]; ++e) fmpq_mul(term.get(), term.get(), values_[v].get());
            fmpq_add(total, total, term.get());
        }
    }

    // The fewest of terms, largest first, within the tolerance.
    void trim(std::vector<Term>& terms, const fmpq* exact, const fmpq* tolerance, double allowed, Coefficient& out) const {
        std::stable_sort(terms.begin(), terms.end(),
                         [](const Term& a, const Term& b) { return std::fabs(a.value) > std::fabs(b.value); });
        const Real target = to_real(exact);
        Real sum = 0;
        std::size_t count = 0;
        while (count < terms.size() && !(std::fabs(target - sum) <= static_cast<Real>(allowed) * std::fabs(target)))
            sum += terms[count++].value;
        while (count < terms.size() && !within(terms, count, exact, tolerance))
            count = std::min(terms.size(), count + std::max<std::size_t>(1, count / 8));
        terms.resize(count);
        out.terms = std::move(terms);
    }

    void finish(Coefficient& out, int root, std::size_t p) const {
        out.report.kept = static_cast<long>(out.terms.size());
        exact::Rational c, kept, error;
        fmpq_poly_get_coeff_fmpq(c.get(), exact_[root].get(), static_cast<slong>(p));
        value_of(out.terms, out.terms.size(), kept.get());
        out.kept = to_real(kept.get());
        if (fmpq_is_zero(c.get())) return;
        fmpq_sub(error.get(), c.get(), kept.get());
        fmpq_div(error.get(), error.get(), c.get());
        fmpq_abs(error.get(), error.get());
        // Rounded up, so that the stated bound holds.
        out.report.error = fmpq_is_zero(error.get()) ? 0.0 : std::nextafter(static_cast<double>(to_real(error.get())), 2.0);
    }

public:
    double result_tolerance_ = 0.1;

private:
    const NestedResult& result_;
    const std::vector<exact::Rational>& values_;
    std::size_t symbol_count_;
    std::vector<Real> real_values_;
    std::vector<bool> linear_;  // by symbol: every minor is of degree at most 1 in it
    std::vector<RationalPoly> exact_;
    std::vector<std::vector<Real>> budget_;  // by node and power: the change allowed per unit of eps
    std::vector<std::map<int, Mpoly>> cache_;
};

std::vector<exact::Rational> rational_coefficients(const RationalPoly& p) {
    std::vector<exact::Rational> out(static_cast<std::size_t>(fmpq_poly_length(p.get())));
    for (std::size_t i = 0; i < out.size(); ++i) fmpq_poly_get_coeff_fmpq(out[i].get(), p.get(), static_cast<slong>(i));
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
    // The bounds use infinities and the band's ratios may overflow: none of it is a
    // fault of the analysis.
    FpFlagsGuard keep_flags;
    const std::vector<exact::Rational> values = symbol_values(result.symbols);
    Simplifier simplifier(result, values);
    simplifier.result_tolerance_ = options.tolerance;
    // A zero tolerance asks for every term: no cut but a wide cap.
    const long cap = options.tolerance > 0 ? options.term_cap : 20'000;
    const std::vector<exact::Rational> determinant = rational_coefficients(simplifier.exact(result.graph.determinant));
    const bool band = options.band_high > 0;
    const std::vector<double> omegas = band ? band_grid(options.band_low, options.band_high) : std::vector<double>{};
    const double delta = options.tolerance / (2 + options.tolerance);

    DominantResult out;
    out.kept.symbols = result.symbols;
    const slong variables = 1 + static_cast<slong>(values.size());
    out.kept.ctx = std::make_unique<MpolyContext>(variables);
    out.kept.term_limit = term_limit_for(variables);
    const MpolyContext& ctx = *out.kept.ctx;

    // Where the graph's terms fall short (their cancelling pairs were cut apart), the low
    // powers, those of the gain and the dominant poles, are expanded element by element
    // instead.
    auto mend = [&](std::vector<Coefficient>& parts, int node, int column) {
        if (options.tolerance <= 0) return;
        for (std::size_t p = 0; p < parts.size() && p <= max_element_power; ++p) {
            Coefficient& c = parts[p];
            if (!c.report.limited && c.report.error <= c.report.allowed) continue;
            exact::Rational value;
            fmpq_poly_get_coeff_fmpq(value.get(), simplifier.exact(node).get(), static_cast<slong>(p));
            std::optional<ElementExpansion> found =
                element_dominant_terms(result.system, values, column, static_cast<long>(p), value.get(), c.report.allowed);
            if (found) simplifier.adopt(c, found->terms, found->branches, node, p);
        }
    };
    // The determinant is every variable's denominator: its terms, the gains' and the
    // pole's short forms are found once.
    const std::vector<Coefficient> denominator =
        [&] {
            std::vector<Coefficient> parts = simplifier.run(
                result.graph.determinant,
                band ? band_allowance(determinant, omegas, delta) : std::vector<double>(determinant.size(), options.tolerance),
                cap);
            mend(parts, result.graph.determinant, -1);
            return parts;
        }();
    std::vector<GainAndPole> simplified =
        band ? std::vector<GainAndPole>(result.variables.size())
             : simplified_gains_and_pole(result, values, result.variables, options.tolerance, options.same);

    for (std::size_t index = 0; index < result.variables.size(); ++index) {
        const int k = result.variables[index];
        const int root = result.graph.numerators[static_cast<std::size_t>(k) - 1];
        const std::vector<exact::Rational> numerator =
            root >= 0 ? rational_coefficients(simplifier.exact(root)) : std::vector<exact::Rational>{};
        const std::vector<double> top =
            band ? band_allowance(numerator, omegas, delta) : std::vector<double>(numerator.size(), options.tolerance);
        std::vector<Coefficient> n_parts, d_parts = denominator;
        if (root >= 0) {
            n_parts = simplifier.run(root, top, cap);
            mend(n_parts, root, k - 1);
        }
        std::reverse(n_parts.begin(), n_parts.end());
        std::reverse(d_parts.begin(), d_parts.end());

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
        report.simplified = std::move(simplified[index]);
        out.reports.push_back(std::move(report));
        out.kept.functions.push_back(std::move(f));
    }
    return out;
}

}  // namespace quorvat::symbolic
