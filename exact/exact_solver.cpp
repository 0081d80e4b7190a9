#include "exact/exact_solver.h"

#include <algorithm>
#include <cmath>

#include <flint/fmpz.h>
#include <flint/nmod_poly.h>
#include <flint/ulong_extras.h>
#include <mpfr.h>

#include "engine/fp_fault.h"
#include "exact/exact_system.h"
#include "exact/frequency_shift.h"
#include "exact/multimodular.h"
#include "exact/sparse_modular.h"

namespace quorvat::exact {

namespace {

// Measured: the fraction-free elimination is the faster up to about 12 variables, and up
// to about 30 while the coefficient bound stays within 2,000 bits; beyond, the sparse LU
// modulo primes (the dense multimodular solution is never the faster of the two).
constexpr slong fraction_free_variables = 12;
constexpr slong small_variables = 30;
constexpr long fraction_free_bits = 2000;

// The denominator s det A that every variable shares, with what each reduction needs of
// it computed once: its content and its image modulo a prime.
class SharedDenominator {
public:
    explicit SharedDenominator(const fmpz_poly_struct* den) {
        fmpz_poly_shift_left(times_s_.get(), den, 1);
        fmpz_init(content_);
        fmpz_poly_content(content_, times_s_.get());
        nmod_poly_init(modular_, prime_);
        fmpz_poly_get_nmod_poly(modular_, times_s_.get());
    }
    ~SharedDenominator() {
        fmpz_clear(content_);
        nmod_poly_clear(modular_);
    }
    SharedDenominator(const SharedDenominator&) = delete;
    SharedDenominator& operator=(const SharedDenominator&) = delete;

    const fmpz_poly_struct* get() const { return times_s_.get(); }

    // The greatest common divisor of p and this when it is a constant times a power of s,
    // proved by the prime: modulo a prime that does not divide p's leading coefficient
    // the true gcd keeps its degree, so a gcd modulo the prime of s^t, t the common power
    // of s of both, leaves only content * s^t. False when that does not settle it.
    bool monomial_gcd(const fmpz_poly_struct* p, IntPoly& divisor) const {
        if (fmpz_fdiv_ui(fmpz_poly_lead(p), prime_) == 0) return false;
        const fmpz_poly_struct* q = times_s_.get();
        nmod_poly_t pp, g;
        nmod_poly_init(pp, prime_);
        nmod_poly_init(g, prime_);
        fmpz_poly_get_nmod_poly(pp, p);
        nmod_poly_gcd(g, pp, modular_);
        slong power = 0;
        while (power < p->length && power < q->length && fmpz_is_zero(p->coeffs + power) &&
               fmpz_is_zero(q->coeffs + power))
            ++power;
        const bool settled = nmod_poly_degree(g) == power;
        nmod_poly_clear(pp);
        nmod_poly_clear(g);
        if (!settled) return false;
        // The common content, from the shared one down: usually 1 after a coefficient or two.
        fmpz_t content;
        fmpz_init_set(content, content_);
        for (slong i = 0; i < p->length && !fmpz_is_one(content); ++i) fmpz_gcd(content, content, p->coeffs + i);
        fmpz_poly_zero(divisor.get());
        fmpz_poly_set_coeff_fmpz(divisor.get(), power, content);
        fmpz_clear(content);
        return true;
    }

private:
    static constexpr mp_limb_t prime_ = UWORD(4611686018427388919);  // the first prime past 2^62 + 1000
    IntPoly times_s_;
    fmpz_t content_;
    nmod_poly_t modular_;
};

// x_k / s in lowest terms, from A x = den b: x_k = column entry / den.
RationalFunction reduced(const fmpz_poly_struct* solution, const SharedDenominator& den) {
    RationalFunction f;
    if (fmpz_poly_is_zero(solution)) {
        fmpz_poly_one(f.denominator.get());
        return f;
    }
    fmpz_poly_set(f.denominator.get(), den.get());
    IntPoly divisor, remainder;
    if (den.monomial_gcd(solution, divisor)) {  // divide by content * s^t
        const slong power = divisor.degree();
        const fmpz* content = fmpz_poly_lead(divisor.get());
        fmpz_poly_shift_right(f.numerator.get(), solution, power);
        fmpz_poly_scalar_divexact_fmpz(f.numerator.get(), f.numerator.get(), content);
        fmpz_poly_shift_right(f.denominator.get(), f.denominator.get(), power);
        fmpz_poly_scalar_divexact_fmpz(f.denominator.get(), f.denominator.get(), content);
    } else {
        fmpz_poly_gcd(divisor.get(), solution, f.denominator.get());
        fmpz_poly_divrem(f.numerator.get(), remainder.get(), solution, divisor.get());
        fmpz_poly_divrem(f.denominator.get(), remainder.get(), f.denominator.get(), divisor.get());
    }
    if (fmpz_sgn(fmpz_poly_lead(f.denominator.get())) < 0) {
        fmpz_poly_neg(f.numerator.get(), f.numerator.get());
        fmpz_poly_neg(f.denominator.get(), f.denominator.get());
    }
    return f;
}

// The double nearest to value / divisor (both exact integers).
double nearest_quotient(const fmpz_t value, const fmpz_t divisor) {
    mpfr_t top, bottom, quotient;
    mpfr_init2(top, std::max<mpfr_prec_t>(fmpz_bits(value), MPFR_PREC_MIN));
    mpfr_init2(bottom, std::max<mpfr_prec_t>(fmpz_bits(divisor), MPFR_PREC_MIN));
    mpfr_init2(quotient, 53);
    fmpz_get_mpfr(top, value, MPFR_RNDN);  // exact: the precision holds every bit
    fmpz_get_mpfr(bottom, divisor, MPFR_RNDN);
    mpfr_div(quotient, top, bottom, MPFR_RNDN);
    double result = mpfr_get_d(quotient, MPFR_RNDN);
    mpfr_clear(top);
    mpfr_clear(bottom);
    mpfr_clear(quotient);
    return result;
}

// A non-zero exact value must come out a normal double: infinite, zero or subnormal
// would write a wrong file.
bool representable(double value, bool exact_zero) {
    return exact_zero ? value == 0.0 : std::isnormal(value);
}

// Fills a result polynomial with p made monic: c[i] = p_i / lead(p).
bool monic_result(const IntPoly& p, WidePolynomial& out) {
    long degree = p.degree();
    out.Cte = 1.0;
    if (degree < 0) {
        out.c.assign(1, 0.0);
        return true;
    }
    const fmpz* lead = fmpz_poly_lead(p.get());
    out.c.assign(static_cast<std::size_t>(degree) + 1, 0.0);
    bool fits = true;
    for (long i = 0; i <= degree; ++i) {
        const fmpz* coefficient = p.get()->coeffs + i;
        out.c[i] = nearest_quotient(coefficient, lead);
        fits = fits && representable(out.c[i], fmpz_is_zero(coefficient));
    }
    return fits;
}

// p(w s) * b^deg p for w = a / b: the integer polynomial sum of p_i a^i b^(deg - i) s^i.
IntPoly scaled(const IntPoly& p, const fmpz_t a, const fmpz_t b) {
    IntPoly out;
    long degree = p.degree();
    fmpz_poly_set(out.get(), p.get());
    fmpz_t power;
    fmpz_init(power);
    fmpz_one(power);
    for (long i = 1; i <= degree; ++i) {  // a^i
        fmpz_mul(power, power, a);
        fmpz_mul(out.get()->coeffs + i, out.get()->coeffs + i, power);
    }
    fmpz_one(power);
    for (long i = degree - 1; i >= 0; --i) {  // b^(deg - i)
        fmpz_mul(power, power, b);
        fmpz_mul(out.get()->coeffs + i, out.get()->coeffs + i, power);
    }
    fmpz_clear(power);
    return out;
}

// log10 |x| of a non-zero integer.
double log10_of(const fmpz* x) {
    fmpz_t magnitude;
    fmpz_init(magnitude);
    fmpz_abs(magnitude, x);
    double result = fmpz_dlog(magnitude) / std::log(10.0);
    fmpz_clear(magnitude);
    return result;
}

// Decimal exponents that a double holds with room to spare for the rounding.
constexpr double lowest_exponent = -300.0;
constexpr double highest_exponent = 300.0;

// Narrows range to the k for which log10 |ratio| + power * k stays within the exponents
// a double holds.
void fit_exponent(double log_ratio, long power, ScaleRange& range) {
    if (power == 0) {
        if (log_ratio < lowest_exponent || log_ratio > highest_exponent) range = {1, 0};
        return;
    }
    double low = (lowest_exponent - log_ratio) / static_cast<double>(power);
    double high = (highest_exponent - log_ratio) / static_cast<double>(power);
    if (power < 0) std::swap(low, high);
    range.low = std::max(range.low, static_cast<int>(std::ceil(low)));
    range.high = std::min(range.high, static_cast<int>(std::floor(high)));
}

void narrow_monic(const IntPoly& p, ScaleRange& range) {
    long degree = p.degree();
    if (degree <= 0) return;
    double lead = log10_of(fmpz_poly_lead(p.get()));
    for (long i = 0; i < degree; ++i) {
        const fmpz* coefficient = p.get()->coeffs + i;
        if (!fmpz_is_zero(coefficient)) fit_exponent(log10_of(coefficient) - lead, i - degree, range);
    }
}

}  // namespace

void narrow_scale_range(const RationalFunction& f, ScaleRange& range) {
    narrow_monic(f.denominator, range);
    if (f.numerator.is_zero()) return;
    narrow_monic(f.numerator, range);
    fit_exponent(log10_of(fmpz_poly_lead(f.numerator.get())) - log10_of(fmpz_poly_lead(f.denominator.get())),
                 f.numerator.degree() - f.denominator.degree(), range);
}

Method chosen_method(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b) {
    const slong n = fmpz_poly_mat_nrows(a);
    if (n <= fraction_free_variables) return Method::fraction_free;
    if (n > small_variables) return Method::sparse;
    return cramer_bound_bits(a, b) <= fraction_free_bits ? Method::fraction_free : Method::sparse;
}

std::size_t estimated_memory_bytes(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, Method method,
                                   const std::vector<int>& wanted) {
    const double n = static_cast<double>(fmpz_poly_mat_nrows(a));
    if (method == Method::automatic) method = chosen_method(a, b);
    const double bits = static_cast<double>(cramer_bound_bits(a, b));
    double degree = 0;  // rows with an s term bound the degrees
    for (slong r = 0; r < fmpz_poly_mat_nrows(a); ++r) {
        bool has_s = fmpz_poly_degree(fmpz_poly_mat_entry(b, r, 0)) >= 1;
        for (slong c = 0; c < fmpz_poly_mat_ncols(a) && !has_s; ++c) has_s = fmpz_poly_degree(fmpz_poly_mat_entry(a, r, c)) >= 1;
        degree += has_s;
    }
    const double coefficient = bits / 8.0 + 24.0;  // an integer of the bound's size and its record
    const double input = n * (n + 1) * 64.0;
    const double sought = method == Method::sparse && !wanted.empty() ? static_cast<double>(wanted.size()) : n;
    // Unreduced numerators and their reduced forms.
    const double output = 2.0 * (sought + 1) * (degree + 1) * coefficient;
    double working = 0;
    switch (method) {
        case Method::fraction_free:  // the trailing block's entries grow to degree n and the bound
            working = n * n * (degree / 2 + 1) * (bits / 16.0 + 24.0);
            break;
        case Method::multimodular:  // residues of every prime and the running integers
            working = output + 3.0 * n * n * 8.0 + 2.0 * n * (degree + 1) * 8.0;
            break;
        default:  // running integers and one batch of residues
            working = output + (sought + 1) * (degree + 1) * 16.0 * 8.0 + 32.0 * n * n;
            break;
    }
    return static_cast<std::size_t>(std::min(input + output + working, 1e18));
}

namespace {

ExactSolution solve_as_given(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, Method method,
                             const std::vector<int>& requested, const ProgressCallback& progress) {
    ExactSolution result;
    const slong n = fmpz_poly_mat_nrows(a);
    if (n == 0) return result;
    // The requested variables that exist (the first alone when none does: empty means all).
    std::vector<int> wanted;
    for (int k : requested)
        if (k >= 1 && k <= n) wanted.push_back(k);
    if (!requested.empty() && wanted.empty()) wanted.push_back(1);
    ProgressThrottle throttle(progress);
    if (method == Method::automatic) method = chosen_method(a, b);
    IntPoly den;
    std::vector<IntPoly> numerators;
    if (method == Method::sparse) {
        ModularOutcome outcome = solve_sparse_modular(a, b, wanted, den, numerators, throttle);
        result.cancelled = outcome == ModularOutcome::cancelled;
        result.singular = outcome == ModularOutcome::singular;
        if (result.cancelled) return result;
    } else if (method == Method::multimodular) {
        result.singular = !solve_multimodular(a, b, den, numerators);
    } else {
        fmpz_poly_mat_t x;
        fmpz_poly_mat_init(x, n, 1);
        result.singular = !fmpz_poly_mat_solve_fflu(x, den.get(), a, b);
        if (!result.singular)
            for (slong k = 0; k < n; ++k) {
                numerators.emplace_back();
                fmpz_poly_set(numerators.back().get(), fmpz_poly_mat_entry(x, k, 0));
            }
        fmpz_poly_mat_clear(x);
    }
    if (result.singular) return result;
    result.variables.resize(n);
    for (auto& f : result.variables) fmpz_poly_one(f.denominator.get());
    std::vector<int> reduce = wanted;
    if (reduce.empty())
        for (slong k = 1; k <= n; ++k) reduce.push_back(static_cast<int>(k));
    const SharedDenominator shared(den.get());
    for (std::size_t i = 0; i < reduce.size(); ++i) {
        if (!throttle.report("Redução das funções", static_cast<double>(i) / static_cast<double>(reduce.size()))) {
            result.cancelled = true;
            result.variables.clear();
            return result;
        }
        const int k = reduce[i];
        result.variables[k - 1] = reduced(numerators[k - 1].get(), shared);
    }
    return result;
}

}  // namespace

ExactSolution solve_integer_system(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, Method method,
                                   const std::vector<int>& requested, const ProgressCallback& progress) {
    // Integer arithmetic cannot fault; FLINT's prime search raises flags through its
    // floating-point inverses, which are not the caller's.
    FpFlagsGuard keep_flags;
    const int shift = best_frequency_shift(a, b);
    if (shift == 0) return solve_as_given(a, b, method, requested, progress);
    fmpz_poly_mat_t shifted_a, shifted_b;
    fmpz_poly_mat_init_set(shifted_a, a);
    fmpz_poly_mat_init_set(shifted_b, b);
    shift_frequency(shifted_a, shifted_b, shift);
    ExactSolution result = solve_as_given(shifted_a, shifted_b, method, requested, progress);
    fmpz_poly_mat_clear(shifted_a);
    fmpz_poly_mat_clear(shifted_b);
    for (RationalFunction& f : result.variables) unshift_frequency(f.numerator, f.denominator, shift);
    return result;
}

ExactSolution solve_exact(const EngineTables& tables, Method method, const ProgressCallback& progress) {
    const int n = tables.variable_count;
    RationalPencil pencil = assemble_exact(tables);
    fmpz_poly_mat_t a, b;
    fmpz_poly_mat_init(a, n, n);
    fmpz_poly_mat_init(b, n, 1);
    pencil.to_integers(a, b);
    std::vector<int> wanted(tables.wanted.begin(), tables.wanted.end());
    ExactSolution result;
    result.estimated_bytes = estimated_memory_bytes(a, b, method, wanted);
    if (result.estimated_bytes > memory_guard_bytes)
        result.too_large = true;
    else
        result = solve_integer_system(a, b, method, wanted, progress);
    fmpz_poly_mat_clear(a);
    fmpz_poly_mat_clear(b);
    return result;
}

bool rounded_quotients(const IntPoly& p, const fmpz_t divisor, std::vector<double>& out) {
    out.clear();
    fmpz_t coefficient;
    fmpz_init(coefficient);
    bool finite = true;
    for (long i = 0; i <= p.degree(); ++i) {
        fmpz_poly_get_coeff_fmpz(coefficient, p.get(), i);
        out.push_back(nearest_quotient(coefficient, divisor));
        finite = finite && std::isfinite(out.back());
    }
    fmpz_clear(coefficient);
    return finite;
}

bool to_result_polynomials(const RationalFunction& f, WidePolynomial& num, WidePolynomial& den, double scale) {
    if (scale == 1.0) {
        if (!monic_result(f.numerator, num) || !monic_result(f.denominator, den)) return false;
        if (f.numerator.is_zero()) return true;
        num.Cte = nearest_quotient(fmpz_poly_lead(f.numerator.get()), fmpz_poly_lead(f.denominator.get()));
        return std::isnormal(num.Cte);
    }
    // f(w s) = N'(s) / D'(s) * b^(n - m), with N' = N(w s) b^m and D' = D(w s) b^n.
    Rational w;
    set_from_double(w.get(), scale);
    IntPoly n = scaled(f.numerator, fmpq_numref(w.get()), fmpq_denref(w.get()));
    IntPoly d = scaled(f.denominator, fmpq_numref(w.get()), fmpq_denref(w.get()));
    if (!monic_result(n, num) || !monic_result(d, den)) return false;
    if (n.is_zero()) return true;
    fmpz_t top, bottom;
    fmpz_init_set(top, fmpz_poly_lead(n.get()));
    fmpz_init_set(bottom, fmpz_poly_lead(d.get()));
    long excess = d.degree() - n.degree();
    fmpz_t factor;
    fmpz_init(factor);
    fmpz_pow_ui(factor, fmpq_denref(w.get()), static_cast<ulong>(excess >= 0 ? excess : -excess));
    fmpz_mul(excess >= 0 ? top : bottom, excess >= 0 ? top : bottom, factor);
    num.Cte = nearest_quotient(top, bottom);
    fmpz_clear(top);
    fmpz_clear(bottom);
    fmpz_clear(factor);
    return std::isnormal(num.Cte);
}

}  // namespace quorvat::exact
