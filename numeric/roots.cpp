#include "numeric/roots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>

#include "engine/c_locale.h"
#include "engine/fp_fault.h"

namespace quorvat {

namespace {

using Complex = std::complex<double>;

// Value and derivative of c[0] + ... + c[d] s^d at z, by Horner's rule.
void horner(const std::vector<double>& c, Complex z, Complex& value, Complex& slope) {
    value = 0.0;
    slope = 0.0;
    for (std::size_t i = c.size(); i-- > 0;) {
        slope = slope * z + value;
        value = value * z + c[i];
    }
}

Complex polish(const std::vector<double>& c, Complex z) {
    Complex value, slope;
    horner(c, z, value, slope);
    if (slope == 0.0) return z;
    Complex better = z - value / slope;
    Complex better_value, ignored;
    horner(c, better, better_value, ignored);
    bool finite = std::isfinite(better.real()) && std::isfinite(better.imag());
    return finite && std::abs(better_value) <= std::abs(value) ? better : z;
}

std::string number(double v) {
    if (v == 0.0) v = 0.0;  // no "-0"
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

// Lines for one set of roots: real roots alone, complex pairs once with ω0 and Q.
void describe_roots(std::string& out, const char* title, const PolynomialRoots& r) {
    if (r.identically_zero) {
        out += std::string(title) + ": polinômio identicamente nulo\n";
        return;
    }
    out += std::string(title) + ": " + std::to_string(r.roots.size() + r.roots_at_origin) + "\n";
    if (r.roots_at_origin > 0) {
        out += "  0";
        if (r.roots_at_origin > 1) out += "  (multiplicidade " + std::to_string(r.roots_at_origin) + ")";
        out += "\n";
    }
    for (const Complex& z : r.roots) {
        if (z.imag() < 0.0) continue;  // printed with its conjugate
        if (z.imag() == 0.0) {
            out += "  " + number(z.real()) + "\n";
            continue;
        }
        double w0 = std::abs(z);
        std::string q = z.real() == 0.0 ? "infinito" : number(w0 / (-2.0 * z.real()));
        out += "  " + number(z.real()) + " ± " + number(z.imag()) + "j  (ω0 = " + number(w0) + ", Q = " + q + ")\n";
    }
}

}  // namespace

PolynomialRoots polynomial_roots(const ResultPolynomial& p) {
    FpFlagsGuard keep_flags;
    PolynomialRoots r;
    int degree = std::min(p.degree, max_order);
    while (degree > 0 && p.c[degree] == 0.0) --degree;
    if (degree < 0 || (degree == 0 && p.c[0] == 0.0) || p.Cte == 0.0) {
        r.identically_zero = true;
        return r;
    }
    r.leading = p.Cte * p.c[degree];
    while (r.roots_at_origin < degree && p.c[r.roots_at_origin] == 0.0) ++r.roots_at_origin;
    std::vector<double> c(p.c + r.roots_at_origin, p.c + degree + 1);
    int m = static_cast<int>(c.size()) - 1;
    if (m > 0) {
        // Companion matrix of the monic polynomial: its eigenvalues are the roots.
        Eigen::MatrixXd companion = Eigen::MatrixXd::Zero(m, m);
        for (int i = 1; i < m; ++i) companion(i, i - 1) = 1.0;
        for (int i = 0; i < m; ++i) companion(i, m - 1) = -c[i] / c[m];
        Eigen::EigenSolver<Eigen::MatrixXd> solver(companion, false);
        // The eigenvalues of a real matrix come as real values and exact conjugate pairs
        // (upper one first). A pair that is real but for rounding (a repeated real root
        // splits by about the square root of the precision) is taken as two real roots.
        const auto& eigenvalues = solver.eigenvalues();
        for (Eigen::Index i = 0; i < eigenvalues.size(); ++i) {
            Complex z = eigenvalues(i);
            if (z.imag() < 0.0) continue;  // added with its partner
            if (z.imag() <= 1e-7 * std::abs(z)) {
                r.roots.push_back(Complex(polish(c, Complex(z.real(), 0.0)).real(), 0.0));
                if (z.imag() > 0.0) r.roots.push_back(Complex(polish(c, Complex(z.real(), 0.0)).real(), 0.0));
                continue;
            }
            z = polish(c, z);
            r.roots.push_back(z);
            r.roots.push_back(std::conj(z));
        }
        std::sort(r.roots.begin(), r.roots.end(), [](const Complex& a, const Complex& b) {
            if (std::abs(a) != std::abs(b)) return std::abs(a) < std::abs(b);
            return a.imag() > b.imag();
        });
    }
    return r;
}

std::string describe_poles_and_zeros(const ResultPolynomial& numerator, const ResultPolynomial& denominator) {
    CLocaleScope c_numbers;
    FpFlagsGuard keep_flags;
    PolynomialRoots zeros = polynomial_roots(numerator), poles = polynomial_roots(denominator);
    std::string out;
    if (zeros.identically_zero || poles.identically_zero)
        out += "Ganho: indefinido\n";
    else
        out += "Ganho: " + number(zeros.leading / poles.leading) + "\n";
    describe_roots(out, "Zeros", zeros);
    describe_roots(out, "Polos", poles);
    return out;
}

}  // namespace quorvat
