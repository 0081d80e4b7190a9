#include "numeric/verification.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>

#include "engine/fp_fault.h"

namespace quorvat {

namespace {

using Complex = std::complex<double>;

struct Pencil {
    Eigen::MatrixXd a0, a1;  // A(s) = a0 + s a1, variables 1..n
    Eigen::VectorXd b0, b1;  // b(s) = b0 + s b1, the right-hand side
};

Pencil assembled_pencil(const EngineTables& tables) {
    int n = tables.variable_count;
    Pencil p{Eigen::MatrixXd::Zero(n, n), Eigen::MatrixXd::Zero(n, n), Eigen::VectorXd::Zero(n),
             Eigen::VectorXd::Zero(n)};
    for (int r = 1; r <= n; ++r) {
        for (int c = 1; c <= n; ++c) {
            p.a0(r - 1, c - 1) = tables.stamp[r][c].c0;
            p.a1(r - 1, c - 1) = tables.stamp[r][c].c1;
        }
        p.b0(r - 1) = tables.stamp[r][n + 1].c0;
        p.b1(r - 1) = tables.stamp[r][n + 1].c1;
    }
    return p;
}

Complex evaluate(const ResultPolynomial& p, Complex s) {
    Complex value = 0.0;
    for (int i = p.degree; i >= 0; --i) value = value * s + p.c[i];
    return value;
}

// The moduli of the pencil's finite, non-zero generalized eigenvalues. Eigenvalues of
// rows without any s term come out infinite (beta near 0) and those of a singular a0
// near 0; both are told apart from the circuit's own frequencies by the natural scale
// max|a0| / max|a1|.
std::vector<double> natural_frequencies(const Pencil& p) {
    std::vector<double> moduli;
    if (p.a0.size() == 0) return moduli;  // the largest entry of an empty matrix is undefined
    double norm0 = p.a0.cwiseAbs().maxCoeff(), norm1 = p.a1.cwiseAbs().maxCoeff();
    if (norm0 == 0.0 || norm1 == 0.0) return moduli;
    double scale = norm0 / norm1;
    Eigen::GeneralizedEigenSolver<Eigen::MatrixXd> solver(p.a0, p.a1, false);
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

// x(s) / s from the assembled system by complex LU (the same integration adjustment as
// the results); false where the system is singular or not a number.
bool direct_values(const Pencil& p, Complex s, Eigen::VectorXcd& values) {
    Eigen::MatrixXcd a = p.a0.cast<Complex>() + s * p.a1.cast<Complex>();
    Eigen::VectorXcd b = p.b0.cast<Complex>() + s * p.b1.cast<Complex>();
    Eigen::PartialPivLU<Eigen::MatrixXcd> lu(a);
    if (!(lu.rcond() > 1e-14)) return false;
    values = lu.solve(b) / s;
    return true;
}

// The exact results at s; false where one of them has a pole there.
bool exact_values(const EngineTables& tables, Complex s, Eigen::VectorXcd& values) {
    for (int k = 1; k <= tables.variable_count; ++k) {
        Complex den = evaluate(tables.exact_den[k], s);
        if (den == 0.0 || !std::isfinite(std::abs(den))) return false;
        values(k - 1) = tables.exact_num[k].Cte * evaluate(tables.exact_num[k], s) / den;
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
    std::vector<double> moduli = natural_frequencies(assembled_pencil(tables));
    if (moduli.empty()) return log_spaced(1e-2, 1e2, 16);
    auto [low, high] = std::minmax_element(moduli.begin(), moduli.end());
    return log_spaced(*low / 100.0, *high * 100.0, 16);
}

VerificationReport verify_results(const EngineTables& tables) {
    FpFlagsGuard keep_flags;
    VerificationReport report;
    int n = tables.variable_count;
    if (n == 0) {  // no variable: nothing can differ, at any point
        report.frequencies = test_frequencies(tables);
        return report;
    }
    Pencil p = assembled_pencil(tables);
    std::vector<double> largest_difference(n, 0.0), largest_direct(n, 0.0), largest_polynomial(n, 0.0);
    for (double w : test_frequencies(tables)) {
        Complex s(0.0, w);
        Eigen::VectorXcd reference(n);
        if (!(tables.exact_available ? exact_values(tables, s, reference) : direct_values(p, s, reference))) continue;
        report.frequencies.push_back(w);
        for (int k = 1; k <= n; ++k) {
            Complex direct = reference(k - 1);
            Complex from_polynomials =
                (tables.num[k].Cte / tables.den[k].Cte) * evaluate(tables.num[k], s) / evaluate(tables.den[k], s);
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
    for (int k = 1; k <= n; ++k) {
        // A variable that is zero at every point (its direct values are rounding noise,
        // below 1e-12 times the largest value of any variable) is compared against that
        // level: the polynomials must give no more than it, whatever the noise.
        // An exact reference has no noise: zero only where it is exactly zero.
        double zero_level = tables.exact_available ? 0.0 : 1e-12 * largest_any;
        double error;
        if (largest_direct[k - 1] <= zero_level)
            error = largest_polynomial[k - 1] == 0.0 ? 0.0
                    : zero_level > 0.0              ? largest_polynomial[k - 1] / zero_level
                                                    : INFINITY;
        else
            error = largest_difference[k - 1] / largest_direct[k - 1];
        report.variables.push_back(
            {k, tables.variable_name(k), tables.num[k].degree, tables.den[k].degree, error});
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
