#include "time/partial_fractions.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <set>


namespace quorvat {

namespace {

std::complex<double> midpoint(acb_srcptr z) {
    return {arf_get_d(arb_midref(acb_realref(z)), ARF_RND_NEAR), arf_get_d(arb_midref(acb_imagref(z)), ARF_RND_NEAR)};
}

// An upper bound of |z| as a double.
double upper_abs(acb_srcptr z, slong prec) {
    arb_t a;
    arf_t bound;
    arb_init(a);
    arf_init(bound);
    acb_abs(a, z, prec);
    arb_get_ubound_arf(bound, a, prec);
    double d = arf_get_d(bound, ARF_RND_UP);
    arf_clear(bound);
    arb_clear(a);
    return d;
}

using Groups = std::map<int, std::vector<int>>;

Groups groups_of(const std::vector<int>& cluster_of) {
    Groups groups;
    for (std::size_t i = 0; i < cluster_of.size(); ++i) groups[cluster_of[i]].push_back(static_cast<int>(i));
    return groups;
}

// For each root, its complex conjugate among the roots (itself when real).
std::vector<int> mirrors(const std::vector<RootItem>& roots) {
    std::vector<int> mirror(roots.size());
    for (std::size_t i = 0; i < roots.size(); ++i) {
        mirror[i] = static_cast<int>(i);
        if (arb_is_zero(acb_imagref(roots[i].value.get()))) continue;
        std::complex<double> target = std::conj(midpoint(roots[i].value.get()));
        double best = INFINITY;
        for (std::size_t j = 0; j < roots.size(); ++j) {
            if (j == i || roots[j].multiplicity != roots[i].multiplicity) continue;
            double d = std::abs(midpoint(roots[j].value.get()) - target);
            if (d < best) best = d, mirror[i] = static_cast<int>(j);
        }
    }
    return mirror;
}

bool self_conjugate(const std::vector<int>& members, const std::vector<int>& mirror) {
    for (int i : members)
        if (std::find(members.begin(), members.end(), mirror[i]) == members.end()) return false;
    return true;
}

// The weighted centre of a group; real when the group is its own mirror image.
void group_centre(acb_t centre, const std::vector<RootItem>& roots, const std::vector<int>& members, bool real,
                  slong prec, int& multiplicity) {
    acb_zero(centre);
    multiplicity = 0;
    acb_t term;
    acb_init(term);
    for (int i : members) {
        acb_mul_si(term, roots[i].value.get(), roots[i].multiplicity, prec);
        acb_add(centre, centre, term, prec);
        multiplicity += roots[i].multiplicity;
    }
    acb_div_si(centre, centre, multiplicity, prec);
    if (real) arb_zero(acb_imagref(centre));
    acb_clear(term);
}

// Whether lc * prod over groups (s - centre)^m, times the common factor, stays within the
// rounding tolerance of the file's denominator, coefficient by coefficient.
bool within_rounding(const ExactTransform& x, const std::vector<RootItem>& roots, const std::vector<int>& cluster_of,
                     const std::vector<int>& mirror, slong prec) {
    AcbPoly product, factor, common;
    acb_poly_one(product.get());
    acb_t centre;
    acb_init(centre);
    for (const auto& [id, members] : groups_of(cluster_of)) {
        int multiplicity;
        group_centre(centre, roots, members, self_conjugate(members, mirror), prec, multiplicity);
        acb_poly_zero(factor.get());
        acb_poly_set_coeff_si(factor.get(), 1, 1);
        acb_neg(centre, centre);
        acb_poly_set_coeff_acb(factor.get(), 0, centre);
        acb_poly_pow_ui(factor.get(), factor.get(), static_cast<ulong>(multiplicity), prec);
        acb_poly_mul(product.get(), product.get(), factor.get(), prec);
    }
    acb_clear(centre);
    acb_poly_set_fmpz_poly(common.get(), x.common.get(), prec);
    acb_poly_mul(product.get(), product.get(), common.get(), prec);
    acb_poly_scalar_mul_2exp_si(product.get(), product.get(), x.den_exponent);

    acb_t lead, file, diff;
    acb_init(lead);
    acb_init(file);
    acb_init(diff);
    acb_set_fmpz(lead, fmpz_poly_lead(x.den.get()));
    bool ok = true;
    const slong length = fmpz_poly_length(x.den_file.get());
    for (slong i = 0; i < length && ok; ++i) {
        acb_set_fmpz(file, x.den_file.get()->coeffs + i);
        acb_mul_2exp_si(file, file, x.den_exponent);
        acb_poly_get_coeff_acb(diff, product.get(), i);
        acb_mul(diff, diff, lead, prec);
        acb_sub(diff, diff, file, prec);
        double tolerance = cluster_absolute_tolerance +
                           cluster_relative_tolerance * std::fabs(arf_get_d(arb_midref(acb_realref(file)), ARF_RND_NEAR));
        ok = upper_abs(diff, prec) <= tolerance;
    }
    acb_clear(lead);
    acb_clear(file);
    acb_clear(diff);
    return ok;
}

std::vector<int> merged(std::vector<int> cluster_of, int from, int into) {
    for (int& id : cluster_of)
        if (id == from) id = into;
    return cluster_of;
}

}  // namespace

std::vector<RootItem> find_roots(const ExactTransform& x, slong prec) { return certified_roots(x.den.get(), prec); }

std::vector<RootItem> match_roots(const std::vector<RootItem>& reference, std::vector<RootItem> now) {
    std::vector<RootItem> ordered;
    std::vector<bool> used(now.size(), false);
    for (const RootItem& r : reference) {
        std::complex<double> target = midpoint(r.value.get());
        std::size_t best = 0;
        double best_distance = INFINITY;
        for (std::size_t j = 0; j < now.size(); ++j) {
            if (used[j] || now[j].multiplicity != r.multiplicity) continue;
            double d = std::abs(midpoint(now[j].value.get()) - target);
            if (d < best_distance) best_distance = d, best = j;
        }
        used[best] = true;
        ordered.push_back(now[best]);
    }
    return ordered;
}

std::vector<int> plan_clusters(const ExactTransform& x, const std::vector<RootItem>& roots, slong prec) {
    const int n = static_cast<int>(roots.size());
    std::vector<int> cluster_of(n);
    for (int i = 0; i < n; ++i) cluster_of[i] = i;
    if (n < 2) return cluster_of;
    const std::vector<int> mirror = mirrors(roots);
    double largest = 0.0;
    for (const RootItem& r : roots) largest = std::max(largest, std::abs(midpoint(r.value.get())));

    std::set<std::pair<std::vector<int>, std::vector<int>>> refused;
    for (;;) {
        Groups groups = groups_of(cluster_of);
        struct Candidate {
            double distance;
            int a, b;
        };
        std::vector<Candidate> candidates;
        std::map<int, std::complex<double>> centre;
        for (const auto& [id, members] : groups) {
            std::complex<double> sum = 0.0;
            int weight = 0;
            for (int i : members) sum += double(roots[i].multiplicity) * midpoint(roots[i].value.get()), weight += roots[i].multiplicity;
            centre[id] = sum / double(weight);
        }
        // Only close groups are worth the test: within 5% of their size, or within a
        // millionth of the largest root (clusters near the origin).
        for (auto a = groups.begin(); a != groups.end(); ++a)
            for (auto b = std::next(a); b != groups.end(); ++b) {
                double d = std::abs(centre[a->first] - centre[b->first]);
                double size = std::max(std::abs(centre[a->first]), std::abs(centre[b->first]));
                if ((d <= 0.05 * size || d <= 1e-6 * largest) && !refused.count({a->second, b->second}))
                    candidates.push_back({d, a->first, b->first});
            }
        if (candidates.empty()) break;
        std::sort(candidates.begin(), candidates.end(),
                  [](const Candidate& l, const Candidate& r) { return l.distance < r.distance; });
        bool accepted = false;
        for (const Candidate& c : candidates) {
            std::vector<int> trial = merged(cluster_of, c.b, c.a);
            // The mirror images merge too, so that the expansion stays real.
            int mirror_a = trial[mirror[groups[c.a].front()]], mirror_b = trial[mirror[groups[c.b].front()]];
            if (mirror_a != mirror_b) trial = merged(trial, mirror_b, mirror_a);
            if (within_rounding(x, roots, trial, mirror, prec)) {
                cluster_of = trial;
                accepted = true;
                break;
            }
            refused.insert({groups[c.a], groups[c.b]});
        }
        if (!accepted) break;
    }
    return cluster_of;
}

Model build_model(const ExactTransform& x, const std::vector<RootItem>& roots, const std::vector<int>& cluster_of,
                  slong prec) {
    Model model;
    model.prec = prec;
    const std::vector<int> mirror = mirrors(roots);
    for (const auto& [id, members] : groups_of(cluster_of)) {
        ModelPole pole;
        bool conjugate_closed = self_conjugate(members, mirror);
        bool any_complex = false;
        for (int i : members) any_complex = any_complex || !arb_is_zero(acb_imagref(roots[i].value.get()));
        group_centre(pole.p.get(), roots, members, conjugate_closed, prec, pole.multiplicity);
        pole.real = !any_complex || conjugate_closed;
        pole.lower = !pole.real && arb_is_negative(acb_imagref(pole.p.get()));
        pole.roots = static_cast<int>(members.size());
        pole.members = members;
        acb_t d;
        acb_init(d);
        for (int i : members) {
            acb_sub(d, roots[i].value.get(), pole.p.get(), prec);
            pole.radius = std::max(pole.radius, std::abs(midpoint(d)));
        }
        acb_clear(d);
        model.poles.push_back(pole);
    }

    arb_t scale;
    arb_init(scale);
    x.scale(scale, prec);
    AcbPoly shifted, denominator, factor, g;
    acb_t lead, difference, factorial;
    acb_init(lead);
    acb_init(difference);
    acb_init(factorial);
    acb_set_fmpz(lead, fmpz_poly_lead(x.den.get()));
    for (std::size_t k = 0; k < model.poles.size(); ++k) {
        ModelPole& pole = model.poles[k];
        if (pole.lower) continue;
        const slong m = pole.multiplicity;
        // g(s) = X(s) (s - p)^m, as a Taylor series in h = s - p to order m - 1.
        acb_poly_set_fmpz_poly(shifted.get(), x.num.get(), prec);
        acb_poly_taylor_shift(shifted.get(), shifted.get(), pole.p.get(), prec);
        acb_poly_truncate(shifted.get(), m);
        acb_poly_set_acb(denominator.get(), lead);
        for (std::size_t j = 0; j < model.poles.size(); ++j) {
            if (j == k) continue;
            acb_sub(difference, pole.p.get(), model.poles[j].p.get(), prec);
            acb_poly_zero(factor.get());
            acb_poly_set_coeff_acb(factor.get(), 0, difference);
            acb_poly_set_coeff_si(factor.get(), 1, 1);
            acb_poly_pow_ui_trunc_binexp(factor.get(), factor.get(), static_cast<ulong>(model.poles[j].multiplicity), m,
                                         prec);
            acb_poly_mullow(denominator.get(), denominator.get(), factor.get(), m, prec);
        }
        acb_poly_div_series(g.get(), shifted.get(), denominator.get(), m, prec);
        // The term of (s - p)^-(m - j) is g_j t^(m-1-j) / (m-1-j)! e^(p t).
        pole.c.assign(static_cast<std::size_t>(m), AcbNumber());
        for (slong j = 0; j < m; ++j) {
            slong power = m - 1 - j;
            acb_poly_get_coeff_acb(difference, g.get(), j);
            acb_mul_arb(difference, difference, scale, prec);
            acb_one(factorial);
            for (slong f = 2; f <= power; ++f) acb_mul_si(factorial, factorial, f, prec);
            acb_div(pole.c[static_cast<std::size_t>(power)].get(), difference, factorial, prec);
        }
    }
    acb_clear(lead);
    acb_clear(difference);
    acb_clear(factorial);
    arb_clear(scale);
    return model;
}

void evaluate_model(const Model& model, const arb_t t, arb_t out) {
    const slong prec = model.prec;
    arb_zero(out);
    acb_t exponential, sum;
    acb_init(exponential);
    acb_init(sum);
    for (const ModelPole& pole : model.poles) {
        if (pole.lower || pole.c.empty()) continue;
        acb_mul_arb(exponential, pole.p.get(), t, prec);
        acb_exp(exponential, exponential, prec);
        acb_zero(sum);
        for (std::size_t k = pole.c.size(); k-- > 0;) {
            acb_mul_arb(sum, sum, t, prec);
            acb_add(sum, sum, pole.c[k].get(), prec);
        }
        acb_mul(sum, sum, exponential, prec);
        if (!pole.real) arb_mul_2exp_si(acb_realref(sum), acb_realref(sum), 1);
        arb_add(out, out, acb_realref(sum), prec);
    }
    acb_clear(exponential);
    acb_clear(sum);
}

}  // namespace quorvat
