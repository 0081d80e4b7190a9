// The polynomial arithmetic on the edge cases that decide later exact comparisons: the
// order limit of the product, division identities, the trimming and normalisation
// thresholds, the non-zero test, and the text of coefficients in listings and files.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "engine/scanner.h"
#include "engine/fp_fault.h"
#include "engine/polynomial.h"
#include "support/fake_host.h"

namespace quorvat {
namespace {

using testing::FakeHost;

Polynomial poly(std::initializer_list<double> coefficients) {
    Polynomial p{};
    p.degree = static_cast<int32_t>(coefficients.size()) - 1;
    int i = 0;
    for (double c : coefficients) p.c[i++] = c;
    return p;
}

ResultPolynomial result(std::initializer_list<double> coefficients, double cte = 1.0) {
    ResultPolynomial p{};
    p.degree = static_cast<int32_t>(coefficients.size()) - 1;
    int i = 0;
    for (double c : coefficients) p.c[i++] = c;
    p.Cte = cte;
    return p;
}

// (1 + s)^degree, whose coefficients are the binomial numbers.
Polynomial one_plus_s_to(int degree) {
    Polynomial p = poly({1.0});
    for (int k = 1; k <= degree; ++k) {
        Polynomial next{};
        next.degree = k;
        next.c[0] = 1.0;
        next.c[k] = 1.0;
        for (int i = 1; i < k; ++i) next.c[i] = p.c[i - 1] + p.c[i];
        p = next;
    }
    return p;
}

double value_at(const Polynomial& p, double s) {
    double sum = 0.0;
    for (int i = p.degree; i >= 0; --i) sum = sum * s + p.c[i];
    return sum;
}

class PolynomialTest : public ::testing::Test {
protected:
    void SetUp() override {
        fp_clear();
        arithmetic.coefficient_dispersion = 1e12;
        arithmetic.zero_threshold = 1e-12;
    }
    void TearDown() override { fp_clear(); }
    PolyArithmetic arithmetic;
    FakeHost host;
};

TEST_F(PolynomialTest, ProductUpToOrderThirtyIsAccepted) {
    Polynomial a = one_plus_s_to(15), out{};
    for (double& c : out.c) c = 99.0;  // stale contents must not leak into the sums
    ASSERT_TRUE(poly_multiply(arithmetic, host, a, a, out));
    EXPECT_EQ(out.degree, 30);
    EXPECT_EQ(arithmetic.multiplication_count, 1);
    Polynomial expected = one_plus_s_to(30);
    for (int i = 0; i <= 30; ++i) EXPECT_EQ(out.c[i], expected.c[i]) << "s^" << i;
    EXPECT_TRUE(host.lines.empty());
}

TEST_F(PolynomialTest, ProductAboveOrderThirtyFailsWithoutCountingOrWriting) {
    Polynomial a = one_plus_s_to(16), b = one_plus_s_to(15), out{};
    for (double& c : out.c) c = 7.0;
    EXPECT_FALSE(poly_multiply(arithmetic, host, a, b, out));
    EXPECT_EQ(out.degree, 31);
    for (double c : out.c) EXPECT_EQ(c, 7.0);
    EXPECT_EQ(arithmetic.multiplication_count, 0);
    ASSERT_EQ(host.lines.size(), 1u);
    EXPECT_EQ(host.lines[0], "Ordem maior que o máximo (30).");
}

TEST_F(PolynomialTest, SubtractionTakesTheLargerDegree) {
    Polynomial b = poly({1, 2});
    poly_subtract(poly({10, 20, 30, 40}), b);
    EXPECT_EQ(b.degree, 3);
    EXPECT_EQ(b.c[0], -9.0);
    EXPECT_EQ(b.c[1], -18.0);
    EXPECT_EQ(b.c[2], -30.0);
    EXPECT_EQ(b.c[3], -40.0);

    Polynomial c = poly({5, 6, 7});
    poly_subtract(poly({1}), c);
    EXPECT_EQ(c.degree, 2);
    EXPECT_EQ(c.c[0], 4.0);
    EXPECT_EQ(c.c[1], 6.0);
    EXPECT_EQ(c.c[2], 7.0);

    // Equal values cancel to exactly zero, and the degree is not trimmed.
    Polynomial d = poly({1, 1});
    poly_subtract(poly({1, 1}), d);
    EXPECT_EQ(d.degree, 1);
    EXPECT_EQ(d.c[1], 0.0);
}

TEST_F(PolynomialTest, DivisionSatisfiesTheIdentity) {
    const Polynomial dividends[] = {poly({3, -1, 4, 1, -5, 9}), poly({0.25, 1e3, -7}), poly({2, 7, 1, 8}),
                                    poly({1e-3, 0, 0, 0, 3})};
    const Polynomial divisors[] = {poly({2, 0.5, -3}), poly({-1, 4}), poly({7}), poly({1, 1, 1, 1})};
    for (const Polynomial& a : dividends)
        for (const Polynomial& b : divisors) {
            Polynomial q{}, r{};
            poly_divide(arithmetic, a, b, q, r);
            if (a.degree >= b.degree) {
                EXPECT_EQ(q.degree, a.degree - b.degree);
                EXPECT_EQ(r.degree, b.degree > 0 ? b.degree - 1 : 0);
            }
            for (double s : {-2.0, -0.5, 0.3, 1.0, 1.7}) {
                double product = q.degree >= 0 ? value_at(q, s) * value_at(b, s) : 0.0;
                double expected = value_at(a, s);
                EXPECT_NEAR(product + value_at(r, s), expected, 1e-9 * (1.0 + std::fabs(expected)))
                    << "degrees " << a.degree << "/" << b.degree << " at s = " << s;
            }
        }
    EXPECT_EQ(arithmetic.division_count, 16);
}

TEST_F(PolynomialTest, DivisionOfSSquaredPlus3SPlus2BySPlusOne) {
    Polynomial q{}, r{};
    poly_divide(arithmetic, poly({2, 3, 1}), poly({1, 1}), q, r);
    ASSERT_EQ(q.degree, 1);
    EXPECT_EQ(q.c[0], 2.0);
    EXPECT_EQ(q.c[1], 1.0);
    ASSERT_EQ(r.degree, 0);
    EXPECT_EQ(r.c[0], 0.0);
    EXPECT_EQ(arithmetic.division_count, 1);
}

TEST_F(PolynomialTest, DivisionByAHigherDegreeGivesAnEmptyQuotientAndStillCounts) {
    Polynomial q{}, r{};
    poly_divide(arithmetic, poly({3, 4}), poly({1, 2, 5}), q, r);
    EXPECT_EQ(q.degree, -1);
    EXPECT_FALSE(poly_is_nonzero(arithmetic, q));
    ASSERT_EQ(r.degree, 1);
    EXPECT_EQ(r.c[0], 3.0);
    EXPECT_EQ(r.c[1], 4.0);
    EXPECT_EQ(arithmetic.division_count, 1);
}

TEST_F(PolynomialTest, TrimmingLowersTheDegreeOnlyPastLeadingCoefficientsBelowTheThreshold) {
    Polynomial p = poly({1, 2, 1e-13});
    poly_trim(arithmetic, p);
    EXPECT_EQ(p.degree, 1);
    EXPECT_EQ(p.c[2], 1e-13);  // coefficients are not changed

    Polynomial zeros = poly({0, 0, 0});
    poly_trim(arithmetic, zeros);
    EXPECT_EQ(zeros.degree, 2);

    // The threshold is M / D: a leading coefficient equal to it stays, one just below goes.
    const double threshold = 4.0 / 1e12;
    Polynomial at = poly({4, threshold});
    poly_trim(arithmetic, at);
    EXPECT_EQ(at.degree, 1);
    Polynomial below = poly({4, std::nextafter(threshold, 0.0)});
    poly_trim(arithmetic, below);
    EXPECT_EQ(below.degree, 0);

    // Coefficients below the leading one are never touched, and the degree stops at 0.
    Polynomial inner = poly({1e-20, 1});
    poly_trim(arithmetic, inner);
    EXPECT_EQ(inner.degree, 1);
    EXPECT_EQ(inner.c[0], 1e-20);
    Polynomial tiny = poly({1e-30, 1e-43, 1e-50});
    poly_trim(arithmetic, tiny);
    EXPECT_EQ(tiny.degree, 0);
}

TEST_F(PolynomialTest, NormalisationMakesMonicAndMovesTheLeadingCoefficient) {
    ResultPolynomial p = result({2, 4});
    poly_normalise(arithmetic, p);
    EXPECT_EQ(p.degree, 1);
    EXPECT_EQ(p.c[0], 0.5);
    EXPECT_EQ(p.c[1], 1.0);
    EXPECT_EQ(p.Cte, 4.0);

    ResultPolynomial zero = result({0}, 5.0);
    poly_normalise(arithmetic, zero);
    EXPECT_EQ(zero.degree, 0);
    EXPECT_EQ(zero.c[0], 0.0);
    EXPECT_EQ(zero.Cte, 1.0);

    // Zero leading terms go, down to the constant.
    ResultPolynomial leading_zeros = result({3, 6, 0, 0});
    poly_normalise(arithmetic, leading_zeros);
    EXPECT_EQ(leading_zeros.degree, 1);
    EXPECT_EQ(leading_zeros.Cte, 6.0);
    EXPECT_EQ(leading_zeros.c[0], 0.5);
}

TEST_F(PolynomialTest, NormalisationThresholdZeroesEveryPowerStrictlyBelowIt) {
    const double threshold = 8.0 / 1e12;
    ResultPolynomial p = result({threshold, std::nextafter(threshold, 0.0), 8});
    poly_normalise(arithmetic, p);
    EXPECT_EQ(p.degree, 2);
    EXPECT_EQ(p.c[0], threshold / 8.0);
    EXPECT_EQ(p.c[1], 0.0);
    EXPECT_EQ(p.c[2], 1.0);

    // A negligible leading coefficient is zeroed, then dropped.
    ResultPolynomial leading = result({8, 1, std::nextafter(threshold, 0.0)});
    poly_normalise(arithmetic, leading);
    EXPECT_EQ(leading.degree, 1);
    EXPECT_EQ(leading.Cte, 1.0);
    EXPECT_EQ(leading.c[0], 8.0);
}

TEST_F(PolynomialTest, NonZeroMeansStrictlyAboveTheZeroThreshold) {
    EXPECT_FALSE(poly_is_nonzero(arithmetic, poly({0, 1e-12, -1e-12})));
    EXPECT_TRUE(poly_is_nonzero(arithmetic, poly({0, std::nextafter(1e-12, 1.0)})));
    EXPECT_TRUE(poly_is_nonzero(arithmetic, poly({0, -2e-12})));
    Polynomial empty = poly({5});
    empty.degree = -1;
    EXPECT_FALSE(poly_is_nonzero(arithmetic, empty));
    // Only the coefficients in use count.
    Polynomial stale = poly({0, 5});
    stale.degree = 0;
    EXPECT_FALSE(poly_is_nonzero(arithmetic, stale));
    // With Z = 0 anything not exactly zero counts; with Z < 0 even zero does.
    arithmetic.zero_threshold = 0.0;
    EXPECT_TRUE(poly_is_nonzero(arithmetic, poly({1e-300})));
    EXPECT_FALSE(poly_is_nonzero(arithmetic, poly({0.0, -0.0})));
    arithmetic.zero_threshold = -1.0;
    EXPECT_TRUE(poly_is_nonzero(arithmetic, poly({0.0})));
}

TEST_F(PolynomialTest, ZeroDispersionIsAFloatingPointFault) {
    arithmetic.coefficient_dispersion = 0.0;
    Polynomial p = poly({1, 2});
    EXPECT_THROW(poly_trim(arithmetic, p), FloatingPointFault);
    ResultPolynomial r = result({1, 2});
    EXPECT_THROW(poly_normalise(arithmetic, r), FloatingPointFault);
    // The throw clears the flags, so the next command starts clean.
    EXPECT_EQ(std::fetestexcept(fp_fault_flags), 0);
}

TEST_F(PolynomialTest, ProductBeyondTheDoubleRangeIsAFloatingPointFault) {
    Polynomial out{};
    EXPECT_THROW(poly_multiply(arithmetic, host, poly({1e200}), poly({1e200}), out), FloatingPointFault);
}

TEST(CoefficientText, FixedWithTwelveDecimalsUnlessSmallAndNonZero) {
    EXPECT_EQ(format_coefficient(1.0), " 1.000000000000");
    EXPECT_EQ(format_coefficient(-0.5), "-0.500000000000");
    EXPECT_EQ(format_coefficient(0.0), " 0.000000000000");
    EXPECT_EQ(format_coefficient(-123.25), "-123.250000000000");
    EXPECT_EQ(format_coefficient(1e-4), " 0.000100000000");  // not below 1e-4
    EXPECT_EQ(format_coefficient(1e20), "100000000000000000000.000000000000");
    // Below 1e-4 every digit is kept, and the text reads back to the same double.
    for (double v : {-3.33e-12, 1e-13, 9.999999999999999e-5, -1.2345678901234567e-300, 4.9e-324}) {
        std::string text = format_coefficient(v);
        EXPECT_NE(text.find('e'), std::string::npos) << text;
        EXPECT_EQ(lenient_to_double(text), v) << text;
    }
    EXPECT_EQ(format_coefficient(-3.33e-12), "-3.3300000000000001e-12");
    // The largest double is written whole.
    EXPECT_EQ(format_coefficient(1.7976931348623157e308).size(), 309u + 13u);
}

TEST(ResultListing, OneLinePerCoefficientThenTheConstant) {
    FakeHost host;
    print_result_polynomial(host, result({1, -0.5, 2e-7}, 250.0));
    ASSERT_EQ(host.lines.size(), 4u);
    EXPECT_EQ(host.lines[0], "a0:  1.000000000000");
    EXPECT_EQ(host.lines[1], "a1: -0.500000000000");
    EXPECT_EQ(host.lines[2], "a2: 1.9999999999999999e-07");
    EXPECT_EQ(host.lines[3], "Cte: 250.000000000000");
}

TEST(PolynomialFile, DegreeCoefficientsAndConstantOnePerLine) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(poly_write(result({0, -1e-13, 1}, 0.25), file));
    std::rewind(file);
    std::string text;
    char buffer[256];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fclose(file);
    EXPECT_EQ(text, "2\n 0.000000000000\n-1.0000000000000000e-13\n 1.000000000000\n 0.250000000000\n");
}

TEST(PolynomialFile, WriteErrorIsReported) {
    std::FILE* file = std::fopen("/dev/null", "r");  // a stream that cannot be written
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(poly_write(result({1}), file));
    std::fclose(file);
}

}  // namespace
}  // namespace quorvat
