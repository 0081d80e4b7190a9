// The plotter's costs: evaluating 20 curves of degree 30 on 601 grid points, and a
// repaint of stored responses (20 curves x 3 quantities x 600 segments) onto a QImage.
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <memory>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include "plot/plot_painter.h"
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
