#include <cfenv>
#include <cmath>
#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "plot/response.h"
#include "plot_test_support.h"

namespace quorvat {
namespace {

using testing::polynomial;

TEST(ComplexDivide, DividesByAPurelyRealOrImaginaryDivisorWithTheSumOfSquares) {
    double imag = 0.0;
    EXPECT_DOUBLE_EQ(complex_divide(3, 4, 2, 0, imag), 1.5);
    EXPECT_DOUBLE_EQ(imag, 2.0);
    EXPECT_DOUBLE_EQ(complex_divide(1, 2, 0, 2, imag), 1.0);  // (1 + 2j) / 2j = 1 - 0.5j
    EXPECT_DOUBLE_EQ(imag, -0.5);
}

TEST(ComplexDivide, ScaledFormFormsNoSquareOfTheDivisor) {
    double imag = 0.0;
    EXPECT_DOUBLE_EQ(complex_divide(1, 2, 3, 4, imag), 0.44);
    EXPECT_DOUBLE_EQ(imag, 0.08);
    // c*c + d*d would overflow here and give 0; the scaled form gives the exact 1.
    EXPECT_EQ(complex_divide(1e200, 1e200, 1e200, 1e200, imag), 1.0);
    EXPECT_EQ(imag, 0.0);
}

TEST(ComplexDivide, QuotientTimesDivisorGivesTheDividend) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-10.0, 10.0);
    for (int i = 0; i < 1000; ++i) {
        double a = value(random), b = value(random), c = value(random), d = value(random);
        if (i % 3 == 0) c = 0.0;
        double imag = 0.0, re = complex_divide(a, b, c, d, imag);
        EXPECT_NEAR(re * c - imag * d, a, 1e-9 * (1 + std::fabs(a)));
        EXPECT_NEAR(re * d + imag * c, b, 1e-9 * (1 + std::fabs(b)));
    }
}

TEST(ComplexDivide, ZeroDivisorGivesNaN) {
    double imag = 0.0;
    EXPECT_TRUE(std::isnan(complex_divide(1, 1, 0, 0, imag)));
    EXPECT_TRUE(std::isnan(imag));
}

class Evaluation : public ::testing::Test {
protected:
    void add_curve(const ResultPolynomial& num, const ResultPolynomial& den) {
        CurveTable& curves = state->curves;
        ++curves.curve_count;
        curves.curve_num[curves.curve_count] = num;
        curves.curve_den[curves.curve_count] = den;
    }
    // One point at w, curve j.
    void at(double w, bool hz = false) { evaluate_response(state->curves, hz, 0, w, state->response); }
    double gain(int j = 1, int k = 0) const { return state->response.gain[j - 1][k]; }
    double phase(int j = 1, int k = 0) const { return state->response.phase[j - 1][k]; }
    double delay(int j = 1, int k = 0) const { return state->response.delay[j - 1][k]; }

    std::unique_ptr<PlotterState> state = std::make_unique<PlotterState>();
};

TEST_F(Evaluation, UnitFunctionIsZeroEverywhere) {
    add_curve(polynomial({1}), polynomial({1}));
    for (double w : {0.0, 0.1, 1.0, 1e6}) {
        at(w);
        EXPECT_EQ(gain(), 0.0) << w;
        EXPECT_EQ(phase(), 0.0) << w;
        EXPECT_EQ(delay(), 0.0) << w;
    }
}

TEST_F(Evaluation, FirstOrderLowPassAtItsCorner) {
    add_curve(polynomial({1}), polynomial({1, 1}));
    at(1.0);
    EXPECT_NEAR(gain(), -3.0103, 1e-4);
    EXPECT_NEAR(gain(), 10 * std::log10(0.5), 1e-12);
    EXPECT_NEAR(phase(), -45.0, 1e-12);
    EXPECT_DOUBLE_EQ(delay(), 0.5);
}

TEST_F(Evaluation, DifferentiatorHasItsRealPartReplaced) {
    add_curve(polynomial({0, 1}), polynomial({1}));
    at(3.0);
    EXPECT_LT(phase(), 90.0);
    EXPECT_GT(phase(), 90.0 - 1e-6);
    EXPECT_NEAR(gain(), 20 * std::log10(3.0), 1e-9);
    EXPECT_EQ(delay(), 0.0);
}

TEST_F(Evaluation, ZeroFunctionPlotsNearMinus220DecibelsJustBelow90Degrees) {
    add_curve(polynomial({0}), polynomial({1}));
    at(1.0);
    EXPECT_NEAR(gain(), 10 * std::log10(1e-22 + 1e-44), 1e-9);
    EXPECT_LT(phase(), 90.0);
    EXPECT_GT(phase(), 89.9);
}

TEST_F(Evaluation, HertzAxisEvaluatesAtTwoPiTimesTheFrequency) {
    add_curve(polynomial({1}), polynomial({1, 1}));
    at(1 / two_pi, true);
    EXPECT_NEAR(gain(), -3.0103, 1e-4);
    EXPECT_NEAR(phase(), -45.0, 1e-9);
    EXPECT_NEAR(delay(), 0.5, 1e-12);  // still seconds: d/d(omega)
}

TEST_F(Evaluation, ConstantFactorsShiftMagnitudeOrTurnThePhase) {
    add_curve(polynomial({1}), polynomial({1, 1}));
    add_curve(polynomial({1}, 2.0), polynomial({1, 1}));
    add_curve(polynomial({1}, 3.0), polynomial({1, 1}, -3.0));
    at(0.7);
    EXPECT_NEAR(gain(2) - gain(1), 20 * std::log10(2.0), 1e-12);
    EXPECT_NEAR(gain(2) - gain(1), 6.0206, 1e-4);
    EXPECT_DOUBLE_EQ(phase(2), phase(1));
    EXPECT_DOUBLE_EQ(delay(2), delay(1));
    EXPECT_NEAR(gain(3), gain(1), 1e-12);
    EXPECT_NEAR(phase(3) - phase(1), 180.0, 1e-9);
    EXPECT_DOUBLE_EQ(delay(3), delay(1));
}

// Points that divide by zero or are not finite are marked not drawn (NaN); the others
// stay, the flags are untouched and nothing throws.
TEST_F(Evaluation, PointsThatDivideByZeroAreNotDrawn) {
    add_curve(polynomial({1}), polynomial({1, 0, 1}));  // pole at s = j
    add_curve(polynomial({0, 1}), polynomial({1}));     // zero at s = 0
    add_curve(polynomial({1}), ResultPolynomial{});     // a denominator never read
    add_curve(polynomial({1}), polynomial({1, 1}));
    state->settings = {0.0, 2.0, -60, 20, -180, 180, -10, 40, 2};
    state->recompute_needed = 1;
    std::feclearexcept(FE_ALL_EXCEPT);
    evaluate_pending(*state, false, false);
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
    EXPECT_EQ(state->recompute_needed, 0);

    EXPECT_TRUE(std::isnan(gain(1, 1)) && std::isnan(phase(1, 1)) && std::isnan(delay(1, 1)));
    EXPECT_DOUBLE_EQ(gain(1, 2), 20 * std::log10(1.0 / 3.0));  // 1 / (1 - 4)
    EXPECT_EQ(gain(1, 0), 0.0);

    EXPECT_LT(gain(2, 0), -200.0);  // magnitude and phase of the zero stay
    EXPECT_FALSE(std::isnan(phase(2, 0)));
    EXPECT_TRUE(std::isnan(delay(2, 0)));
    EXPECT_DOUBLE_EQ(delay(2, 1), 0.0);

    for (int k = 0; k <= 2; ++k) {
        EXPECT_TRUE(std::isnan(gain(3, k)) && std::isnan(phase(3, k)) && std::isnan(delay(3, k)));
        EXPECT_FALSE(std::isnan(gain(4, k)) || std::isnan(phase(4, k)) || std::isnan(delay(4, k)));
    }
}

TEST_F(Evaluation, GridIsAccumulatedFromWminToWmax) {
    add_curve(polynomial({1}), polynomial({1, 1}));
    state->settings = {0.1, 5.0, -60, 20, -180, 180, -10, 40, 300};
    state->recompute_needed = 1;
    evaluate_pending(*state, true, false);
    const double* w = state->response.frequency;
    EXPECT_EQ(w[0], 0.1);
    EXPECT_NEAR(w[300], 5.0, 5.0 * 1e-13);
    EXPECT_NEAR(w[150], std::sqrt(0.5), 1e-13);
    state->settings.wmin = 0.0;
    state->settings.wmax = 3.0;
    state->recompute_needed = 1;
    evaluate_pending(*state, false, false);
    EXPECT_EQ(w[0], 0.0);
    EXPECT_NEAR(w[100], 1.0, 1e-13);
    EXPECT_NEAR(w[300], 3.0, 1e-13);
    // A paint without the flag keeps the table.
    state->settings.wmax = 9.0;
    evaluate_pending(*state, false, false);
    EXPECT_NEAR(w[300], 3.0, 1e-13);
}

}  // namespace
}  // namespace quorvat
