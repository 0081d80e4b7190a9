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

// The roots of a polynomial whose coefficients span hundreds of decades (1e200 + 1e-200 s^2)
// overflow a companion matrix built from the coefficients as they are. The Newton polygon
// of log|c[i]| tells the moduli of the roots: an edge from vertex a to vertex b stands for
// b - a roots of modulus about (|c[a]| / |c[b]|)^(1 / (b - a)). Edges of near moduli are
// solved together, each group from its own coefficients scaled to that modulus, so no
// matrix entry exceeds the double range; widely separated groups hardly affect each other.
struct RootGroup {
    int low, high;     // vertices of the polygon: the group has high - low roots
    double log_scale;  // natural logarithm of the group's typical modulus
};

constexpr double group_separation = 46.0;  // ln(1e20): groups farther apart stay apart
constexpr double largest_log_entry = 600.0;  // ln of the largest scaled coefficient allowed

double log_abs(double v) { return std::log(std::fabs(v)); }

// Largest ln|e_k| of the monic coefficients of the group [low, high] scaled by its modulus.
double largest_scaled(const std::vector<double>& c, int low, int high, double log_scale) {
    double largest = 0.0;
    for (int i = low; i < high; ++i)
        if (c[i] != 0.0) largest = std::max(largest, log_abs(c[i]) + (i - high) * log_scale - log_abs(c[high]));
    return largest;
}

std::vector<RootGroup> root_groups(const std::vector<double>& c) {
    // Upper hull of the points (i, ln|c[i]|), c[0] and c.back() non-zero.
    std::vector<int> hull;
    for (int i = 0; i < static_cast<int>(c.size()); ++i) {
        if (c[i] == 0.0) continue;
        while (hull.size() >= 2) {
            int a = hull[hull.size() - 2], b = hull.back();
            double cross = (b - a) * (log_abs(c[i]) - log_abs(c[a])) - (i - a) * (log_abs(c[b]) - log_abs(c[a]));
            if (cross < 0.0) break;
            hull.pop_back();
        }
        hull.push_back(i);
    }
    auto log_modulus = [&](int low, int high) { return (log_abs(c[low]) - log_abs(c[high])) / (high - low); };
    std::vector<RootGroup> groups;
    for (std::size_t k = 0; k + 1 < hull.size(); ++k) {
        int low = hull[k], high = hull[k + 1];
        double edge = log_modulus(low, high);
        if (!groups.empty()) {
            RootGroup& last = groups.back();
            double merged = log_modulus(last.low, high);
            double previous_edge = log_modulus(hull[k - 1], low);
            if (edge - previous_edge < group_separation &&
                largest_scaled(c, last.low, high, merged) < largest_log_entry) {
                last = {last.low, high, merged};
                continue;
            }
        }
        groups.push_back({low, high, edge});
    }
    return groups;
}

// The roots of one group: eigenvalues of the companion matrix of its scaled, monic
// polynomial, scaled back and polished on the whole polynomial. A root that does not come
// out finite is counted as failed.
void add_group_roots(const std::vector<double>& c, const RootGroup& g, PolynomialRoots& r) {
    int m = g.high - g.low;
    Eigen::MatrixXd companion = Eigen::MatrixXd::Zero(m, m);
    for (int i = 1; i < m; ++i) companion(i, i - 1) = 1.0;
    for (int i = 0; i < m; ++i) {
        double v = c[g.low + i];
        if (v == 0.0) continue;
        double magnitude = std::exp(log_abs(v) + (i - m) * g.log_scale - log_abs(c[g.high]));
        companion(i, m - 1) = (v < 0.0) == (c[g.high] < 0.0) ? -magnitude : magnitude;
    }
    Eigen::EigenSolver<Eigen::MatrixXd> solver(companion, false);
    if (solver.info() != Eigen::Success) {
        r.failed += m;
        return;
    }
    double scale = std::exp(g.log_scale);
    // The eigenvalues of a real matrix come as real values and exact conjugate pairs
    // (upper one first). A pair that is real but for rounding (a repeated real root
    // splits by about the square root of the precision) is taken as two real roots.
    const auto& eigenvalues = solver.eigenvalues();
    for (Eigen::Index i = 0; i < eigenvalues.size(); ++i) {
        Complex t = eigenvalues(i);
        Complex z = t * scale;
        if (!std::isfinite(t.real()) || !std::isfinite(t.imag()) || !std::isfinite(z.real()) ||
            !std::isfinite(z.imag())) {
            ++r.failed;
            continue;
        }
        if (z.imag() < 0.0) continue;  // added with its partner
        if (t.imag() <= 1e-7 * std::abs(t)) {
            r.roots.push_back(Complex(polish(c, Complex(z.real(), 0.0)).real(), 0.0));
            if (z.imag() > 0.0) r.roots.push_back(Complex(polish(c, Complex(z.real(), 0.0)).real(), 0.0));
            continue;
        }
        z = polish(c, z);
        r.roots.push_back(z);
        r.roots.push_back(std::conj(z));
    }
}

std::string number(double v) {
    if (v == 0.0) v = 0.0;  // no "-0"
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

// The gain Cte_n c_n / (Cte_d c_d) in the wider exponent range of long double: each
// product may overflow a double while the quotient does not.
std::string gain_text(const ResultPolynomial& n, const ResultPolynomial& d) {
    auto leading = [](const ResultPolynomial& p) {
        int degree = std::min(p.degree, max_order);
        while (degree > 0 && p.c[degree] == 0.0) --degree;
        return static_cast<long double>(p.Cte) * p.c[std::max(degree, 0)];
    };
    long double gain = leading(n) / leading(d);
    char text[60];
    std::snprintf(text, sizeof text, "%.10Lg", gain == 0.0L ? 0.0L : gain);
    return text;
}

// Lines for one set of roots: real roots alone, complex pairs once with ω0 and Q.
void describe_roots(std::string& out, const char* title, const PolynomialRoots& r) {
    if (r.identically_zero) {
        out += std::string(title) + ": polinômio identicamente nulo\n";
        return;
    }
    out += std::string(title) + ": " + std::to_string(r.roots.size() + r.roots_at_origin + r.failed) + "\n";
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
    if (r.failed == 1) out += "  1 raiz não pôde ser calculada\n";
    if (r.failed > 1) out += "  " + std::to_string(r.failed) + " raízes não puderam ser calculadas\n";
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
    for (const RootGroup& group : root_groups(c)) add_group_roots(c, group, r);
    std::sort(r.roots.begin(), r.roots.end(), [](const Complex& a, const Complex& b) {
        if (std::abs(a) != std::abs(b)) return std::abs(a) < std::abs(b);
        return a.imag() > b.imag();
    });
    return r;
}

std::string describe_poles_and_zeros(const ResultPolynomial& numerator, const ResultPolynomial& denominator,
                                     bool* complete) {
    CLocaleScope c_numbers;
    FpFlagsGuard keep_flags;
    PolynomialRoots zeros = polynomial_roots(numerator), poles = polynomial_roots(denominator);
    std::string out;
    if (zeros.identically_zero || poles.identically_zero)
        out += "Ganho: indefinido\n";
    else
        out += "Ganho: " + gain_text(numerator, denominator) + "\n";
    describe_roots(out, "Zeros", zeros);
    describe_roots(out, "Polos", poles);
    if (complete) *complete = zeros.failed == 0 && poles.failed == 0;
    return out;
}

}  // namespace quorvat
