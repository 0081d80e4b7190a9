#include "numeric/verification.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <Eigen/Sparse>
#include <Eigen/SparseLU>

#include "engine/fp_fault.h"
#include "engine/results.h"
#include "engine/stamp_rules.h"

namespace quorvat {

namespace {

using Complex = std::complex<double>;
using Triplet = Eigen::Triplet<double>;

// Above this many variables the direct solution is a sparse LU: a circuit's MNA matrix
// has a few entries a row, and the dense LU's n^3 dominates from about here.
constexpr int sparse_threshold = 60;
// Above this many variables the natural frequencies come from the results' denominators
// rather than the pencil's generalized eigenvalues (an n^3 dense computation).
constexpr int eigenvalue_threshold = 200;

// A(s) = a0 + s a1 and b(s) = b0 + s b1 over variables 1..n, stamped from the circuit's
// elements in double precision, as the floating-point assembly does.
struct Pencil {
    int n = 0;
    std::vector<Triplet> a0, a1;
    Eigen::VectorXd b0, b1;
};

struct PencilStamp {
    Pencil& p;
    void add(int r, int c, int power, int sign, const StampTerm& t) {
        if (r == 0 || c == 0) return;
        double value = t.kind == StampTerm::reciprocal ? 1.0 / t.v : t.kind == StampTerm::product ? t.v * t.w : t.v;
        if (sign < 0) value = -value;
        if (c == p.n + 1)
            (power == 1 ? p.b1 : p.b0)(r - 1) += value;
        else
            (power == 1 ? p.a1 : p.a0).emplace_back(r - 1, c - 1, value);
    }
};

Pencil assembled_pencil(const EngineTables& tables) {
    Pencil p;
    p.n = tables.variable_count;
    p.b0 = Eigen::VectorXd::Zero(p.n);
    p.b1 = Eigen::VectorXd::Zero(p.n);
    PencilStamp target{p};
    for (int j = 1; j <= tables.element_count; ++j) stamp_element(target, tables, tables.elements[j]);
    return p;
}

Eigen::MatrixXd dense(const std::vector<Triplet>& entries, int n) {
    Eigen::MatrixXd m = Eigen::MatrixXd::Zero(n, n);
    for (const Triplet& t : entries) m(t.row(), t.col()) += t.value();
    return m;
}

using LongComplex = std::complex<long double>;

// Horner's rule in extended precision and range: a result of degree 100 keeps its digits
// away from its roots, and its value at high frequencies (1e297 s^54 at 1e10 rad/s) stays
// finite until the quotient is taken.
LongComplex evaluate(const WidePolynomial& p, Complex s) {
    LongComplex value = 0.0L, x(s.real(), s.imag());
    for (int i = p.degree(); i >= 0; --i) value = value * x + static_cast<long double>(p.c[i]);
    return value;
}

// Cte_n N(s) / (Cte_d D(s)). Circuits that the elimination's tables hold keep the
// evaluation in double precision that their reports were made with.
Complex evaluate_ratio(const WidePolynomial& num, const WidePolynomial& den, Complex s, bool extended) {
    if (!extended) {
        auto in_double = [&](const WidePolynomial& p) {
            Complex value = 0.0;
            for (int i = p.degree(); i >= 0; --i) value = value * s + p.c[i];
            return value;
        };
        return (num.Cte / den.Cte) * in_double(num) / in_double(den);
    }
    LongComplex value = static_cast<long double>(num.Cte) / static_cast<long double>(den.Cte) * evaluate(num, s) /
                        evaluate(den, s);
    return {static_cast<double>(value.real()), static_cast<double>(value.imag())};
}

// The result of variable k as written: the exact one, or the elimination's.
WidePolynomial result_numerator(const EngineTables& tables, int k) {
    return tables.results_exact ? tables.exact_num[k] : widen(tables.num[k]);
}
WidePolynomial result_denominator(const EngineTables& tables, int k) {
    return tables.results_exact ? tables.exact_den[k] : widen(tables.den[k]);
}

// The moduli of the pencil's finite, non-zero generalized eigenvalues. Eigenvalues of
// rows without any s term come out infinite (beta near 0) and those of a singular a0
// near 0; both are told apart from the circuit's own frequencies by the natural scale
// max|a0| / max|a1|.
std::vector<double> natural_frequencies(const Pencil& pencil) {
    std::vector<double> moduli;
    if (pencil.n == 0) return moduli;
    Eigen::MatrixXd a0 = dense(pencil.a0, pencil.n), a1 = dense(pencil.a1, pencil.n);
    double norm0 = a0.cwiseAbs().maxCoeff(), norm1 = a1.cwiseAbs().maxCoeff();
    if (norm0 == 0.0 || norm1 == 0.0) return moduli;
    double scale = norm0 / norm1;
    Eigen::GeneralizedEigenSolver<Eigen::MatrixXd> solver(a0, a1, false);
    if (solver.info() != Eigen::Success) return moduli;
    for (Eigen::Index i = 0; i < solver.alphas().size(); ++i) {
        double beta = std::abs(solver.betas()(i));
        double alpha = std::abs(Complex(solver.alphas()(i)));
        if (beta == 0.0) continue;
        double modulus = alpha / beta;
        if (std::isfinite(modulus) && modulus > 1e-8 * scale && modulus < 1e8 * scale) moduli.push_back(modulus);
    }
    return moduli;
}

// Bounds on the moduli of the non-zero roots of a monic polynomial (Fujiwara's bound on
// it and on its reversal): a large circuit's frequency range without an eigenvalue
// computation.
void widen_root_range(const WidePolynomial& p, double& low, double& high) {
    int first = 0;
    while (first < p.degree() && p.c[first] == 0.0) ++first;
    int degree = p.degree() - first;
    if (degree < 1) return;
    auto coefficient = [&](int i) { return std::fabs(p.c[first + i]); };
    double upper = 0.0, lower_inverse = 0.0;
    for (int i = 1; i <= degree; ++i) {
        upper = std::max(upper, std::pow(coefficient(degree - i) / coefficient(degree), 1.0 / i));
        lower_inverse = std::max(lower_inverse, std::pow(coefficient(i) / coefficient(0), 1.0 / i));
    }
    if (std::isfinite(upper) && upper > 0.0) high = std::max(high, 2.0 * upper);
    if (std::isfinite(lower_inverse) && lower_inverse > 0.0) low = std::min(low, 0.5 / lower_inverse);
}

// x(s) / s from the assembled system by complex LU (the same integration adjustment as
// the results); false where the system is singular or not a number.
bool direct_values(const Pencil& p, Complex s, Eigen::VectorXcd& values) {
    Eigen::VectorXcd b = p.b0.cast<Complex>() + s * p.b1.cast<Complex>();
    if (p.n <= sparse_threshold) {
        Eigen::MatrixXcd a = dense(p.a0, p.n).cast<Complex>() + s * dense(p.a1, p.n).cast<Complex>();
        Eigen::PartialPivLU<Eigen::MatrixXcd> lu(a);
        if (!(lu.rcond() > 1e-14)) return false;
        values = lu.solve(b) / s;
        return true;
    }
    std::vector<Eigen::Triplet<Complex>> entries;
    entries.reserve(p.a0.size() + p.a1.size());
    for (const Triplet& t : p.a0) entries.emplace_back(t.row(), t.col(), Complex(t.value()));
    for (const Triplet& t : p.a1) entries.emplace_back(t.row(), t.col(), s * t.value());
    Eigen::SparseMatrix<Complex> a(p.n, p.n);
    a.setFromTriplets(entries.begin(), entries.end());
    a.makeCompressed();
    Eigen::SparseLU<Eigen::SparseMatrix<Complex>, Eigen::COLAMDOrdering<int>> lu;
    lu.compute(a);
    if (lu.info() != Eigen::Success) return false;
    Eigen::VectorXcd x = lu.solve(b);
    if (lu.info() != Eigen::Success) return false;
    // No condition estimate for the sparse LU: the residual tells a singular system.
    double residual = (a * x - b).norm(), scale = b.norm() + x.norm() * a.cwiseAbs().sum() / p.n;
    if (!(residual <= 1e-10 * scale)) return false;
    values = x / s;
    return true;
}

// The exact results at s; false where one of them has a pole there.
bool exact_values(const EngineTables& tables, Complex s, Eigen::VectorXcd& values) {
    for (int k : result_variables(tables)) {
        if (evaluate(tables.exact_den[k], s) == 0.0L) return false;
        values(k - 1) = evaluate_ratio(tables.exact_num[k], tables.exact_den[k], s, !tables.fits_fixed_tables());
        if (!std::isfinite(std::abs(values(k - 1)))) return false;
    }
    return true;
}

std::vector<double> log_spaced(double low, double high, int count) {
    std::vector<double> points;
    for (int i = 0; i < count; ++i) points.push_back(low * std::pow(high / low, double(i) / (count - 1)));
    return points;
}

}  // namespace

std::vector<double> test_frequencies(const EngineTables& tables) {
    FpFlagsGuard keep_flags;
    std::vector<double> moduli;
    if (tables.variable_count <= eigenvalue_threshold) {
        moduli = natural_frequencies(assembled_pencil(tables));
    } else if (tables.exact_available) {
        double low = INFINITY, high = 0.0;
        for (int k : result_variables(tables)) widen_root_range(tables.exact_den[k], low, high);
        if (high > 0.0 && low <= high) moduli = {low, high};
    }
    if (moduli.empty()) return log_spaced(1e-2, 1e2, 16);
    auto [low, high] = std::minmax_element(moduli.begin(), moduli.end());
    return log_spaced(*low / 100.0, *high * 100.0, 16);
}

VerificationReport verify_results(const EngineTables& tables) {
    // Results of a circuit beyond the elimination's tables are exact: they are measured
    // against the direct solution, an independent check, unless it is unusable at every
    // point. Otherwise the exact solution is the reference when the run has it.
    if (tables.results_exact && !tables.fits_fixed_tables()) {
        VerificationReport direct = verify_results_against(tables, false);
        if (!direct.frequencies.empty() || !tables.exact_available) return direct;
    }
    return verify_results_against(tables, tables.exact_available);
}

VerificationReport verify_results_against(const EngineTables& tables, bool against_exact) {
    FpFlagsGuard keep_flags;
    VerificationReport report;
    const int n = tables.variable_count;
    if (n == 0) {  // no variable: nothing can differ, at any point
        report.frequencies = test_frequencies(tables);
        return report;
    }
    Pencil p = assembled_pencil(tables);
    std::vector<WidePolynomial> num(n + 1), den(n + 1);
    for (int k : result_variables(tables)) {
        num[k] = result_numerator(tables, k);
        den[k] = result_denominator(tables, k);
    }
    std::vector<double> largest_difference(n, 0.0), largest_direct(n, 0.0), largest_polynomial(n, 0.0);
    for (double w : test_frequencies(tables)) {
        Complex s(0.0, w);
        Eigen::VectorXcd reference(n);
        if (!(against_exact ? exact_values(tables, s, reference) : direct_values(p, s, reference))) continue;
        report.frequencies.push_back(w);
        for (int k : result_variables(tables)) {
            Complex direct = reference(k - 1);
            Complex from_polynomials = evaluate_ratio(num[k], den[k], s, !tables.fits_fixed_tables());
            double difference = std::abs(from_polynomials - direct);
            if (!std::isfinite(difference)) difference = INFINITY;
            largest_difference[k - 1] = std::max(largest_difference[k - 1], difference);
            largest_direct[k - 1] = std::max(largest_direct[k - 1], std::abs(direct));
            double magnitude = std::abs(from_polynomials);
            largest_polynomial[k - 1] = std::max(largest_polynomial[k - 1], std::isfinite(magnitude) ? magnitude : INFINITY);
        }
    }
    if (report.frequencies.empty()) return report;
    double largest_any = *std::max_element(largest_direct.begin(), largest_direct.end());
    for (int k : result_variables(tables)) {
        // A variable that is zero at every point (its direct values are rounding noise,
        // below 1e-12 times the largest value of any variable) is compared against that
        // level: the polynomials must give no more than it, whatever the noise.
        // An exact reference has no noise: zero only where it is exactly zero.
        double zero_level = against_exact ? 0.0 : 1e-12 * largest_any;
        double error;
        if (largest_direct[k - 1] <= zero_level)
            error = largest_polynomial[k - 1] == 0.0 ? 0.0
                    : zero_level > 0.0              ? largest_polynomial[k - 1] / zero_level
                                                    : INFINITY;
        else
            error = largest_difference[k - 1] / largest_direct[k - 1];
        report.variables.push_back({k, tables.variable_name(k), num[k].degree(), den[k].degree(), error});
    }
    return report;
}

void log_verification_warnings(const VerificationReport& report, LogSink& log, double tolerance) {
    FpFlagsGuard keep_flags;
    if (report.frequencies.empty()) {
        log_message(log, "Aviso: os resultados não puderam ser verificados (nenhuma frequência de teste utilizável).");
        return;
    }
    bool warned = false;
    for (const VariableCheck& v : report.variables) {
        if (v.error <= tolerance) continue;  // an error that is not a number is never within
        log_message(log, "Aviso: variável %d (%s) difere da solução numérica direta (erro relativo %.1e).",
                    v.variable, v.name.c_str(), v.error);
        warned = true;
    }
    if (warned)
        log_message(log, "Os polinômios podem estar imprecisos; experimente valores normalizados ou outros limiares.");
}

void NumericalVerification::check(const EngineTables& tables, LogSink& log) {
    report_ = verify_results(tables);
    log_verification_warnings(report_, log);
}

}  // namespace quorvat
