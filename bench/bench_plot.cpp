// The plotter's costs: evaluating 20 curves of degree 30 on 601 grid points, a repaint of
// stored responses (20 curves x 3 quantities x 600 segments) onto a QImage, and the ways
// to evaluate a curve of high degree (an RC ladder's 1/D(jω), degree 100 and 400): Horner
// in double, the plotter's double-double with arb where its error bound is not small, and
// the certified roots that an evaluation from the roots would need first, each with its
// largest gain error (dB) against arb on the file's exact coefficients.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <acb_poly.h>
#include <arb_poly.h>
#include <benchmark/benchmark.h>

#include "plot/plot_painter.h"
#include "certified/certified_roots.h"
#include "engine/polynomial.h"
#include "plot/response.h"

namespace {

using quorvat::PlotterState;
using quorvat::ResultPolynomial;

// The product of 15 second-order sections s^2 + 2 zeta w s + w^2, with w spread from
// 0.1 to 5 rad/s: a polynomial of degree 30 whose response stays in view.
ResultPolynomial sections(double zeta, double shift) {
    ResultPolynomial p{};
    p.degree = 0;
    p.c[0] = 1.0;
    p.Cte = 1.0;
    for (int i = 0; i < 15; ++i) {
        double w = 0.1 * std::pow(50.0, (i + shift) / 15.0);
        double section[3] = {w * w, 2 * zeta * w, 1.0};
        ResultPolynomial product{};
        product.degree = p.degree + 2;
        for (int a = 0; a <= p.degree; ++a)
            for (int b = 0; b < 3; ++b) product.c[a + b] += p.c[a] * section[b];
        product.Cte = 1.0;
        p = product;
    }
    return p;
}

std::unique_ptr<PlotterState> twenty_curves(int segments) {
    auto state = std::make_unique<PlotterState>();
    state->settings = {0.1, 5.0, -60, 20, -180, 180, -10, 40, segments};
    state->curves.curve_count = quorvat::max_curves;
    for (int j = 1; j <= quorvat::max_curves; ++j) {
        state->curves.curve_num[j] = sections(0.2 + 0.02 * j, 0.05 * j);
        state->curves.curve_den[j] = sections(0.5, 0.05 * j + 0.3);
    }
    state->plot_ready = 1;
    state->recompute_needed = 1;
    return state;
}

void BM_Evaluate20CurvesOfDegree30At601Points(benchmark::State& bench) {
    auto state = twenty_curves(quorvat::max_segments);
    for (auto _ : bench) {
        state->recompute_needed = 1;
        quorvat::evaluate_pending(*state, true, false);
        benchmark::DoNotOptimize(state->response.gain[19][600]);
    }
}
BENCHMARK(BM_Evaluate20CurvesOfDegree30At601Points)->Unit(benchmark::kMicrosecond);

// prod (s + 4 sin^2((2k-1) pi / (2 (2n+1)))), the open RC ladder's denominator, each
// coefficient the double nearest to the exact one.
quorvat::WidePolynomial ladder(int n) {
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
    quorvat::WidePolynomial w;
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

// 601 frequencies on a logarithmic grid over the poles, 1e-4 to 10 rad/s.
std::vector<double> grid() {
    std::vector<double> w(601);
    for (int k = 0; k <= 600; ++k) w[static_cast<std::size_t>(k)] = 1e-4 * std::pow(1e5, k / 600.0);
    return w;
}

// |1/D(jω)| in dB from D's exact coefficients at 1024 bits.
std::vector<double> reference_gain(const quorvat::WidePolynomial& d, const std::vector<double>& omegas) {
    constexpr slong prec = 1024;
    acb_poly_t p;
    acb_t s, value;
    acb_poly_init(p);
    acb_init(s);
    acb_init(value);
    for (std::size_t i = 0; i < d.c.size(); ++i) {
        acb_set_d(s, d.c[i]);
        acb_poly_set_coeff_acb(p, static_cast<slong>(i), s);
    }
    std::vector<double> gain;
    for (double omega : omegas) {
        acb_zero(s);
        arb_set_d(acb_imagref(s), omega);
        acb_poly_evaluate(value, p, s, prec);
        acb_abs(acb_realref(s), value, prec);
        arb_log(acb_realref(s), acb_realref(s), prec);
        gain.push_back(-20 * arf_get_d(arb_midref(acb_realref(s)), ARF_RND_NEAR) / std::log(10.0));
    }
    acb_poly_clear(p);
    acb_clear(s);
    acb_clear(value);
    return gain;
}

// Horner at jω in double, as the design evaluates degree 30.
double horner_gain(const quorvat::WidePolynomial& d, double omega) {
    double re = 0.0, im = 0.0;
    for (std::size_t i = d.c.size(); i-- > 0;) {
        double t = re * omega;
        re = d.c[i] - omega * im;
        im = t;
    }
    return -10 * std::log10(re * re + im * im);
}

double wide_gain(const quorvat::WideCurve& curve, double omega) {
    double gain, phase, delay;
    quorvat::wide_response(curve, omega, gain, phase, delay);
    return gain;
}

template <typename Gain>
void evaluate_high_degree(benchmark::State& bench, Gain gain) {
    const int n = static_cast<int>(bench.range(0));
    quorvat::WidePolynomial d = ladder(n);
    quorvat::WidePolynomial one;
    one.c = {1.0};
    quorvat::WideCurve curve{true, one, d, 1.0, 1.0};
    std::vector<double> omegas = grid(), exact = reference_gain(d, omegas);
    double worst = 0.0;
    for (std::size_t k = 0; k < omegas.size(); ++k) {
        double error = std::fabs(gain(d, curve, omegas[k]) - exact[k]);
        worst = std::isfinite(error) ? std::max(worst, error) : INFINITY;
    }
    for (auto _ : bench)
        for (double omega : omegas) benchmark::DoNotOptimize(gain(d, curve, omega));
    bench.counters["worst_dB_error"] = worst;
}

void BM_HighDegree601PointsHornerDouble(benchmark::State& bench) {
    evaluate_high_degree(bench, [](const auto& d, const auto&, double w) { return horner_gain(d, w); });
}
BENCHMARK(BM_HighDegree601PointsHornerDouble)->Arg(100)->Arg(400)->Unit(benchmark::kMicrosecond);

void BM_HighDegree601PointsPlotter(benchmark::State& bench) {
    evaluate_high_degree(bench, [](const auto&, const auto& curve, double w) { return wide_gain(curve, w); });
}
BENCHMARK(BM_HighDegree601PointsPlotter)->Arg(100)->Arg(400)->Unit(benchmark::kMicrosecond);

// What an evaluation from the roots would cost first: the certified roots of the file.
void BM_CertifiedRootsOfTheFile(benchmark::State& bench) {
    quorvat::WidePolynomial d = ladder(static_cast<int>(bench.range(0)));
    for (auto _ : bench) benchmark::DoNotOptimize(quorvat::certified_polynomial_roots(d, 1.0, 64).roots.size());
}
BENCHMARK(BM_CertifiedRootsOfTheFile)->Arg(50)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_RepaintWithoutEvaluation(benchmark::State& bench) {
    const int width = static_cast<int>(bench.range(0)), height = static_cast<int>(bench.range(1));
    auto state = twenty_curves(quorvat::max_segments);
    quorvat::PlotChecks checks;
    QImage image(width, height, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        quorvat::paint_plot(painter, width, height, *state, checks);  // evaluates once
    }
    for (auto _ : bench) {
        QPainter painter(&image);
        quorvat::paint_plot(painter, width, height, *state, checks);
    }
}
BENCHMARK(BM_RepaintWithoutEvaluation)->Args({680, 442})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qt_argc = 1;
    QGuiApplication app(qt_argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
