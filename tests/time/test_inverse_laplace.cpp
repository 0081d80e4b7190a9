// Inverse transforms against closed forms derived by hand, with the Talbot cross-check,
// the final value, the formulas and the span rule.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "time/formula.h"
#include "time/inverse_laplace.h"

namespace {

using quorvat::Expansion;
using quorvat::InverseLaplace;
using quorvat::ResultPolynomial;

ResultPolynomial poly(std::vector<double> ascending, double cte = 1.0) {
    ResultPolynomial p{};
    for (std::size_t i = 0; i < ascending.size(); ++i) p.c[i] = ascending[i];
    p.degree = static_cast<int>(ascending.size()) - 1;
    p.Cte = cte;
    return p;
}

// As a polynomial file keeps it: 12 decimals.
double rounded12(double v) { return std::round(v * 1e12) / 1e12; }

struct ClosedForm {
    const char* name;
    ResultPolynomial num, den;
    std::function<double(double)> x;
    double span;
    std::vector<int> multiplicities;   // of the poles, in the expansion's order
    std::vector<double> impulses;
    int merged;                        // clusters merged into repeated poles
    double tolerance;                  // of the largest |x|
    bool final_applies;
    double final_value;
};

TEST(InverseLaplace, ClosedFormsTablesAndChecks) {
    const double w = 3.0, wd = std::sqrt(0.75), third = 1.0 / 3.0;
    const std::vector<ClosedForm> cases = {
        {"1/(s+1)", poly({1}), poly({1, 1}), [](double t) { return std::exp(-t); }, 5, {1}, {}, 0, 1e-13, true, 0},
        {"1/(s(s+2))", poly({1}), poly({0, 2, 1}), [](double t) { return (1 - std::exp(-2 * t)) / 2; }, 5, {1, 1}, {}, 0,
         1e-13, true, 0.5},
        {"1/(s+1)^3", poly({1}), poly({1, 3, 3, 1}), [](double t) { return t * t * std::exp(-t) / 2; }, 10, {3}, {}, 0,
         1e-13, true, 0},
        {"w/(s^2+w^2)", poly({w}), poly({w * w, 0, 1}), [=](double t) { return std::sin(w * t); }, 10, {1}, {}, 0,
         1e-13, false, 0},
        // Cte of both files enters: 2/(0.5 (s - 1)) grows as 4 e^t.
        {"unstable", poly({1}, 2.0), poly({-1, 1}, 0.5), [](double t) { return 4 * std::exp(t); }, 3, {1}, {}, 0,
         1e-13, false, 0},
        // The worked example: V1(s) = (s + 1)/(s^3 + 2 s^2) = 1/4 1/s + 1/2 1/s^2 - 1/4 1/(s + 2).
        {"worked example", poly({1, 1}), poly({0, 0, 2, 1}),
         [](double t) { return 0.25 + 0.5 * t - 0.25 * std::exp(-2 * t); }, 3, {2, 1}, {}, 0, 1e-13, false, 0},
        // The RLC step with both initial conditions: V3(s) = (0.2 s^2 + 0.7 s + 1)/(s (s^2 + s + 1))
        // = 1/s + (-0.8 (s + 0.5) + 0.1)/((s + 0.5)^2 + 0.75).
        {"RLC step", poly({5, 3.5, 1}, 0.2), poly({0, 1, 1, 1}),
         [=](double t) { return 1 + std::exp(-t / 2) * (-0.8 * std::cos(wd * t) + 0.1 / wd * std::sin(wd * t)); }, 25,
         {1, 1}, {}, 0, 1e-13, true, 1},
        // (2 s^2 + 5 s + 4)/(s + 1) = 2 s + 3 + 1/(s + 1): δ terms out of the table.
        {"impulses", poly({4, 5, 2}), poly({1, 1}), [](double t) { return std::exp(-t); }, 5, {1}, {3, 2}, 0, 1e-13, true,
         0},
        // (s + 1/3)^2 and (s + 1/3)^3 as 12-decimal files: clusters, merged.
        {"double root, rounded", poly({1}), poly({rounded12(third * third), rounded12(2 * third), 1}),
         [=](double t) { return t * std::exp(-t * third); }, 15, {2}, {}, 1, 1e-11, true, 0},
        {"triple root, rounded", poly({1}), poly({rounded12(third * third * third), rounded12(third), 1, 1}),
         [=](double t) { return t * t / 2 * std::exp(-t * third); }, 30, {3}, {}, 1, 1e-9, true, 0},
    };
    for (const ClosedForm& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        auto transform = InverseLaplace::create(c.num, c.den, error);
        ASSERT_TRUE(transform) << error;
        const Expansion& e = transform->expansion();
        std::vector<int> multiplicities;
        for (const auto& pole : e.poles) multiplicities.push_back(pole.multiplicity);
        EXPECT_EQ(multiplicities, c.multiplicities);
        ASSERT_EQ(e.impulses.size(), c.impulses.size());
        for (std::size_t k = 0; k < c.impulses.size(); ++k) EXPECT_NEAR(e.impulses[k], c.impulses[k], 1e-14);
        EXPECT_EQ(static_cast<int>(e.merged.size()), c.merged);

        std::vector<double> times;
        for (int i = 0; i <= 60; ++i) times.push_back(c.span * i / 60.0);
        quorvat::TimeTable table = transform->tabulate(times);
        EXPECT_EQ(table.uncertain_points, 0);
        double largest = 0.0, worst = 0.0;
        for (double t : times) largest = std::max(largest, std::fabs(c.x(t)));
        for (std::size_t i = 0; i < times.size(); ++i) worst = std::max(worst, std::fabs(table.values[i] - c.x(times[i])));
        EXPECT_LE(worst, c.tolerance * largest);

        for (double t : {c.span / 7, c.span / 2, c.span}) {
            std::optional<double> talbot = transform->talbot(t, largest);
            ASSERT_TRUE(talbot);
            EXPECT_NEAR(*talbot, c.x(t), c.tolerance * largest) << "t = " << t;
        }
        quorvat::FinalValue fv = transform->final_value();
        EXPECT_EQ(fv.applies, c.final_applies);
        if (c.final_applies) {
            EXPECT_NEAR(fv.value, c.final_value, 1e-15);
            EXPECT_LE(std::fabs(table.values.back() - fv.value), transform->transient_bound(c.span) * 1.0001 + 1e-15);
        }
    }
}

TEST(InverseLaplace, FormulasSpansAndRefusals) {
    std::string error;
    auto step = InverseLaplace::create(poly({1}), poly({0, 2, 1}), error);
    EXPECT_EQ(quorvat::formula_text(step->expansion(), "v"), "v(t) = 0.5 - 0.5·e^(-2·t), para t ≥ 0");
    EXPECT_EQ(quorvat::formula_latex(step->expansion(), "v2"), "v_{2}(t) = 0.5 - 0.5\\,e^{-2t}, \\quad t \\ge 0");
    auto ringing = InverseLaplace::create(poly({4, 5, 2}), poly({1, 1}), error);
    EXPECT_EQ(quorvat::formula_text(ringing->expansion(), "x1"), "x1(t) = e^(-t) + 3·δ(t) + 2·δ'(t), para t ≥ 0");
    auto cubic = InverseLaplace::create(poly({2}), poly({1, 3, 3, 1}), error);
    EXPECT_EQ(quorvat::formula_text(cubic->expansion(), "x"), "x(t) = t^2·e^(-t), para t ≥ 0");
    auto sine = InverseLaplace::create(poly({1}), poly({4, 4, 5}, 0.2), error);  // (s + 0.4)^2 + 0.64
    EXPECT_EQ(quorvat::formula_text(sine->expansion(), "x"), "x(t) = 1.25·e^(-0.4·t)·sin(0.8·t), para t ≥ 0");

    // The span: five time constants of the slowest decay, three periods of the slowest
    // oscillation, whichever is longer, rounded up; 10 s with poles at the origin only.
    struct Span {
        ResultPolynomial den;
        double expected;
    };
    const std::vector<Span> spans = {
        {poly({0, 2, 1}), 2.5},      // τ = 0.5 s
        {poly({0.1, 1.1, 1}), 50},   // τ = 10 s
        {poly({1.01, 0.2, 1}), 50},  // τ = 10 s beats three periods of 2π s
        {poly({5, 2, 1}), 10},       // three periods of π s beat τ = 1 s
        {poly({1.25, 2, 1}), 5},     // τ = 1 s; a pair this damped shows no periods
        {poly({0, 0, 1}), 10},       // origin only
        {poly({4, 0, 1}), 10},       // undamped, three periods of π s, rounded up
    };
    for (const Span& span : spans) {
        auto t = InverseLaplace::create(poly({1}), span.den, error);
        ASSERT_TRUE(t);
        std::string reason;
        EXPECT_DOUBLE_EQ(quorvat::choose_span({&t->expansion()}, reason), span.expected) << span.expected;
        EXPECT_FALSE(reason.empty());
    }

    // Tails far below the curve's peak stay accurate relative to themselves: 1/(s + 1) -
    // 1/(s + 2) at t = 60 is e^-60 - e^-120, after a peak of 0.25.
    auto tail = InverseLaplace::create(poly({1}), poly({2, 3, 1}), error);
    quorvat::TimeTable far = tail->tabulate({0.0, std::log(2.0), 30.0, 60.0});
    for (double t : {30.0, 60.0}) {
        double exact = std::exp(-t) - std::exp(-2 * t);
        EXPECT_NEAR(far.values[t == 30.0 ? 2 : 3], exact, 1e-12 * exact) << t;
    }

    // Two genuinely distinct poles far beyond the file's rounding stay apart; a zero
    // denominator has no inverse.
    auto apart = InverseLaplace::create(poly({1}), poly({1.01, 2.01, 1}), error);  // (s + 1)(s + 1.01)
    EXPECT_EQ(apart->expansion().poles.size(), 2u);
    EXPECT_TRUE(apart->expansion().merged.empty());
    EXPECT_FALSE(InverseLaplace::create(poly({1}), poly({0, 0}), error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
