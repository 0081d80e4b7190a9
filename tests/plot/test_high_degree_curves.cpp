// Curves of any degree: polynomial files read whole up to the guard, the scale line, and
// the evaluation in double-double (arb where that is not enough) checked against arb on the
// files' exact coefficients.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <acb_poly.h>
#include <arb_poly.h>
#include <gtest/gtest.h>

#include "engine/c_locale.h"
#include "plot/plot_files.h"
#include "plot_test_support.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

using testing::RecordingLog;
using testing::ScratchDir;

// Cte * prod (s + lambda_k) of an open RC ladder of n sections, lambda_k = 4 sin^2((2k-1)pi/(2(2n+1))),
// each coefficient the double nearest to the exact one.
WidePolynomial ladder_denominator(int n) {
    constexpr slong prec = 256;
    arb_ptr roots = _arb_vec_init(n);
    arb_t t;
    arb_init(t);
    for (int k = 1; k <= n; ++k) {
        arb_const_pi(t, prec);
        arb_mul_si(t, t, 2 * k - 1, prec);
        arb_div_si(t, t, 2 * (2 * n + 1), prec);
        arb_sin(t, t, prec);
        arb_sqr(t, t, prec);
        arb_mul_si(roots + k - 1, t, -4, prec);
    }
    arb_poly_t p;
    arb_poly_init(p);
    arb_poly_product_roots(p, roots, n, prec);
    WidePolynomial w;
    w.c.resize(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        arb_poly_get_coeff_arb(t, p, i);
        w.c[static_cast<std::size_t>(i)] = arf_get_d(arb_midref(t), ARF_RND_NEAR);
    }
    arb_poly_clear(p);
    arb_clear(t);
    _arb_vec_clear(roots, n);
    return w;
}

std::string file_text(const WidePolynomial& p, double scale = 1.0) {
    CLocaleScope c_numbers;  // the writer's numbers, whatever the test's locale
    std::string text = std::to_string(p.degree()) + "\n";
    for (double c : p.c) text += format_exact_coefficient(c) + "\n";
    text += format_exact_coefficient(p.Cte) + "\n";
    if (scale != 1.0) {
        char line[40];
        std::snprintf(line, sizeof line, "escala %.17g\n", scale);
        text += line;
    }
    return text;
}

// 1 / D(jω) from D's exact coefficients at 1024 bits: gain (dB), phase (degrees), delay (s).
void reference(const WidePolynomial& d, double omega, double& gain, double& phase, double& delay) {
    constexpr slong prec = 1024;
    acb_poly_t p, dp;
    acb_t s, value, slope;
    acb_poly_init(p);
    acb_poly_init(dp);
    acb_init(s);
    acb_init(value);
    acb_init(slope);
    for (std::size_t i = 0; i < d.c.size(); ++i) {
        acb_set_d(s, d.c[i]);
        acb_poly_set_coeff_acb(p, static_cast<slong>(i), s);
    }
    acb_poly_derivative(dp, p, prec);
    acb_zero(s);
    arb_set_d(acb_imagref(s), omega);
    acb_poly_evaluate(value, p, s, prec);
    acb_poly_evaluate(slope, dp, s, prec);
    acb_div(slope, slope, value, prec);
    delay = arf_get_d(arb_midref(acb_realref(slope)), ARF_RND_NEAR);
    acb_abs(acb_realref(slope), value, prec);
    arb_log(acb_realref(slope), acb_realref(slope), prec);
    gain = -20 * arf_get_d(arb_midref(acb_realref(slope)), ARF_RND_NEAR) / std::log(10.0);
    acb_arg(acb_realref(slope), value, prec);
    phase = -arf_get_d(arb_midref(acb_realref(slope)), ARF_RND_NEAR) * 180 / M_PI;
    acb_poly_clear(p);
    acb_poly_clear(dp);
    acb_clear(s);
    acb_clear(value);
    acb_clear(slope);
}

TEST(HighDegreeCurves, EvaluationMatchesArbOnTheExactCoefficients) {
    for (int n : {40, 100, 400}) {
        WidePolynomial den = ladder_denominator(n);
        WideCurve curve;
        curve.used = true;
        curve.num.c = {1.0};
        curve.den = den;
        // On the poles' moduli, where the coefficients cancel the most, and beyond them,
        // where D(jω) leaves the double range.
        for (double omega : {1e-4, 3.1e-4, 0.01, 0.5, 1.0, 2.0, 3.99, 10.0, 1e4}) {
            double gain, phase, delay, g, f, a;
            wide_response(curve, omega, gain, phase, delay);
            reference(den, omega, g, f, a);
            EXPECT_NEAR(gain, g, 1e-9 * std::max(1.0, std::fabs(g))) << n << " " << omega;
            EXPECT_NEAR(std::remainder(phase - f, 360.0), 0.0, 1e-8) << n << " " << omega;
            EXPECT_NEAR(delay, a, 1e-9 * std::max(1.0, std::fabs(a))) << n << " " << omega;
        }
    }
}

TEST(HighDegreeCurves, ScaleLineRoundTrip) {
    // The writer's "escala %.17g" after Cte reads back as the same double; text after Cte
    // that is not a scale line stays unread, as the design's reader leaves it.
    WidePolynomial p = ladder_denominator(35);
    for (double w : {0.1, 1.0 / 3.0, 1e-300, 6.02214076e23, 4.9e-324, 1.7976931348623157e308}) {
        std::string text = file_text(p, w);
        Scanner in(text);
        PolynomialFile read;
        RecordingLog log;
        ASSERT_TRUE(poly_read_any_degree(in, read, log)) << w;
        EXPECT_EQ(read.scale, w);
        EXPECT_EQ(read.p.c, p.c);
    }
    for (const char* tail : {"", "\nx\n", "\nescalas 3\n"}) {
        std::string text = file_text(p) + tail;
        Scanner in(text);
        PolynomialFile read;
        RecordingLog log;
        ASSERT_TRUE(poly_read_any_degree(in, read, log)) << tail;
        EXPECT_EQ(read.scale, 1.0) << tail;
    }
}

TEST(HighDegreeCurves, PlotarReadsEveryDegreeUpToTheGuardAndTheScale) {
    ScratchDir dir;
    WidePolynomial one;
    one.c = {1.0};
    WidePolynomial first_order;
    first_order.c = {1.0, 1.0};
    std::string over = std::to_string(max_file_degree + 1) + "\n";
    struct Case {
        std::string num, den;
        bool read, wide;
        std::string log;  // a line the log must hold
    } cases[] = {
        {file_text(one), file_text(ladder_denominator(100)), true, true, "Lidas 1 funções"},
        {file_text(one), file_text(ladder_denominator(400)), true, true, "Lidas 1 funções"},
        {file_text(one), file_text(ladder_denominator(30)), true, false, "Lidas 1 funções"},
        {file_text(one, 1e3), file_text(first_order, 1e3), true, true, "Lidas 1 funções"},
        {file_text(one), over, false, false, "Polinômio de grau 40001 acima do limite de 40000"},
        {file_text(one), "31\n1\n", false, false, "Arquivo " + dir.file("f.d1") + " inválido."},
        {file_text(one), "1\n1\n1\n1\nescala 0\n", false, false, "Arquivo " + dir.file("f.d1") + " inválido."},
    };
    for (const Case& c : cases) {
        dir.write("f.n1", c.num);
        dir.write("f.d1", c.den);
        auto state = std::make_unique<PlotterState>();
        RecordingLog log;
        PlotTexts texts;
        texts.wmin = "0.001";
        texts.wmax = "10000";
        bool read = plotar(*state, {dir.file("f.n1"), dir.file("f.d1")}, texts, log);
        EXPECT_EQ(read, c.read) << c.log;
        EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), c.log), log.lines.end()) << c.log;
        if (!read) continue;
        EXPECT_EQ(state->curves.wide[1].used, c.wide) << c.log;
        evaluate_pending(*state, true, false);
        int finite = 0;
        for (int k = 0; k <= state->settings.segments; ++k) finite += std::isfinite(state->response.gain[0][k]);
        EXPECT_EQ(finite, state->settings.segments + 1) << c.log;
    }
    // The scale: 1 / (s/1000 + 1) is -3.01 dB and -45 degrees at 1000 rad/s.
    dir.write("f.n1", file_text(one, 1e3));
    dir.write("f.d1", file_text(first_order, 1e3));
    auto state = std::make_unique<PlotterState>();
    RecordingLog log;
    ASSERT_TRUE(plotar(*state, {dir.file("f.n1"), dir.file("f.d1")}, PlotTexts{}, log));
    double gain, phase, delay;
    wide_response(state->curves.wide[1], 1000.0, gain, phase, delay);
    EXPECT_NEAR(gain, -10 * std::log10(2.0), 1e-12);
    EXPECT_NEAR(phase, -45.0, 1e-12);
    EXPECT_NEAR(delay, 0.5e-3, 1e-15);
}

}  // namespace
}  // namespace quorvat
