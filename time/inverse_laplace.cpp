#include "time/inverse_laplace.h"

#include <algorithm>
#include <cmath>
#include <map>

#include <flint/fmpq_poly.h>

#include "time/number_text.h"
#include "time/partial_fractions.h"

namespace quorvat {

namespace {

constexpr slong base_precision = 128;
constexpr slong largest_precision = 16384;
constexpr slong zero_precision = 1024;
constexpr double table_tolerance = 1e-12;
constexpr double merge_agreement = 1e-6;   // merged and separate roots must give the same x(t)
constexpr int talbot_minimum_nodes = 48;
constexpr double talbot_agreement = 1e-14;  // of the scale, between estimates with M and 2M nodes
constexpr int talbot_maximum_nodes = 4000;

double mid(arb_srcptr x) { return arf_get_d(arb_midref(x), ARF_RND_NEAR); }
double radius(arb_srcptr x) { return mag_get_d(arb_radref(x)); }

double largest_coefficient(const ModelPole& pole) {
    double largest = 0.0;
    for (const AcbNumber& c : pole.c)
        largest = std::max(largest, std::hypot(mid(acb_realref(c.get())), mid(acb_imagref(c.get()))));
    return pole.real ? largest : 2.0 * largest;
}

PoleTerms display_terms(const ModelPole& pole) {
    PoleTerms terms;
    terms.sigma = mid(acb_realref(pole.p.get()));
    terms.omega = pole.real ? 0.0 : std::fabs(mid(acb_imagref(pole.p.get())));
    terms.multiplicity = pole.multiplicity;
    for (const AcbNumber& c : pole.c) {
        double re = mid(acb_realref(c.get())), im = mid(acb_imagref(c.get()));
        terms.cos_coef.push_back(pole.real ? re : 2.0 * re);
        terms.sin_coef.push_back(pole.real ? 0.0 : -2.0 * im);
    }
    return terms;
}

// Whether z lies inside the fixed Talbot contour s(θ) = rθ(cot θ + i), |θ| < π.
bool inside_contour(double u, double v, double r) {
    double theta = std::fabs(v) / r;
    if (theta >= M_PI) return false;
    double edge = theta == 0.0 ? r : r * theta / std::tan(theta);
    return u < edge;
}

}  // namespace

struct InverseLaplace::Data {
    ExactTransform x;
    fmpq_poly_t remainder;                 // N mod D over the rationals: the proper part
    std::vector<RootItem> reference_roots; // at the base precision
    std::vector<int> cluster_of;
    mutable std::map<slong, Model> models;
    Expansion expansion;

    Data() { fmpq_poly_init(remainder); }
    ~Data() { fmpq_poly_clear(remainder); }
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;

    const Model& model_at(slong prec) const {
        auto found = models.find(prec);
        if (found != models.end()) return found->second;
        std::vector<RootItem> roots = match_roots(reference_roots, find_roots(x, prec));
        return models.emplace(prec, build_model(x, roots, cluster_of, prec)).first->second;
    }
};

InverseLaplace::InverseLaplace(std::unique_ptr<Data> data) : data_(std::move(data)) {}
InverseLaplace::~InverseLaplace() = default;

const Expansion& InverseLaplace::expansion() const { return data_->expansion; }

std::unique_ptr<InverseLaplace> InverseLaplace::create(const ResultPolynomial& num, const ResultPolynomial& den,
                                                       std::string& error) {
    if (num.degree < 0 || num.degree > max_order || den.degree < 0 || den.degree > max_order) {
        error = "grau fora de 0 a 30";
        return nullptr;
    }
    return create(widen(num), widen(den), 1.0, error);
}

std::unique_ptr<InverseLaplace> InverseLaplace::create(const WidePolynomial& num, const WidePolynomial& den,
                                                       double frequency_scale, std::string& error) {
    auto data = std::make_unique<Data>();
    if (!make_exact_transform(num, den, frequency_scale, data->x, error)) return nullptr;
    const ExactTransform& x = data->x;
    Expansion& e = data->expansion;

    // The polynomial part gives the impulse terms; the remainder is what the poles invert.
    fmpq_poly_t n, d, quotient;
    fmpq_poly_init(n);
    fmpq_poly_init(d);
    fmpq_poly_init(quotient);
    fmpq_poly_set_fmpz_poly(n, x.num.get());
    fmpq_poly_set_fmpz_poly(d, x.den.get());
    fmpq_poly_divrem(quotient, data->remainder, n, d);
    arb_t scale, coefficient;
    arb_init(scale);
    arb_init(coefficient);
    x.scale(scale, base_precision);
    fmpq_t q;
    fmpq_init(q);
    for (slong k = 0; k < fmpq_poly_length(quotient); ++k) {
        fmpq_poly_get_coeff_fmpq(q, quotient, k);
        arb_set_fmpq(coefficient, q, base_precision);
        arb_mul(coefficient, coefficient, scale, base_precision);
        e.impulses.push_back(mid(coefficient));
    }
    fmpq_clear(q);
    arb_clear(scale);
    arb_clear(coefficient);
    fmpq_poly_clear(n);
    fmpq_poly_clear(d);
    fmpq_poly_clear(quotient);

    data->reference_roots = find_roots(x, base_precision);
    const std::size_t root_count = data->reference_roots.size();
    std::vector<int> separate(root_count);
    for (std::size_t i = 0; i < root_count; ++i) separate[i] = static_cast<int>(i);
    data->cluster_of = x.zero ? separate : plan_clusters(x, data->reference_roots, base_precision);

    if (data->cluster_of != separate) {
        // The residues justify the merge when the large residues of the separate roots
        // cancel into the merged pole's terms: both give the same x(t) over the span.
        Model joint = build_model(x, data->reference_roots, data->cluster_of, base_precision);
        Model apart = build_model(x, data->reference_roots, separate, base_precision);
        Expansion joint_terms;
        for (const ModelPole& pole : joint.poles)
            if (!pole.lower) joint_terms.poles.push_back(display_terms(pole));
        std::string reason;
        double span = choose_span({&joint_terms}, reason);
        arb_t t, a, b;
        arb_init(t);
        arb_init(a);
        arb_init(b);
        double largest = 0.0, difference = 0.0;
        for (int i = 0; i <= 64; ++i) {
            arb_set_d(t, span * i / 64.0);
            evaluate_model(joint, t, a);
            evaluate_model(apart, t, b);
            largest = std::max(largest, std::fabs(mid(a)));
            difference = std::max(difference, std::fabs(mid(a) - mid(b)));
        }
        arb_clear(t);
        arb_clear(a);
        arb_clear(b);
        if (difference > merge_agreement * largest) {
            for (const ModelPole& pole : joint.poles)
                if (pole.roots > 1 && !pole.lower) ++e.refused_clusters;
            data->cluster_of = separate;
        } else {
            for (const ModelPole& pole : joint.poles) {
                if (pole.roots < 2 || pole.lower) continue;
                MergedCluster note;
                note.sigma = mid(acb_realref(pole.p.get()));
                note.omega = pole.real ? 0.0 : std::fabs(mid(acb_imagref(pole.p.get())));
                note.roots = pole.roots;
                note.multiplicity = pole.multiplicity;
                note.radius = pole.radius;
                note.merged_coefficient = largest_coefficient(pole);
                for (const ModelPole& single : apart.poles)
                    for (int member : pole.members)
                        if (single.members.front() == member && !single.lower)
                            note.split_residue = std::max(note.split_residue, largest_coefficient(single));
                e.merged.push_back(note);
            }
            data->models.emplace(base_precision, std::move(joint));
        }
    }

    for (const ModelPole& pole : data->model_at(base_precision).poles)
        if (!pole.lower) e.poles.push_back(display_terms(pole));
    std::sort(e.poles.begin(), e.poles.end(), [](const PoleTerms& a, const PoleTerms& b) {
        return a.sigma != b.sigma ? a.sigma > b.sigma : a.omega < b.omega;
    });
    return std::unique_ptr<InverseLaplace>(new InverseLaplace(std::move(data)));
}

TimeTable InverseLaplace::tabulate(const std::vector<double>& times) const {
    const std::size_t n = times.size();
    TimeTable table;
    table.values.assign(n, 0.0);
    std::vector<bool> known(n, false);
    std::vector<ArbNumber> balls(n);
    arb_t t;
    arb_init(t);
    for (slong prec = base_precision;; prec *= 2) {
        const Model& model = data_->model_at(prec);
        for (std::size_t i = 0; i < n; ++i) {
            if (known[i]) continue;
            arb_set_d(t, times[i]);
            evaluate_model(model, t, balls[i].get());
        }
        double largest = 0.0;
        for (std::size_t i = 0; i < n; ++i) largest = std::max(largest, std::fabs(mid(balls[i].get())));
        bool all_known = true;
        for (std::size_t i = 0; i < n; ++i) {
            if (known[i]) continue;
            double value = mid(balls[i].get());
            // Near a zero crossing the tolerance is of the largest value. A ball that still
            // holds zero at 1024 bits is a zero (a touch or a crossing on the point), not a
            // tail value that more precision would resolve.
            bool crossing = arb_contains_zero(balls[i].get()) && prec >= zero_precision;
            if (i > 0) crossing = crossing || value * mid(balls[i - 1].get()) <= 0.0;
            if (i + 1 < n) crossing = crossing || value * mid(balls[i + 1].get()) <= 0.0;
            double tolerance = table_tolerance * (crossing ? largest : std::fabs(value));
            table.values[i] = value;
            if (radius(balls[i].get()) <= tolerance) known[i] = true;
            else all_known = false;
        }
        table.precision_bits = prec;
        if (all_known || prec >= largest_precision) break;
    }
    arb_clear(t);
    for (std::size_t i = 0; i < n; ++i) table.uncertain_points += known[i] ? 0 : 1;
    return table;
}

std::optional<double> InverseLaplace::talbot(double t, double scale) const {
    const Data& d = *data_;
    if (d.x.zero || fmpq_poly_is_zero(d.remainder) || !(t > 0.0)) return 0.0;
    // Poles right of the axis: invert X(s + a) and multiply by e^(a t).
    double shift = 0.0;
    for (const PoleTerms& pole : d.expansion.poles) shift = std::max(shift, pole.sigma);
    double r = 2.0 * talbot_minimum_nodes / (5.0 * t);
    if (!(r > 0.0) || !std::isfinite(r)) return std::nullopt;  // t beyond what the contour can take
    auto encloses = [&](double radius_r) {
        for (const PoleTerms& pole : d.expansion.poles)
            if (!inside_contour(1.25 * (pole.sigma - shift), 1.25 * pole.omega, radius_r)) return false;
        return true;
    };
    while (!encloses(r)) {
        r *= 1.2;
        if (2.5 * r * t > talbot_maximum_nodes) return std::nullopt;
    }
    // The rule converges fast once the contour encloses the poles, but oscillations over
    // many periods need more nodes: double them until two estimates agree.
    long nodes = static_cast<long>(std::ceil(2.5 * r * t));
    double previous = talbot_estimate(t, nodes, shift);
    for (nodes *= 2; nodes <= talbot_maximum_nodes; nodes *= 2) {
        double next = talbot_estimate(t, nodes, shift);
        if (std::fabs(next - previous) <= talbot_agreement * scale) return next;
        previous = next;
    }
    return std::nullopt;
}

double InverseLaplace::talbot_estimate(double t, long nodes, double shift) const {
    const Data& d = *data_;
    const slong prec = static_cast<slong>(3.4 * static_cast<double>(nodes)) + 64;

    AcbPoly numerator, denominator;
    acb_poly_set_fmpq_poly(numerator.get(), d.remainder, prec);
    acb_poly_set_fmpz_poly(denominator.get(), d.x.den.get(), prec);
    arb_t tt, rr, theta, pi, sine, cosine, cotangent, sigma, total, scale;
    acb_t s, f, value, weight, shifted;
    for (arb_ptr p : {tt, rr, theta, pi, sine, cosine, cotangent, sigma, total, scale}) arb_init(p);
    for (acb_ptr p : {s, f, value, weight, shifted}) acb_init(p);
    arb_set_d(tt, t);
    arb_set_si(rr, 2 * nodes);
    arb_div(rr, rr, tt, prec);
    arb_div_si(rr, rr, 5, prec);  // r = 2M / (5t)
    arb_const_pi(pi, prec);
    d.x.scale(scale, prec);
    auto transform = [&](acb_t out, const acb_t at) {
        acb_set(shifted, at);
        acb_t a;
        acb_init(a);
        acb_set_d(a, shift);
        acb_add(shifted, shifted, a, prec);
        acb_clear(a);
        acb_poly_evaluate(out, numerator.get(), shifted, prec);
        acb_poly_evaluate(value, denominator.get(), shifted, prec);
        acb_div(out, out, value, prec);
        acb_mul_arb(out, out, scale, prec);
    };
    // θ = 0: half of F(r) e^(r t).
    acb_set_arb(s, rr);
    transform(f, s);
    arb_mul(sine, rr, tt, prec);
    arb_exp(sine, sine, prec);
    arb_mul(total, acb_realref(f), sine, prec);
    arb_mul_2exp_si(total, total, -1);
    for (slong k = 1; k < nodes; ++k) {
        arb_mul_si(theta, pi, k, prec);
        arb_div_si(theta, theta, nodes, prec);
        arb_sin_cos(sine, cosine, theta, prec);
        arb_div(cotangent, cosine, sine, prec);
        // s = rθ(cot θ + i), σ = θ + (θ cot θ - 1) cot θ.
        arb_mul(acb_realref(s), theta, cotangent, prec);
        arb_mul(acb_realref(s), acb_realref(s), rr, prec);
        arb_mul(acb_imagref(s), theta, rr, prec);
        arb_mul(sigma, theta, cotangent, prec);
        arb_sub_si(sigma, sigma, 1, prec);
        arb_mul(sigma, sigma, cotangent, prec);
        arb_add(sigma, sigma, theta, prec);
        transform(f, s);
        acb_mul_arb(weight, s, tt, prec);
        acb_exp(weight, weight, prec);
        acb_mul(f, f, weight, prec);
        acb_one(weight);
        arb_set(acb_imagref(weight), sigma);
        acb_mul(f, f, weight, prec);
        arb_add(total, total, acb_realref(f), prec);
    }
    arb_mul(total, total, rr, prec);
    arb_div_si(total, total, nodes, prec);
    arb_set_d(sine, shift * t);
    arb_exp(sine, sine, prec);
    arb_mul(total, total, sine, prec);
    double result = mid(total);
    for (arb_ptr p : {tt, rr, theta, pi, sine, cosine, cotangent, sigma, total, scale}) arb_clear(p);
    for (acb_ptr p : {s, f, value, weight, shifted}) acb_clear(p);
    return result;
}

FinalValue InverseLaplace::final_value() const {
    const Data& d = *data_;
    FinalValue result;
    if (d.x.zero) return {true, 0.0};
    // The multiplicity of the origin as a root of D, exactly.
    slong at_origin = 0;
    while (at_origin < fmpz_poly_length(d.x.den.get()) && fmpz_is_zero(d.x.den.get()->coeffs + at_origin))
        ++at_origin;
    if (at_origin > 1) return result;
    for (const ModelPole& pole : d.model_at(base_precision).poles) {
        if (acb_contains_zero(pole.p.get()) && at_origin == 1) continue;
        if (!arb_is_negative(acb_realref(pole.p.get()))) return result;
    }
    result.applies = true;
    if (at_origin == 0) return result;
    arb_t value, divisor;
    arb_init(value);
    arb_init(divisor);
    d.x.scale(value, base_precision);
    arb_mul_fmpz(value, value, d.x.num.get()->coeffs, base_precision);  // N(0); N is not zero here
    arb_set_fmpz(divisor, d.x.den.get()->coeffs + 1);
    arb_div(value, value, divisor, base_precision);
    result.value = mid(value);
    arb_clear(value);
    arb_clear(divisor);
    return result;
}

double InverseLaplace::transient_bound(double t) const {
    double bound = 0.0;
    for (const PoleTerms& pole : data_->expansion.poles) {
        if (pole.sigma == 0.0 && pole.omega == 0.0) continue;
        double power = 1.0;
        for (std::size_t k = 0; k < pole.cos_coef.size(); ++k) {
            bound += (std::fabs(pole.cos_coef[k]) + std::fabs(pole.sin_coef[k])) * power * std::exp(pole.sigma * t);
            power *= t;
        }
    }
    return bound;
}

double choose_span(const std::vector<const Expansion*>& expansions, std::string& reason) {
    double largest = 0.0;
    for (const Expansion* e : expansions)
        for (const PoleTerms& p : e->poles) largest = std::max(largest, std::hypot(p.sigma, p.omega));
    double slowest_decay = 0.0, slowest_period = 0.0, fastest_growth = 0.0;
    for (const Expansion* e : expansions)
        for (const PoleTerms& p : e->poles) {
            double size = std::hypot(p.sigma, p.omega);
            if (size <= 1e-9 * largest) continue;  // at the origin
            const double period = p.omega > 0.0 ? 2.0 * M_PI / p.omega : 0.0;
            const bool on_axis = std::fabs(p.sigma) <= 1e-9 * size;
            // An oscillation counts when it lives at least a quarter period; a more damped
            // pair shows no periods, only its decay.
            if (period > 0.0 && (on_axis || -1.0 / p.sigma >= period / 4.0 || p.sigma > 0.0))
                slowest_period = std::max(slowest_period, period);
            if (on_axis) continue;
            if (p.sigma < 0.0) slowest_decay = std::max(slowest_decay, -1.0 / p.sigma);
            else fastest_growth = std::max(fastest_growth, p.sigma);
        }
    double span = 0.0;
    if (slowest_decay > 0.0) {
        span = 5.0 * slowest_decay;
        reason = "cinco constantes de tempo do polo mais lento (τ = " + number_text(slowest_decay, 4) + " s)";
    }
    if (3.0 * slowest_period > span) {
        span = 3.0 * slowest_period;
        reason = "três períodos da oscilação mais lenta (T = " + number_text(slowest_period, 4) + " s)";
    }
    if (fastest_growth > 0.0 && (span == 0.0 || 5.0 / fastest_growth < span)) {
        span = 5.0 / fastest_growth;
        reason = "cinco constantes de tempo do polo instável mais rápido (τ = " + number_text(1.0 / fastest_growth, 4) + " s)";
    }
    if (!(span > 0.0) || !std::isfinite(span)) {
        reason = "sem polos fora da origem: 10 s";
        return 10.0;
    }
    // Up to a round number.
    const double steps[] = {1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0};
    double decade = std::pow(10.0, std::floor(std::log10(span)));
    for (double step : steps)
        if (step * decade >= span * (1.0 - 1e-12)) return step * decade;
    return 10.0 * decade;
}

}  // namespace quorvat
