// quorvat-cli tempo's arithmetic: the certified expansion and its 501-point table.
#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include "time/inverse_laplace.h"

namespace {

using quorvat::ResultPolynomial;

ResultPolynomial poly(const std::vector<double>& ascending, double cte = 1.0) {
    ResultPolynomial p{};
    for (std::size_t i = 0; i < ascending.size(); ++i) p.c[i] = ascending[i];
    p.degree = static_cast<int>(ascending.size()) - 1;
    p.Cte = cte;
    return p;
}

// prod (s + k), k = 1..n, in ascending powers.
ResultPolynomial real_poles(int n) {
    std::vector<double> c = {1.0};
    for (int k = 1; k <= n; ++k) {
        std::vector<double> next(c.size() + 1, 0.0);
        for (std::size_t i = 0; i < c.size(); ++i) next[i + 1] += c[i], next[i] += k * c[i];
        c = next;
    }
    return poly(c);
}

std::vector<double> times(double span) {
    std::vector<double> t(501);
    for (int i = 0; i <= 500; ++i) t[i] = span * i / 500.0;
    return t;
}

void run(benchmark::State& state, const ResultPolynomial& num, const ResultPolynomial& den, double span) {
    std::string error;
    for (auto _ : state) {
        auto x = quorvat::InverseLaplace::create(num, den, error);
        quorvat::TimeTable table = x->tabulate(times(span));
        benchmark::DoNotOptimize(table.values.data());
        state.counters["bits"] = static_cast<double>(table.precision_bits);
    }
}

void BM_RlcStep(benchmark::State& state) { run(state, poly({5, 3.5, 1}, 0.2), poly({0, 1, 1, 1}), 25); }
void BM_TwentyRealPoles(benchmark::State& state) { run(state, poly({1}), real_poles(20), 5); }
void BM_RoundedTripleRoot(benchmark::State& state) {
    run(state, poly({1}), poly({0.037037037037, 0.333333333333, 1, 1}), 30);
}

void BM_TalbotCheckRlc(benchmark::State& state) {
    std::string error;
    auto x = quorvat::InverseLaplace::create(poly({5, 3.5, 1}, 0.2), poly({0, 1, 1, 1}), error);
    for (auto _ : state) benchmark::DoNotOptimize(x->talbot(20.0, 1.2));
}

BENCHMARK(BM_RlcStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwentyRealPoles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RoundedTripleRoot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TalbotCheckRlc)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
