#include "symbolic/approximation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <numeric>

namespace quorvat::symbolic {

namespace {

using Real = long double;  // wide range: products of many small element values
using Complex = std::complex<Real>;

// The value of every term of p at the symbols' values.
std::vector<Real> term_values(const Mpoly& p, const SymbolTable& symbols) {
    const fmpz_mpoly_ctx_struct* ctx = p.ctx();
    std::vector<ulong> exponents(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx)));
    std::vector<Real> values;
    fmpz_t coefficient;
    fmpz_init(coefficient);
    for (slong t = 0; t < p.length(); ++t) {
        fmpz_mpoly_get_term_exp_ui(exponents.data(), p.get(), t, ctx);
        fmpz_mpoly_get_term_coeff_fmpz(coefficient, p.get(), t, ctx);
        slong exponent = 0;
        double mantissa = fmpz_get_d_2exp(&exponent, coefficient);
        Real value = std::ldexp(static_cast<Real>(mantissa), static_cast<int>(exponent));
        for (std::size_t i = 0; i < symbols.symbols.size(); ++i)
            if (exponents[i + 1] != 0)
                value *= std::pow(static_cast<Real>(symbols.symbols[i].value), static_cast<Real>(exponents[i + 1]));
        values.push_back(value);
    }
    fmpz_clear(coefficient);
    return values;
}

// The coefficients of p in s at the symbols' values, by power.
std::map<ulong, Real> coefficients(const Mpoly& p, const std::vector<Real>& values) {
    std::map<ulong, Real> by_power;
    for (slong t = 0; t < p.length(); ++t)
        by_power[fmpz_mpoly_get_term_var_exp_ui(p.get(), t, 0, p.ctx())] += values[static_cast<std::size_t>(t)];
    return by_power;
}

Complex evaluate(const std::map<ulong, Real>& by_power, Complex s) {
    Complex sum = 0;
    for (const auto& [power, c] : by_power) sum += c * std::pow(s, static_cast<int>(power));
    return sum;
}

// Drops the smallest terms of each power of p; returns the kept polynomial.
Mpoly drop_small_terms(const Mpoly& p, const std::vector<Real>& values, double tolerance, ApproximationReport& report) {
    const fmpz_mpoly_ctx_struct* ctx = p.ctx();
    std::vector<bool> keep(values.size(), true);
    for (slong first = 0; first < p.length();) {
        const ulong power = fmpz_mpoly_get_term_var_exp_ui(p.get(), first, 0, ctx);
        slong end = first;
        while (end < p.length() && fmpz_mpoly_get_term_var_exp_ui(p.get(), end, 0, ctx) == power) ++end;
        std::vector<slong> order(static_cast<std::size_t>(end - first));
        std::iota(order.begin(), order.end(), first);
        std::stable_sort(order.begin(), order.end(), [&](slong a, slong b) {
            return std::fabs(values[static_cast<std::size_t>(a)]) < std::fabs(values[static_cast<std::size_t>(b)]);
        });
        Real total = 0;
        for (slong t = first; t < end; ++t) total += values[static_cast<std::size_t>(t)];
        Real dropped = 0;
        for (slong t : order) {
            Real next = dropped + std::fabs(values[static_cast<std::size_t>(t)]);
            if (!(next <= static_cast<Real>(tolerance) * std::fabs(total))) break;
            dropped = next;
            keep[static_cast<std::size_t>(t)] = false;
        }
        first = end;
    }
    Mpoly kept(p);
    fmpz_mpoly_zero(kept.get(), ctx);
    std::vector<ulong> exponents(static_cast<std::size_t>(fmpz_mpoly_ctx_nvars(ctx)));
    fmpz_t coefficient;
    fmpz_init(coefficient);
    for (slong t = 0; t < p.length(); ++t) {
        if (!keep[static_cast<std::size_t>(t)]) {
            ++report.dropped;
            continue;
        }
        ++report.kept;
        fmpz_mpoly_get_term_exp_ui(exponents.data(), p.get(), t, ctx);
        fmpz_mpoly_get_term_coeff_fmpz(coefficient, p.get(), t, ctx);
        fmpz_mpoly_push_term_fmpz_ui(kept.get(), coefficient, exponents.data(), ctx);
    }
    fmpz_clear(coefficient);
    fmpz_mpoly_sort_terms(kept.get(), ctx);
    return kept;
}

}  // namespace

ApproximationReport approximate(SymbolicResult& result, double tolerance, const std::vector<double>& frequencies) {
    ApproximationReport report;
    for (SymbolicFunction& f : result.functions) {
        std::vector<Real> top = term_values(f.numerator, result.symbols);
        std::vector<Real> bottom = term_values(f.denominator, result.symbols);
        Mpoly numerator = drop_small_terms(f.numerator, top, tolerance, report);
        Mpoly denominator = drop_small_terms(f.denominator, bottom, tolerance, report);
        std::map<ulong, Real> n0 = coefficients(f.numerator, top), d0 = coefficients(f.denominator, bottom);
        std::map<ulong, Real> n1 = coefficients(numerator, term_values(numerator, result.symbols));
        std::map<ulong, Real> d1 = coefficients(denominator, term_values(denominator, result.symbols));
        for (double w : frequencies) {
            const Complex s(0, w);
            const Complex exact = evaluate(n0, s) / evaluate(d0, s);
            const Complex approximate = evaluate(n1, s) / evaluate(d1, s);
            if (!std::isfinite(std::abs(exact)) || std::abs(exact) == 0) continue;
            Real change = std::abs(approximate - exact) / std::abs(exact);
            if (!std::isfinite(change)) change = INFINITY;
            report.largest_change = std::max(report.largest_change, static_cast<double>(change));
        }
        f.numerator = std::move(numerator);
        f.denominator = std::move(denominator);
    }
    return report;
}

}  // namespace quorvat::symbolic
