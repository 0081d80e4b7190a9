#include "exact/frequency_shift.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace quorvat::exact {

namespace {

// One coefficient of a row as the shift sees it: its size and power of two in bits, and
// its power of s.
struct Term {
    double magnitude;
    long valuation;
    int power;
};

template <typename Visit>
void for_each_entry(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, slong r, Visit visit) {
    const slong n = fmpz_poly_mat_ncols(a);
    for (slong c = 0; c <= n; ++c) visit(c < n ? fmpz_poly_mat_entry(a, r, c) : fmpz_poly_mat_entry(b, r, 0));
}

// log2 of |x| to a few digits, for any size.
double log2_magnitude(const fmpz_t x) {
    slong exponent = 0;
    const double mantissa = fmpz_get_d_2exp(&exponent, x);
    return std::log2(std::fabs(mantissa)) + static_cast<double>(exponent);
}

// The bits of row norms the shift k leaves, summed over the rows.
double shifted_bits(const std::vector<std::vector<Term>>& rows, int k) {
    double total = 0;
    for (const std::vector<Term>& row : rows) {
        double largest = -std::numeric_limits<double>::infinity();
        long lowest = std::numeric_limits<long>::max();
        for (const Term& t : row) {
            largest = std::max(largest, t.magnitude + k * t.power);
            lowest = std::min(lowest, t.valuation + static_cast<long>(k) * t.power);
        }
        double sum = 0;
        for (const Term& t : row) sum += std::exp2(t.magnitude + k * t.power - largest);
        total += largest + std::log2(sum) - static_cast<double>(lowest);
    }
    return total;
}

}  // namespace

int best_frequency_shift(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b) {
    const slong n = fmpz_poly_mat_nrows(a);
    std::vector<std::vector<Term>> rows(static_cast<std::size_t>(n));
    bool both_powers = false;
    for (slong r = 0; r < n; ++r) {
        for_each_entry(a, b, r, [&](const fmpz_poly_struct* p) {
            for (slong i = 0; i < p->length; ++i)
                if (!fmpz_is_zero(p->coeffs + i))
                    rows[static_cast<std::size_t>(r)].push_back(
                        {log2_magnitude(p->coeffs + i), static_cast<long>(fmpz_val2(p->coeffs + i)), static_cast<int>(i)});
        });
        const auto& row = rows[static_cast<std::size_t>(r)];
        both_powers = both_powers || (std::any_of(row.begin(), row.end(), [](const Term& t) { return t.power == 0; }) &&
                                      std::any_of(row.begin(), row.end(), [](const Term& t) { return t.power == 1; }));
    }
    if (!both_powers) return 0;
    // Coarse steps over the range of doubles' exponents, then every k near the best.
    int best = 0;
    double best_bits = shifted_bits(rows, 0);
    auto consider = [&](int k) {
        double bits = shifted_bits(rows, k);
        if (bits < best_bits - 0.5) {
            best_bits = bits;
            best = k;
        }
    };
    for (int k = -256; k <= 256; k += 8) consider(k);
    const int centre = best;
    for (int k = centre - 7; k <= centre + 7; ++k) consider(k);
    // Measured: a saving of a few per cent does not pay for the copy and the shift back.
    const double unshifted = shifted_bits(rows, 0);
    return unshifted - best_bits >= std::max(64.0, 0.1 * unshifted) ? best : 0;
}

void shift_frequency(fmpz_poly_mat_t a, fmpz_poly_mat_t b, int k) {
    if (k == 0) return;
    const slong n = fmpz_poly_mat_nrows(a);
    for (slong r = 0; r < n; ++r) {
        slong degree = 0;
        for_each_entry(a, b, r, [&](const fmpz_poly_struct* p) { degree = std::max(degree, p->length - 1); });
        long lowest = std::numeric_limits<long>::max();
        for_each_entry(a, b, r, [&](fmpz_poly_struct* p) {
            for (slong i = 0; i < p->length; ++i) {
                fmpz* c = p->coeffs + i;
                if (fmpz_is_zero(c)) continue;
                // 2^(k p) for k > 0; for k < 0, 2^(-k (degree - p)): the same times the
                // row's factor 2^(-k degree), so that nothing is divided.
                const long up = k > 0 ? k * i : -k * (degree - i);
                fmpz_mul_2exp(c, c, static_cast<ulong>(up));
                lowest = std::min(lowest, static_cast<long>(fmpz_val2(c)));
            }
        });
        if (lowest <= 0 || lowest == std::numeric_limits<long>::max()) continue;
        for_each_entry(a, b, r, [&](fmpz_poly_struct* p) {
            for (slong i = 0; i < p->length; ++i) fmpz_fdiv_q_2exp(p->coeffs + i, p->coeffs + i, static_cast<ulong>(lowest));
        });
    }
}

void unshift_frequency(IntPoly& numerator, IntPoly& denominator, int k) {
    if (k == 0 || fmpz_poly_is_zero(numerator.get())) return;
    // X(s) = x(s) / s = X'(s / 2^k) / 2^k: N'(s / 2^k) / (2^k D'(s / 2^k)), both sides
    // times 2^(k m) (k > 0) or 2^-k (k < 0) to stay integral.
    const slong m = std::max(numerator.degree(), denominator.degree());
    long lowest = std::numeric_limits<long>::max();
    for (IntPoly* side : {&numerator, &denominator}) {
        fmpz_poly_struct* p = side->get();
        const long extra = side == &denominator ? (k > 0 ? k : 0) : (k < 0 ? -k : 0);
        for (slong i = 0; i < p->length; ++i) {
            fmpz* c = p->coeffs + i;
            if (fmpz_is_zero(c)) continue;
            const long up = (k > 0 ? k * (m - i) : -k * i) + extra;
            fmpz_mul_2exp(c, c, static_cast<ulong>(up));
            lowest = std::min(lowest, static_cast<long>(fmpz_val2(c)));
        }
    }
    if (lowest <= 0) return;
    for (IntPoly* side : {&numerator, &denominator})
        fmpz_poly_scalar_fdiv_2exp(side->get(), side->get(), static_cast<ulong>(lowest));
}

}  // namespace quorvat::exact
