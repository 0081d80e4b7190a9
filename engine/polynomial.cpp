#include "engine/polynomial.h"

#include <cmath>

#include "engine/c_locale.h"
#include "engine/fp_fault.h"

namespace quorvat {

namespace {

// The largest magnitude of c[0..degree], starting from 0.0 and taking a magnitude only
// when it is strictly greater than the one held.
double largest_magnitude(const double* c, int degree) {
    double largest = 0.0;
    for (int i = 0; i <= degree; ++i) {
        double magnitude = std::fabs(c[i]);
        if (magnitude > largest) largest = magnitude;
    }
    return largest;
}

}  // namespace

bool poly_multiply(PolyArithmetic& arithmetic, LogSink& log, const Polynomial& a, const Polynomial& b,
                   Polynomial& out) {
    out.degree = a.degree + b.degree;
    if (out.degree > max_order) {
        log_message(log, "Ordem maior que o máximo (%d).", max_order);
        return false;
    }
    for (int i = 0; i <= out.degree; ++i) out.c[i] = 0.0;
    for (int i = 0; i <= a.degree; ++i)
        for (int j = 0; j <= b.degree; ++j) out.c[i + j] += a.c[i] * b.c[j];
    fp_check();
    ++arithmetic.multiplication_count;
    return true;
}

void poly_subtract(const Polynomial& a, Polynomial& b) {
    int m;
    if (b.degree < a.degree) {
        for (int i = b.degree + 1; i <= a.degree; ++i) b.c[i] = -a.c[i];
        m = b.degree;
        b.degree = a.degree;
    } else {
        m = a.degree;
    }
    for (int i = 0; i <= m; ++i) b.c[i] = b.c[i] - a.c[i];
    fp_check();  // inf - inf
}

bool poly_is_nonzero(const PolyArithmetic& arithmetic, const Polynomial& p) {
    for (int i = 0; i <= p.degree; ++i)
        if (std::fabs(p.c[i]) > arithmetic.zero_threshold) return true;
    return false;
}

void poly_trim(const PolyArithmetic& arithmetic, Polynomial& p) {
    double threshold = largest_magnitude(p.c, p.degree) / arithmetic.coefficient_dispersion;
    fp_check();  // D = 0
    while (p.degree > 0 && std::fabs(p.c[p.degree]) < threshold) --p.degree;
}

void poly_divide(PolyArithmetic& arithmetic, const Polynomial& a, const Polynomial& b, Polynomial& q,
                 Polynomial& r) {
    for (int i = 0; i <= a.degree; ++i) r.c[i] = a.c[i];
    r.degree = a.degree;
    q.degree = a.degree - b.degree;
    for (int i = q.degree; i >= 0; --i) {
        q.c[i] = r.c[r.degree] / b.c[b.degree];
        for (int j = b.degree; j >= 0; --j) r.c[i + j] = r.c[i + j] - q.c[i] * b.c[j];
        if (r.degree > 0) --r.degree;
    }
    fp_check();
    ++arithmetic.division_count;
}

void poly_normalise(const PolyArithmetic& arithmetic, ResultPolynomial& p) {
    double threshold = largest_magnitude(p.c, p.degree) / arithmetic.coefficient_dispersion;
    fp_check();  // D = 0
    for (int i = 0; i <= p.degree; ++i)
        if (std::fabs(p.c[i]) < threshold) p.c[i] = 0.0;
    while (p.degree > 0 && p.c[p.degree] == 0.0) --p.degree;
    p.Cte = p.c[p.degree];
    if (p.Cte != 0.0) {
        for (int i = 0; i <= p.degree; ++i) p.c[i] = p.c[i] / p.Cte;
    } else {
        p.Cte = 1.0;
    }
    fp_check();
}

std::string format_coefficient(double value) {
    CLocaleScope c_numbers;
    // "%15.12f" keeps 12 decimals, not 12 significant digits: a small non-zero value
    // goes to exponent notation with every digit a double needs, so it is not lost.
    const char* format = (value != 0.0 && std::fabs(value) < 1e-4) ? "%.16e" : "%15.12f";
    // 330 bytes hold "%15.12f" of the largest finite double (309 digits, sign, 12 decimals).
    char buffer[340];
    int length = std::snprintf(buffer, sizeof buffer, format, value);
    if (length < 0) return {};
    return std::string(buffer, static_cast<std::size_t>(length) < sizeof buffer
                                   ? static_cast<std::size_t>(length)
                                   : sizeof buffer - 1);
}

void print_result_polynomial(LogSink& log, const ResultPolynomial& p) {
    for (int i = 0; i <= p.degree; ++i) log_message(log, "a%d: %s", i, format_coefficient(p.c[i]).c_str());
    log_message(log, "Cte: %s", format_coefficient(p.Cte).c_str());
}

void print_result_polynomial(LogSink& log, const WidePolynomial& p) {
    for (int i = 0; i <= p.degree(); ++i) log_message(log, "a%d: %s", i, format_coefficient(p.c[i]).c_str());
    log_message(log, "Cte: %s", format_coefficient(p.Cte).c_str());
}

bool poly_write(const ResultPolynomial& p, std::FILE* file) {
    bool ok = std::fprintf(file, "%d\n", p.degree) >= 0;
    for (int i = 0; ok && i <= p.degree; ++i) ok = std::fprintf(file, "%s\n", format_coefficient(p.c[i]).c_str()) >= 0;
    if (ok) ok = std::fprintf(file, "%s\n", format_coefficient(p.Cte).c_str()) >= 0;
    return ok && !std::ferror(file);
}

WidePolynomial widen(const ResultPolynomial& p) {
    WidePolynomial w;
    w.c.assign(p.c, p.c + p.degree + 1);
    w.Cte = p.Cte;
    return w;
}

bool narrow(const WidePolynomial& w, ResultPolynomial& p) {
    if (w.degree() > max_order) return false;
    p.degree = w.degree();
    for (int i = 0; i <= p.degree; ++i) p.c[i] = w.c[i];
    p.Cte = w.Cte;
    return true;
}

std::string format_exact_coefficient(double value) {
    CLocaleScope c_numbers;
    char buffer[40];
    int length = std::snprintf(buffer, sizeof buffer, "%.16e", value);
    return length < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(length));
}

bool poly_write_exact(const WidePolynomial& p, std::FILE* file, double scale) {
    CLocaleScope c_numbers;
    bool ok = std::fprintf(file, "%d\n", p.degree()) >= 0;
    for (int i = 0; ok && i <= p.degree(); ++i)
        ok = std::fprintf(file, "%s\n", format_exact_coefficient(p.c[i]).c_str()) >= 0;
    if (ok) ok = std::fprintf(file, "%s\n", format_exact_coefficient(p.Cte).c_str()) >= 0;
    if (ok && scale != 1.0) ok = std::fprintf(file, "%s %.17g\n", frequency_scale_word, scale) >= 0;
    return ok && !std::ferror(file);
}

}  // namespace quorvat
